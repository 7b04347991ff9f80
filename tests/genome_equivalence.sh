#!/usr/bin/env bash
# Part "self": on one chromosome with at most 2000 SNPs, snp_weight_genome's
# weight.txt is snp_weight's byte for byte, whatever the formats: random SNPs and
# regions, written in each pair of formats and converted to snp_weight's two
# files. Positions are dense, so that SNPs fall on region ends; bounds are
# equal often, and negative or reversed where the format allows it.
# Part "peers": on random SNPs and regions on both strands, the files users
# hold (summary statistics, .pvar, .bim with "." names) give the weights of
# the same SNPs as a plain table, and --flank, --upstream/--downstream,
# --names, --split and --snvs-only agree with bedtools and bcftools; so do
# two classes, the annotation matrix, the sets and the VCF with its weights;
# plink2 scores with the score file; four threads write what one writes.
# Without them, or in a cross build, the part says SKIPPED.
#
#   [EMULATOR=wine] genome_equivalence.sh SNP_WEIGHT SNP_WEIGHT_GENOME WORK_DIR ROUNDS self|peers
#
# EMULATOR runs both tools, as for a cross build (their line ends are then
# the target's, the same in both files).
set -uo pipefail
snp_weight=$(realpath "$1") genome=$(realpath "$2") work=$3 rounds=$4 part=$5
read -ra emulator <<<"${EMULATOR:-}"
ulimit -f 262144  # a run that wrote without end would fill the disk
failures=0
rm -rf "$work" && mkdir -p "$work/fixed" "$work/genome" || exit 1

