#!/usr/bin/env bash
# snp_weight_genome against its peers, measured side by side in one run
# (medians of hyperfine, peak memory from /usr/bin/time):
#  - 1,000,000 SNPs on 24 chromosomes against 1,000,000 regions, sorted BED
#    (sorting not timed), with `bedtools intersect -c -sorted` and
#    `bedmap --indicator`, all three agreeing on every weight;
#  - 10,000,000 unsorted SNPs against the same regions, from a file and
#    piped from stdin to stdout, and with --names --flank 5000;
#  - a VCF of 200,000 variants by 2,504 samples (1000 Genomes' width), BGZF,
#    against `bcftools query -f '%CHROM\t%POS\t%ID\n'` on the same file;
#  - 100,000,000 SNPs made on the fly and piped in;
#  - the speedup from --threads 1 to 4 on the three inputs above;
#  - one pass's outputs (two classes, the annotation matrix, gene sets)
#    against the plain weights and `bedtools intersect | groupby`;
#  - snp_weight (built beside SNP_WEIGHT_GENOME) at capacity, 2,000 SNPs
#    and 1,000,000 regions, against `bedtools intersect -c -sorted`.
# BEFORE, when given, is an earlier build measured beside it. Needs
# hyperfine, bedtools, bedops, bcftools and tabix.
#
#   bench/genome_peers.sh build/default/snp_weight_genome [BEFORE] [WORK_DIR]
set -euo pipefail
genome=$(realpath "$1")
before=${2:+$(realpath "$2")}
work=${3:-/tmp/snp_weight_genome_bench}
mkdir -p "$work" && cd "$work"

if [[ ! -s wide.vcf.gz ]]; then
  # Positions uniform over 1..200,000,000 on chr1..chr22, chrX and chrY;
  # exon-like regions of 10 to 5,000 bases, about a third of SNPs inside.
  awk 'BEGIN { srand(1); for (k = 0; k < 10000000; k++) { c = int(k / 416667); p = 1 + int(rand() * 200000000)
    printf "chr%s\t%d\t%d\trs%d\n", c < 22 ? c + 1 : (c == 22 ? "X" : "Y"), p - 1, p, k } }' >snps10m.bed
  awk 'BEGIN { srand(2); for (k = 0; k < 1000000; k++) { c = int(k / 41667); s = int(rand() * 200000000)
    printf "chr%s\t%d\t%d\tg%d\n", c < 22 ? c + 1 : (c == 22 ? "X" : "Y"), s, s + 10 + int(rand() * 5000), k } }' \
    | sort -k1,1 -k2,2n >regions1m.bed
  awk 'NR % 10 == 1' snps10m.bed | sort -k1,1 -k2,2n >snps1m.bed
  # 64 rows of random genotypes, each line taking one: data that compress
  # as real genotypes do, made in seconds.
  awk 'BEGIN { srand(3); n = 2504
    printf "##fileformat=VCFv4.2\n##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
    for (c = 1; c <= 22; c++) printf "##contig=<ID=%d>\n", c
    printf "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT"; for (s = 0; s < n; s++) printf "\tS%d", s; printf "\n"
    for (r = 0; r < 64; r++) { row = ""; for (s = 0; s < n; s++) { x = rand()
      row = row (x < 0.8 ? "\t0|0" : x < 0.9 ? "\t0|1" : x < 0.95 ? "\t1|0" : "\t1|1") } rows[r] = row }
    for (k = 0; k < 200000; k++) { c = 1 + int(k / 9091); p = 1 + (k % 9091) * 5000 + int(rand() * 4000)
      printf "%d\t%d\trs%d\tA\tG\t100\tPASS\tAC=1;AN=5008\tGT%s\n", c, p, k, rows[int(rand() * 64)] } }' |
    bgzip >wide.vcf.gz
  sed 's/^chr//' regions1m.bed >regions1m_numbered.bed
fi
echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(grep -qw avx512f /proc/cpuinfo && echo AVX-512 || echo AVX2 or less)"

medians() {  # the medians of a hyperfine export
  grep -oE '"(command|median)": *("[^"]*"|[0-9.]+)' "$1" | paste - - |
    sed -E 's/"command": *"([^"]*)".*"median": *([0-9.]+)/  \2 s  \1/'
}
side_by_side() {  # json command...: five timed runs each, and their medians
  hyperfine --warmup 1 --runs 5 --export-json "$1" "${@:2}" >/dev/null 2>&1
  medians "$1"
}
peak() {  # what command...
  local what=$1
  shift
  /usr/bin/time -f "%e s, peak %M KiB" -o peak.txt "$@" 2>/dev/null >/dev/null || true
  echo "  $(cat peak.txt)  $what"
}

echo "== 1,000,000 SNPs, 1,000,000 regions, sorted BED"
hyperfine --warmup 1 --runs 10 --export-json peers.json \
  "$genome -o ours.txt snps1m.bed regions1m.bed" \
  "bedtools intersect -c -sorted -a snps1m.bed -b regions1m.bed > bedtools.txt" \
  "bedmap --indicator snps1m.bed regions1m.bed > bedmap.txt" >/dev/null
