#!/usr/bin/env bash
# snp_weight_genome against its peers, measured in one run: 1,000,000 SNPs on
# 24 chromosomes against 1,000,000 regions, as BED files sorted beforehand
# (the sorting is not timed), with `bedtools intersect -c -sorted` and
# `bedmap --indicator`; then 10,000,000 SNPs, from BED and from VCF, with
# their peak memory. Needs hyperfine, bedtools, bedops and bcftools.
#
#   bench/genome_peers.sh build/default/snp_weight_genome [WORK_DIR]
set -euo pipefail
genome=$(realpath "$1")
work=${2:-/tmp/snp_weight_genome_bench}
mkdir -p "$work" && cd "$work"

if [[ ! -s snps10m.bed ]]; then
  # Positions uniform over 1..200,000,000 on chr1..chr22, chrX and chrY;
  # exon-like regions of 10 to 5,000 bases, about a third of SNPs inside.
  awk 'BEGIN { srand(1); for (k = 0; k < 10000000; k++) { c = int(k / 416667); p = 1 + int(rand() * 200000000)
    printf "chr%s\t%d\t%d\trs%d\n", c < 22 ? c + 1 : (c == 22 ? "X" : "Y"), p - 1, p, k } }' >snps10m.bed
  awk 'BEGIN { srand(2); for (k = 0; k < 1000000; k++) { c = int(k / 41667); s = int(rand() * 200000000)
    printf "chr%s\t%d\t%d\tg%d\n", c < 22 ? c + 1 : (c == 22 ? "X" : "Y"), s, s + 10 + int(rand() * 5000), k } }' \
    | sort -k1,1 -k2,2n >regions1m.bed
  awk 'NR % 10 == 1' snps10m.bed | sort -k1,1 -k2,2n >snps1m.bed
  { printf '##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n'
    awk -v OFS='\t' '{ print substr($1, 4), $3, $4, "A", "G", ".", ".", "." }' snps10m.bed; } >snps10m.vcf
fi

echo "== 1,000,000 SNPs, 1,000,000 regions, sorted BED"
hyperfine --warmup 1 --runs 10 --export-json peers.json \
  "$genome -o ours.txt snps1m.bed regions1m.bed" \
  "bedtools intersect -c -sorted -a snps1m.bed -b regions1m.bed > bedtools.txt" \
  "bedmap --indicator snps1m.bed regions1m.bed > bedmap.txt"
# Medians, which a shared machine's drift disturbs least.
grep -oE '"(command|median)": *("[^"]*"|[0-9.]+)' peers.json | paste - - |
  sed -E 's/"command": *"([^ ]+).*"median": *([0-9.]+)/\1: median \2 s/'
paste ours.txt bedtools.txt bedmap.txt | awk '{ w = $7 > 0 ? "0.800000" : "0.400000"; if (w != $2 || ($8 == 1) != ($7 > 0)) bad++ }
  END { printf "weights that differ from bedtools or bedmap: %d of %d\n", bad, NR }'

for input in snps10m.bed snps10m.vcf; do
  echo "== 10,000,000 SNPs from $input"
  /usr/bin/time -f "%e s, peak %M KiB" "$genome" -o ours10m.txt "$input" regions1m.bed 2>&1 | grep -v 'no region'
done