if [[ $part == peers ]]; then
  # The peers run natively: a cross build's output has its own line ends.
  ((${#emulator[@]} == 0)) || { echo "SKIPPED: the peers run natively, not under $EMULATOR"; exit 0; }
  for peer in bedtools bcftools plink2; do
    command -v $peer >/dev/null || { echo "SKIPPED: $peer is not installed"; exit 0; }
  done
  rounds_self=0
else
  rounds_self=$rounds
fi
for ((round = 0; round < rounds_self; round++)); do
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
differ() {  # what
  echo "$1"
  failures=$((failures + 1))
}
if [[ $part == peers ]]; then
  cd "$work/genome" || exit 1
  for ((round = 0; round < rounds; round++)); do
    rm -f ./*
    awk -v seed="$round" -v OFS='\t' 'BEGIN { srand(seed + 100)
      print "##fileformat=VCFv4.2\n##contig=<ID=1>\n##contig=<ID=2>\n##contig=<ID=3>\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO" > "kinds.vcf"
      print " CHR         SNP         BP   A1      F_A      F_U   A2        CHISQ            P           OR" > "gwas.assoc"
      print "CHROM GENPOS ID ALLELE0 ALLELE1 A1FREQ N TEST BETA SE CHISQ LOG10P EXTRA" > "gwas.regenie"
      print "chromosome", "base_pair_location", "effect_allele", "other_allele", "beta", "p_value", "rsid" > "gwas.ssf.tsv"
      print "\"SNP\",\"CHR\",\"BP\",\"P\"" > "gwas.csv"
      print "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT" > "snps.pvar"
      split("A,G,AT,GT,<DEL>,.,G;T,G;AT,G;*,<*>,G;<*>", alts, ",")
      for (k = 0; k < 1500; k++) {
        c = 1 + int(rand() * 3); p = 1 + int(rand() * 60000); name = rand() < 0.1 ? "." : "rs" k
        alt = alts[1 + int(rand() * 11)]; gsub(";", ",", alt)
        print c, p, name == "." ? "v" k : name, length(alt) == 2 && alt != "<*>" ? "AC" : "A", alt == "A" ? "T" : alt, ".", ".", "." > "kinds.vcf"
        print name == "." ? c ":" p : name, c, p > "snps.txt"
        print "chr" c, p - 1, p, name == "." ? c ":" p : name > "snps.bed"
        printf "%4d %11s %10d %4s %8.4f %8.4f %4s %12.4f %12.4g %12.4f\n", c, name, p, "A", 0.1, 0.2, "G", 1, 0.5, 1 > "gwas.assoc"
        print c, p, name, "A", "G", 0.1, 100, "ADD", 0.1, 0.1, 1, 0.3, "NA" > "gwas.regenie"
        print c, p, "A", "G", 0.1, 0.5, name == "." ? "" : name > "gwas.ssf.tsv"
        print "\"" name "\",\"" c "\"," p ",0.5" > "gwas.csv"
        print c, p, name, "A", "G" > "snps.pvar"
        print c, name, 0, p, "A", "G" > "snps.bim" }
      for (k = 0; k < 300; k++) {
        c = 1 + int(rand() * 3); s = int(rand() * 60000); e = s + 1 + int(rand() * 3000); n = 1 + int(rand() * 4)
        sizes = ""; starts = ""; at = 0
        for (b = 0; b < n; b++) { size = 1 + int((e - s) / n / 2); sizes = sizes size ","; starts = starts at ","; at += int((e - s) / n) }
        last = at - int((e - s) / n) + size
        print "chr" c, s, s + last, "g" int(rand() * 200), 0, rand() < 0.5 ? "+" : "-", s, s, 0, n, sizes, starts > "genes.bed" }
      for (k = 0; k < 200; k++) {
        c = 1 + int(rand() * 3); s = int(rand() * 60000); print "chr" c, s, s + 1 + int(rand() * 800), "e" k > "regions2.bed" } }'
    gzip gwas.regenie gwas.ssf.tsv
    "$genome" -o table.txt snps.txt genes.bed 2>/dev/null || differ "round $round: the plain table is refused"
    for held in gwas.assoc gwas.regenie.gz gwas.ssf.tsv.gz gwas.csv snps.pvar snps.bim; do
      "$genome" -o held.txt "$held" genes.bed 2>/dev/null && cmp -s held.txt table.txt ||
        differ "round $round: $held does not weigh as the plain table"
    done
    awk -v OFS='\t' '{ sub("chr", "", $1); print "NC_00000" $1 ".11", "RefSeq", "gene", $2 + 1, $3, ".", $6, ".", "ID=" $4 }' \
      genes.bed >refseq.gff3
    "$genome" -o held.txt snps.txt refseq.gff3 2>/dev/null && cmp -s held.txt table.txt ||
      differ "round $round: RefSeq-named regions weigh otherwise than 1-named ones"
    # 0.8 where a peer finds the SNP (named in column 4 of snps.bed) near or in a region.
    peer() { awk -v OFS='\t' 'NR == FNR { found[$1] = 1; next } { print $4, ($4 in found) ? "0.800000" : "0.400000" }' - snps.bed; }
    cut -f1-6 genes.bed >genes6.bed
    "$genome" -o ours.txt --flank 700 snps.bed genes6.bed 2>/dev/null
    bedtools window -a snps.bed -b genes6.bed -w 700 -u | cut -f4 | peer | cmp -s - ours.txt || differ "round $round: --flank differs from bedtools window -w"
    "$genome" -o ours.txt --upstream 900 --downstream 200 snps.bed genes6.bed 2>/dev/null
    bedtools window -a genes6.bed -b snps.bed -l 900 -r 200 -sw | cut -f10 | peer | cmp -s - ours.txt ||
      differ "round $round: --upstream/--downstream differ from bedtools window -l -r -sw"
    "$genome" -o ours.txt --split snps.bed genes.bed 2>/dev/null
    bedtools intersect -a snps.bed -b genes.bed -split -u | cut -f4 | peer | cmp -s - ours.txt || differ "round $round: --split differs from bedtools -split"
    "$genome" -o - --names snps.bed genes6.bed 2>/dev/null |
      awk -F'\t' '$3 != "." { n = split($3, names, ","); for (i = 1; i <= n; i++) print $1 "\t" names[i] }' | sort -u >ours.txt
    bedtools intersect -a snps.bed -b genes6.bed -wa -wb | cut -f4,8 | sort -u | cmp -s - ours.txt ||
      differ "round $round: --names differs from bedtools intersect -wa -wb"
    "$genome" -o - --snvs-only kinds.vcf genes6.bed 2>/dev/null | cut -f1 >ours.txt
    bcftools view -H -i 'TYPE="snp"' kinds.vcf 2>/dev/null | cut -f3 | cmp -s - ours.txt || differ "round $round: --snvs-only keeps other records than bcftools"
    # Two classes: the first that holds a SNP gives its weight, as two runs of bedtools say.
    bedtools intersect -u -a snps.bed -b genes6.bed | cut -f4 >in_first.txt
    bedtools intersect -u -a snps.bed -b regions2.bed | cut -f4 >in_second.txt
    "$genome" -o ours.txt --weights 1,0.5,0 snps.bed genes6.bed regions2.bed 2>/dev/null
    awk 'FILENAME == ARGV[1] { first[$1]; next } FILENAME == ARGV[2] { second[$1]; next }
      { print $4 "\t" ($4 in first ? "1.000000" : $4 in second ? "0.500000" : "0.000000") }' \
      in_first.txt in_second.txt snps.bed | cmp -s - ours.txt || differ "round $round: two classes differ from two bedtools runs"
    # The annotation matrix: 1 where bedtools intersect -c counts a region of the set.
    "$genome" -o annot.txt --format annot snps.bed genes6.bed regions2.bed 2>/dev/null
    paste <(bedtools intersect -c -a snps.bed -b genes6.bed | cut -f5) \
      <(bedtools intersect -c -a snps.bed -b regions2.bed | cut -f5) | awk '{ print ($1 > 0) "\t" ($2 > 0) }' |
      cmp -s - <(tail -n +2 annot.txt | cut -f5,6) || differ "round $round: the annotation matrix differs from bedtools -c"
    # Sets: each name's SNPs on each chromosome, and where its regions begin,
    # as bedtools intersect -wa -wb grouped by name says.
    "$genome" -o /dev/null --sets sets.txt --sets-format regenie snps.bed genes6.bed 2>/dev/null
    awk '{ n = split($4, snps, ","); for (i = 1; i <= n; i++) print $1 "\t" $2 "\t" $3 "\t" snps[i] }' sets.txt |
      sort -u >ours.txt
    awk -v OFS='\t' '{ k = $4 "\t" $1; if (!(k in start) || $2 + 1 < start[k]) start[k] = $2 + 1 }
      END { for (k in start) print k, start[k] }' genes6.bed | sort >starts.txt
    bedtools intersect -a snps.bed -b genes6.bed -wa -wb | awk -v OFS='\t' '{ print $8, $1, $4 }' | sort -u |
      join -t $'\t' -j1 <(awk -v OFS='\t' '{ print $1 "|" $2, $3 }' starts.txt | sort) \
        <(awk -v OFS='\t' '{ print $1 "|" $2, $3 }' - | sort) |
      awk -v OFS='\t' '{ split($1, k, "|"); sub("chr", "", k[2]); print k[1], k[2], $2, $3 }' | sort -u |
      cmp -s - ours.txt || differ "round $round: --sets differs from bedtools intersect -wa -wb by name"
    # plink2 scores with every variant of the score file.
    plink2 --dummy 60 300 acgt --seed $((round + 1)) --out dummy >/dev/null 2>&1
    "$genome" -o score.txt --format score dummy.pvar genes6.bed 2>/dev/null
    plink2 --pfile dummy --score score.txt 1 2 3 header --out scored >/dev/null 2>&1
    grep -q '^--score: 300 variants processed' scored.log || differ "round $round: plink2 --score used not every variant"
    # The VCF with INFO/WEIGHT: the weights read back by bcftools, every other field as it was.
    "$genome" -o weighted.vcf.gz --format vcf kinds.vcf genes6.bed 2>/dev/null
    "$genome" -o ours.txt kinds.vcf genes6.bed 2>/dev/null
    bcftools query -f '%INFO/WEIGHT\n' weighted.vcf.gz | awk '{ printf "%.6f\n", $1 }' | cmp -s - <(cut -f2 ours.txt) &&
      cmp -s <(bcftools annotate -x INFO/WEIGHT weighted.vcf.gz | bcftools view -H) <(bcftools view -H kinds.vcf) ||
      differ "round $round: the VCF's weights or fields differ as bcftools reads them"
    # Four threads write what one writes, over many chunks and every output.
    awk -v seed="$round" -v OFS='\t' 'BEGIN { srand(seed + 300); print "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO"
      for (k = 0; k < 150000; k++) print 1 + int(k / 50000), 1 + int(k % 50000 * 1.2 + rand() * 2), rand() < 0.1 ? "." : "rs" k, "A", "G", ".", ".", "." }' >many.vcf
    for how in "--columns --names --header" "--format annot" "--format score" "--sets sets.txt" "--sets sets.txt --sets-format regenie" \
      "--format vcf"; do
      read -ra options <<<"$how"
      "$genome" --threads 1 -o one.out "${options[@]}" many.vcf genes6.bed regions2.bed 2>one.err
      cp -f sets.txt one_sets.txt 2>/dev/null
      "$genome" --threads 4 -o four.out "${options[@]}" many.vcf genes6.bed regions2.bed 2>four.err
      cmp -s one.out four.out && cmp -s one.err four.err && { [[ $how != --sets* ]] || cmp -s sets.txt one_sets.txt; } ||
        differ "round $round: $how on four threads differs from one"
    done
  done
fi
if ((failures == 0)); then
  if [[ $part == peers ]]; then echo "snp_weight_genome agrees with bedtools, bcftools and plink2 in $rounds rounds"
  else echo "snp_weight_genome equals snp_weight in $rounds rounds of 4 format pairs"; fi
fi
exit $((failures > 0))