medians peers.json
paste ours.txt bedtools.txt bedmap.txt | awk '{ w = $7 > 0 ? "0.800000" : "0.400000"; if (w != $2 || ($8 == 1) != ($7 > 0)) bad++ }
  END { printf "  weights that differ from bedtools or bedmap: %d of %d\n", bad, NR }'

echo "== 10,000,000 unsorted SNPs, 1,000,000 regions"
side_by_side ten.json "$genome -o ours10m.txt snps10m.bed regions1m.bed" \
  "$genome -o ours10m_names.txt --names --flank 5000 snps10m.bed regions1m.bed" \
  ${before:+"$before -o before10m.txt snps10m.bed regions1m.bed"}
[[ -z $before ]] || cmp -s ours10m.txt before10m.txt && echo "  the same weights as BEFORE" || echo "  NOT the same weights as BEFORE"
peak "from the file" "$genome" -o ours10m.txt snps10m.bed regions1m.bed
peak "stdin to stdout" sh -c "cat snps10m.bed | $genome --snps-format bed -o - - regions1m.bed"
peak "with --names --flank 5000" "$genome" -o ours10m_names.txt --names --flank 5000 snps10m.bed regions1m.bed
[[ -z $before ]] || peak "BEFORE, from the file" "$before" -o before10m.txt snps10m.bed regions1m.bed

echo "== 200,000 variants x 2,504 samples, BGZF VCF"
side_by_side wide.json "$genome --threads 2 -o wide.txt wide.vcf.gz regions1m_numbered.bed" \
  "$genome --threads 1 -o wide.txt wide.vcf.gz regions1m_numbered.bed" \
  "bcftools query -f '%CHROM\t%POS\t%ID\n' wide.vcf.gz > query.txt" \
  ${before:+"$before -o wide_before.txt wide.vcf.gz regions1m_numbered.bed"}

echo "== --threads 1 to 4 ($(nproc) cores): medians, and the speedup over one thread"
for input in "snps1m.bed regions1m.bed" "snps10m.bed regions1m.bed" "wide.vcf.gz regions1m_numbered.bed"; do
  hyperfine --warmup 1 --runs 5 --export-json threads.json -P threads 1 4 \
    "$genome --threads {threads} -o threads.txt $input" >/dev/null 2>&1
  medians threads.json | awk -v input="$input" '{ if (NR == 1) one = $1
    printf "  %s s  %.2fx  --threads %d  %s\n", $1, one / $1, NR, input }'
done

echo "== one pass's outputs, 1,000,000 SNPs and 1,000,000 regions"
awk 'NR % 2' regions1m.bed >regions_odd.bed && awk 'NR % 2 == 0' regions1m.bed >regions_even.bed
side_by_side outputs.json "$genome -o ours.txt snps1m.bed regions1m.bed" \
  "$genome -o classes.txt --weights 1,0.5,0 snps1m.bed regions_odd.bed regions_even.bed" \
  "$genome -o annot.txt --format annot snps1m.bed regions_odd.bed regions_even.bed" \
  "$genome -o /dev/null --sets sets.txt snps1m.bed regions1m.bed" \
  "bedtools intersect -sorted -wa -wb -a regions1m.bed -b snps1m.bed | bedtools groupby -g 4 -c 8 -o collapse > groupby.txt"
peak "--sets" "$genome" -o /dev/null --sets sets.txt snps1m.bed regions1m.bed

snp_weight=$(dirname "$genome")/snp_weight
if [[ -x $snp_weight ]]; then
  echo "== snp_weight at capacity: 2,000 SNPs, 1,000,000 regions (52 MB)"
  mkdir -p capacity && cd capacity
  if [[ ! -s gene_regions.txt ]]; then
    awk 'BEGIN { srand(4); for (k = 0; k < 2000; k++) printf "rs%d %d A\n", k, 1 + int(rand() * 250000000) }' >SNP_positions.txt
    awk 'BEGIN { srand(6); for (k = 0; k < 1000000; k++) { s = 1 + int(rand() * 250000000)
      printf "chr1 ENSG%011d protein_coding_gene %d %d\n", k, s, s + 10 + int(rand() * 490) } }' >gene_regions.txt
    awk '{ print "chr1\t" $2 - 1 "\t" $2 "\t" $1 }' SNP_positions.txt | sort -k2,2n >snps.bed
    awk '{ print "chr1\t" $4 - 1 "\t" $5 }' gene_regions.txt | sort -k2,2n >regions.bed
  fi
  side_by_side ../capacity.json "$snp_weight" "bedtools intersect -c -sorted -a snps.bed -b regions.bed > bedtools.txt" \
    ${before:+"$(dirname "$before")/snp_weight"}
  cd ..
fi

echo "== 100,000,000 SNPs made on the fly, piped in, against 1,000,000 regions"
peak "100M SNPs through a pipe" sh -c "awk 'BEGIN { srand(5); for (k = 0; k < 100000000; k++) {
  p = 1 + int(rand() * 200000000); printf \"chr%d\t%d\t%d\n\", 1 + k % 22, p - 1, p } }' |
  $genome --snps-format bed -o - - regions1m.bed | wc -l"
