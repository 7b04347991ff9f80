#!/usr/bin/env bash
# snp_weight_genome reads every input whole or refuses it. Each input
# format, gzip- and BGZF-compressed, is cut at every BGZF block boundary,
# one byte either side, mid-block, inside its first header and before its
# end-of-file block (gzip: at spaced offsets), and has single bytes flipped:
# no run exits 0 unless its weights equal those of the whole file, and every
# refusal names the damage. Then hostile and odd inputs, a row each:
# htsget tickets (one pointing at a local server that counts requests),
# CRAM, BAM and raw BCF given as text formats, byte order marks, NUL bytes,
# "- -", an empty region file, a process limit and a small address space.
#
#   genome_damage.sh SNP_WEIGHT_GENOME WORK_DIR [sanitized]
#
# "sanitized" skips the small address space, where a sanitizer cannot run.
set -uo pipefail
tool=$(realpath "$1") work=$2 sanitized=${3:-}
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
for need in bgzip bcftools samtools python3; do
  command -v $need >/dev/null || { echo "SKIPPED: no $need to make the test files"; exit 0; }
done
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
# A run that wrote without end would fill the disk: no file grows past
# 256 MiB here, and no run takes more than a minute.
ulimit -f 262144
chmod 755 "$work"
server=
trap '[[ -n $server ]] && kill $server 2>/dev/null' EXIT

# The inputs, whole: SNPs and regions on chromosomes 1 to 3, each file a
# few BGZF blocks long, so that cuts fall between and inside records.
awk -v OFS='\t' 'BEGIN { srand(17)
  print "##fileformat=VCFv4.2" > "snps.vcf"
  for (c = 1; c <= 3; c++) print "##contig=<ID=" c ">" > "snps.vcf"
  print "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO" > "snps.vcf"
  for (k = 0; k < 12000; k++) { c = 1 + int(k / 4000); p = 1 + (k % 4000) * 250 + int(rand() * 200)
    print c, p, "rs" k, "A", "G", ".", ".", "." > "snps.vcf"
    print c, "rs" k, 0, p, "G", "A" > "snps.bim"
    print "chr" c, p - 1, p, "rs" k > "snps_bed.bed"
    print "rs" k, c, p > "snps.txt" }
  for (k = 0; k < 6000; k++) { c = 1 + int(k / 2000); s = 1 + int(rand() * 1000000); e = s + int(rand() * 300)
    print "chr" c, s - 1, e, "g" k > "regions.bed"
    print c, "sim", "gene", s, e, ".", "+", ".", "gene_id \"g" k "\";" > "genes.gtf"
    print c, "sim", "gene", s, e, ".", "+", ".", "ID=g" k > "genes.gff3"
    print c, s, e > "regions.txt" }
  # A GFF3 file ends with its sequences: a cut among them is a cut too.
  print "##FASTA" > "genes.gff3"
  for (k = 0; k < 2000; k++) print (k % 40 == 0 ? ">" k : "ACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGT") > "genes.gff3" }'
bcftools view --no-version -Ob -o snps.bcf snps.vcf

# Block starts of a BGZF file.
block_starts() {
  local at=0 size
  size=$(stat -c %s "$1")
  while ((at < size)); do
    echo $at
    at=$((at + $(od -An -tu2 -j $((at + 16)) -N2 "$1") + 1))
  done
}

# Where to cut a compressed file of `size` bytes.
cut_points() {  # file bgzf|gzip
  local size prev=0 start
  size=$(stat -c %s "$1")
  if [[ $2 == bgzf ]]; then
    for start in $(block_starts "$1") "$size"; do
      ((start > 0)) && echo $((start - 1)) $start $((start + 1)) $(((prev + start) / 2))
      prev=$start
    done
    echo 5 17 $((size - 28)) $((size - 1))
  else
    for ((k = 1; k < 20; k++)); do echo $((size * k / 20)); done
    echo 5 $((size - 1))
  fi | tr ' ' '\n' | awk -v size="$size" '$1 > 0 && $1 < size' | sort -nu
}

