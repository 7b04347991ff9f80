#!/usr/bin/env bash
# On one chromosome with at most 2000 SNPs, snp_weight_genome's weight.txt
# is snp_weight's byte for byte, whatever the formats: random SNPs and
# regions, written in each pair of formats and converted to snp_weight's two
# files. Positions are dense, so that SNPs fall on region ends; bounds are
# equal often, and negative or reversed where the format allows it.
#
#   [EMULATOR=wine] genome_equivalence.sh SNP_WEIGHT SNP_WEIGHT_GENOME WORK_DIR [ROUNDS]
#
# EMULATOR runs both tools, as for a cross build (their line ends are then
# the target's, the same in both files).
set -uo pipefail
snp_weight=$(realpath "$1") genome=$(realpath "$2") work=$3 rounds=${4:-12}
read -ra emulator <<<"${EMULATOR:-}"
failures=0
rm -rf "$work" && mkdir -p "$work/fixed" "$work/genome" || exit 1

for ((round = 0; round < rounds; round++)); do
  for pair in "table table" "bed bed" "vcf gtf" "bim gff3"; do
    read -r snps regions <<<"$pair"
    # The same SNPs and regions in the pair's formats and in snp_weight's.
    awk -v seed="$round" -v snps="$snps" -v regions="$regions" -v dir="$work" 'BEGIN {
      srand(seed * 7 + length(snps) * 3 + length(regions))
      signed = snps == "table" && regions == "table"
      low = signed ? -1500 : 1
      # A GTF or GFF3 file without a line of the feature is refused.
      n = 1 + int(rand() * 2000); m = int(rand() * 400) + (regions == "gtf" || regions == "gff3")
      if (snps == "vcf") print "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO" > (dir "/genome/snps.vcf")
      for (k = 0; k < n; k++) {
        p = low + int(rand() * 3000); name = "rs" k
        if (snps == "table") print name "\tchr7\t" p > (dir "/genome/snps.table")
        if (snps == "bed") print "chr7\t" p - 1 "\t" p "\t" name > (dir "/genome/snps.bed")
        if (snps == "vcf") print "7\t" p "\t" name "\tA\tG\t.\t.\t." > (dir "/genome/snps.vcf")
        if (snps == "bim") print "7\t" name "\t0\t" p "\tA\tG" > (dir "/genome/snps.bim")
        print name " " p " A" > (dir "/fixed/SNP_positions.txt")
      }
      for (k = 0; k < m; k++) {
        s = low + int(rand() * 3000); e = s + int(rand() * 60) - (signed ? 20 : 0)
        if (rand() < 0.2) e = s
        if (!signed && e < s) e = s
        if (regions == "table") print "7\t" s "\t" e > (dir "/genome/regions.table")
        if (regions == "bed") print "7\t" s - 1 "\t" e "\tg" k > (dir "/genome/regions.bed")
        if (regions == "gtf") print "chr7\tsim\tgene\t" s "\t" e "\t.\t+\t.\tgene_id \"g" k "\";" > (dir "/genome/regions.gtf")
        if (regions == "gff3") print "chr7\tsim\tgene\t" s "\t" e "\t.\t+\t.\tID=g" k > (dir "/genome/regions.gff3")
        print "chr7 g t " s " " e > (dir "/fixed/gene_regions.txt")
      }
      if (m == 0) {
        printf "" > (dir "/fixed/gene_regions.txt")
        printf "" > (dir "/genome/regions." regions)
      }
    }'
    (cd "$work/fixed" && "${emulator[@]}" "$snp_weight") || { echo "round $round, $pair: snp_weight failed"; failures=$((failures + 1)); }
    (cd "$work/genome" && "${emulator[@]}" "$genome" --snps-format "$snps" --regions-format "$regions" \
      "snps.$snps" "regions.$regions" 2>/dev/null) ||
      { echo "round $round, $pair: snp_weight_genome failed"; failures=$((failures + 1)); }
    cmp -s "$work/fixed/weight.txt" "$work/genome/weight.txt" ||
      { echo "round $round, $pair: the weight files differ"; failures=$((failures + 1)); }
    [[ -n ${KEEP:-} ]] || rm -f "$work"/fixed/* "$work"/genome/*
  done
done
((failures == 0)) && echo "snp_weight_genome equals snp_weight in $rounds rounds of 4 format pairs"
exit $((failures > 0))