# One damaged input against the whole other: status 0 with the whole
# file's weights, or a refusal that names the damage (or, for a flipped
# magic number, that the file is no longer what it was).
check_run() {  # what snps regions
  damaged_runs=$((damaged_runs + 1))
  rm -f out.txt
  if timeout 60 "$tool" -o out.txt "$2" "$3" 2>err.txt >/dev/null; then
    cmp -s out.txt expected.txt || fail "$1: exit status 0 with other weights"
  else
    grep -qE 'truncated or corrupt|no BGZF end-of-file block|not text: byte|NUL byte|a VCF file: no' err.txt ||
      fail "$1: $(cat err.txt)"
  fi
}

sweep() {  # side(snps|regions) file other
  local side=$1 file=$2 other=$3 compression packed damaged cut offset byte
  damaged_run() {  # what damaged-file
    if [[ $side == snps ]]; then check_run "$1" "$2" "$other"; else check_run "$1" "$other" "$2"; fi
  }
  if [[ $side == snps ]]; then timeout 60 "$tool" -o expected.txt "$file" "$other"; else timeout 60 "$tool" -o expected.txt "$other" "$file"; fi \
    2>/dev/null || { fail "$file: the whole file is refused"; return; }
  for compression in bgzf gzip; do
    if [[ $file == *.bcf ]]; then
      [[ $compression == gzip ]] && continue
      packed=packed.bcf && cp "$file" $packed
    else
      packed=packed.${file#*.}.gz
      if [[ $compression == bgzf ]]; then bgzip -c "$file"; else gzip -c "$file"; fi >$packed
    fi
    damaged=damaged.${packed#packed.}
    for cut in $(cut_points $packed $compression); do
      head -c "$cut" $packed >$damaged
      damaged_run "$file, $compression, cut at $cut" $damaged
    done
    for ((flip = 0; flip < 12; flip++)); do
      cp $packed $damaged
      offset=$(((RANDOM * 32768 + RANDOM) % $(stat -c %s $packed)))
      byte=$(($(od -An -tu1 -j "$offset" -N1 $packed) ^ 0x5A))
      printf "\\x$(printf %02x $byte)" | dd of=$damaged bs=1 seek="$offset" conv=notrunc status=none
      damaged_run "$file, $compression, byte $offset flipped" $damaged
    done
    rm -f $packed $damaged
  done
}

RANDOM=7
damaged_runs=0
for snps in snps.vcf snps.bcf snps.bim snps_bed.bed snps.txt; do sweep snps "$snps" regions.bed; done
for regions in regions.bed genes.gtf genes.gff3 regions.txt; do sweep regions "$regions" snps.txt; done

# A file of many chunks, cut and flipped, read on four threads as SNPs and
# as regions: the same status, message and weights as on one.
awk 'BEGIN { srand(5); for (k = 0; k < 240000; k++) print "chr" 1 + int(k / 80000), 1 + k * 12, 2 + k * 12, "rs" k }' \
  OFS='\t' >many.bed
for compression in bgzip gzip; do
  $compression -c many.bed >many.bed.gz
  size=$(stat -c %s many.bed.gz)
  for ((k = 0; k < 16; k++)); do
    if ((k < 10)); then
      head -c $((size * (k + 1) / 11)) many.bed.gz >damaged.bed.gz
    else
      cp many.bed.gz damaged.bed.gz
      printf '\x5a' | dd of=damaged.bed.gz bs=1 seek=$((size * (k - 9) / 7)) conv=notrunc status=none
    fi
    for inputs in "damaged.bed.gz regions.bed" "snps.txt damaged.bed.gz"; do
      damaged_runs=$((damaged_runs + 1))
      timeout 60 "$tool" --threads 1 -o one.txt $inputs 2>one_err.txt
      one=$?
      timeout 60 "$tool" --threads 4 -o four.txt $inputs 2>four_err.txt
      four=$?
      [[ $one == "$four" ]] && cmp -s one_err.txt four_err.txt && { [[ $one != 0 ]] || cmp -s one.txt four.txt; } ||
        fail "many.bed ($inputs), $compression, damage $k: four threads gave $four ($(cat four_err.txt)), one $one ($(cat one_err.txt))"
      [[ $one == 0 || -n $(grep -E 'truncated or corrupt|no BGZF end-of-file|not text: byte|NUL byte' one_err.txt) ]] ||
        fail "many.bed ($inputs), $compression, damage $k: $(cat one_err.txt)"
      [[ -z $(compgen -G '*.tmp') ]] || fail "many.bed ($inputs), damage $k: a temporary was left"
    done
  done
done

# Hostile and odd inputs. A local server counts the requests a ticket
# could make.
python3 -c '
import http.server, sys
class Count(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        open("requests", "a").write(self.path + "\n")
        self.send_response(404)
        self.end_headers()
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Count)
open("port", "w").write(str(server.server_port))
server.serve_forever()' &
server=$!
for ((k = 0; k < 100; k++)); do [[ -s port ]] && break; sleep 0.05; done
ticket() { printf '{"htsget":{"format":"VCF","urls":[{"url":"%s"}]}}\n' "$1"; }
ticket "file://$PWD/snps.vcf" >file_ticket.vcf
ticket "data:,%23%23fileformat%3DVCFv4.2" >data_ticket.vcf
ticket "http://127.0.0.1:$(cat port)/snps.vcf" >http_ticket.vcf
printf '@HD\tVN:1.6\nr1\t4\t*\t0\t0\t*\t*\t0\t0\tACGT\tFFFF\n' >reads.sam
samtools view -C -o reads.cram reads.sam && samtools view -b -o reads.bam reads.sam
bcftools view --no-version -Ou -o raw.bcf snps.vcf
printf '\xef\xbb\xbf' | cat - snps.vcf >bom.vcf && printf '\xef\xbb\xbf' | cat - genes.gtf >bom.gtf
bgzip -c bom.vcf >bom.vcf.gz
sed 's/\trs1\t/\trs\x001\t/' snps.vcf >nul.vcf
: >empty.bed && grep '^#' genes.gtf >comments_only.bed
"$tool" -o whole.txt snps.vcf regions.bed 2>/dev/null

row() {  # what expected-status message-pattern command...
  local what=$1 status=$2 pattern=$3 got
  shift 3
  rm -f out.txt
  timeout 60 "$@" >stdout.txt 2>err.txt
  got=$?
  [[ $got == "$status" ]] || fail "$what: exit status $got, expected $status ($(cat err.txt))"
  [[ -z $pattern ]] || grep -qE "$pattern" err.txt || fail "$what: message '$(cat err.txt)'"
  [[ -z $(compgen -G '*.tmp') ]] || fail "$what: a temporary was left"
}
for ticket in file_ticket data_ticket http_ticket; do
  row "$ticket as VCF" 1 "^$ticket.vcf: an htsget ticket, not VCF or BCF$" "$tool" -o out.txt $ticket.vcf regions.bed
  for format in bed gtf table; do
    row "$ticket as $format" 1 "an htsget ticket, not" "$tool" -o out.txt --regions-format $format snps.vcf $ticket.vcf
  done
done
[[ ! -e requests ]] || fail "a ticket made requests: $(cat requests)"
for binary in reads.cram reads.bam raw.bcf; do
  for format in bed gtf gff3 table; do
    row "$binary as $format" 1 "^$binary: an? [A-Z]+ (file|or BCF file), not " "$tool" -o out.txt --regions-format $format snps.vcf $binary
  done
  row "$binary as a table of SNPs" 1 "not a table of SNPs" "$tool" -o out.txt --snps-format table $binary regions.bed
done
row "a name like a URL" 1 "^data:snps: cannot open: No such file" "$tool" -o out.txt --snps-format vcf "data:snps" regions.bed
cp snps.vcf data:snps && row "a file named like a URL" 0 "" "$tool" -o out.txt "data:snps" regions.bed
cmp -s out.txt whole.txt || fail "a file named like a URL: other weights"
row "BOM in a VCF" 0 "" "$tool" -o out.txt bom.vcf regions.bed && cmp -s out.txt whole.txt || fail "BOM in a VCF: other weights"
row "BOM in a BGZF VCF" 0 "" "$tool" -o out.txt bom.vcf.gz regions.bed && cmp -s out.txt whole.txt || fail "BOM in a BGZF VCF: other weights"
row "BOM in a GTF" 0 "" "$tool" -o out.txt snps.vcf bom.gtf
"$tool" -o gtf.txt snps.vcf genes.gtf 2>/dev/null && cmp -s out.txt gtf.txt || fail "BOM in a GTF: other weights"
row "NUL in a VCF record" 1 "^nul.vcf:7: line holds a NUL byte$" "$tool" -o out.txt nul.vcf regions.bed
row "- for both inputs" 2 "one input only" "$tool" -o out.txt - -
# A byte order mark split across two BGZF blocks is skipped all the same.
printf '\xef' | bgzip -c >bom_split.bed.gz && { printf '\xbb\xbf'; cat regions.bed; } | bgzip -c >>bom_split.bed.gz
row "a BOM split across BGZF blocks" 0 "" "$tool" -o out.txt snps.vcf bom_split.bed.gz && cmp -s out.txt whole.txt ||
  fail "a BOM split across BGZF blocks: other weights"
printf 'chrom\tstart\tend\n' | cat - regions.bed >headed.bed
row "a BED header line" 0 "" "$tool" -o out.txt snps.vcf headed.bed && cmp -s out.txt whole.txt || fail "a BED header line: other weights"
printf 'chrom\tstart\tend\tname\n' | cat - snps_bed.bed >headed_snps.bed
"$tool" -o bed.txt snps_bed.bed regions.bed 2>/dev/null
row "a BED header line above SNPs" 0 "" "$tool" -o out.txt headed_snps.bed regions.bed && cmp -s out.txt bed.txt ||
  fail "a BED header line above SNPs: other weights"
awk '/^#/ || $1 == 3' snps.vcf | sed 's/^3\t/chrY\t/' >chr_y.vcf
row "SNPs on one chromosome the regions lack" 0 "^regions.bed: no region on chromosome chrY \\(4000 SNPs\\); they get 0.4$" \
  "$tool" -o out.txt chr_y.vcf regions.bed
row "a header line for the weights" 0 "" "$tool" --header --columns --names -o out.txt snps.vcf regions.bed
[[ $(head -n 1 out.txt) == $'name\tchromosome\tposition\tweight\tregions' && $(wc -l <out.txt) == 12001 ]] ||
  fail "a header line for the weights: $(head -n 1 out.txt)"
for empty in empty.bed comments_only.bed /dev/null; do
  row "$empty as regions" 0 "^$empty: no regions; every SNP gets 0.4$" "$tool" -o out.txt --regions-format bed snps.vcf $empty
done
chmod 777 "$work"
# LeakSanitizer needs a thread of its own at exit, which the limit forbids.
leaks=()
[[ $sanitized == sanitized ]] && leaks=(env "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0")
row "a process limit of 2" 0 "" "${leaks[@]}" setpriv --reuid=65534 --regid=65534 --clear-groups \
  bash -c 'ulimit -u 2; exec "$0" -o - "$1" "$2"' "$tool" snps.vcf regions.bed
row "a process limit of 2, BGZF" 0 "" "${leaks[@]}" setpriv --reuid=65534 --regid=65534 --clear-groups \
  bash -c 'ulimit -u 2; exec "$0" -o - "$1" "$2"' "$tool" bom.vcf.gz regions.bed
if [[ $sanitized != sanitized ]]; then
  timeout 60 bash -c 'ulimit -v 20000; exec "$0" -o - "$1" "$2"' "$tool" bom.vcf.gz regions.bed >/dev/null 2>err.txt
  status=$?
  [[ $status == 0 || ($status == 1 && $(wc -l <err.txt) == 1) ]] || fail "a 20 MB address space: exit status $status"
fi

if ((failures)); then
  echo "$failures failed"
  exit 1
fi
echo "damaged and hostile inputs: every case passed ($damaged_runs damaged files)"
