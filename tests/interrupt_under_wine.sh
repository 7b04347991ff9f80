#!/usr/bin/env bash
# Ctrl-C during runs of the Windows build, and other programs acting on
# weight.txt meanwhile. Wine turns SIGINT into the
# console's Ctrl-C, which the tool's handler takes on a thread of its own
# while the main thread goes on. 200 runs of snp_weight.exe, half of them
# short enough to be writing or committing by then, and 40 of
# snp_weight_genome.exe, get it 0 to 20 ms after their temporary appears:
# none may hang, none may leave a temporary, every exit status is 0 or 3,
# and weight.txt is the earlier file or the complete result.
#
#   interrupt_under_wine.sh WINE TOOL.exe WORK_DIR [GENOME.exe]
set -uo pipefail
wine=$1 tool=$2 work=$3 genome=${4:-}
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
awk 'BEGIN { srand(7); for (k = 0; k < 2000; k++) printf "rs%d\t%d\tA\n", k, int(rand() * 250000000) }' \
  >SNP_positions.txt
awk 'BEGIN { srand(8); for (k = 0; k < 400000; k++) { s = int(rand() * 250000000); printf "c\tg\tt\t%d\t%d\n", s, s + 99 } }' \
  >gene_regions.txt
awk '{ print "chr1\t" $4 "\t" $5 }' gene_regions.txt >regions.bed
awk '{ print $1 "\tchr1\t" $2 }' SNP_positions.txt >snps.txt
"$wine" "$tool" && mv weight.txt result.txt || exit 1
mkdir short && head -n 200 SNP_positions.txt >short/SNP_positions.txt && head -n 2000 gene_regions.txt >short/gene_regions.txt
(cd short && "$wine" "$tool" && mv weight.txt result.txt) || exit 1
if [[ -n $genome ]]; then
  "$wine" "$genome" -o genome_result.txt snps.txt regions.bed || exit 1
fi
failures=0

interrupt() {  # what result command...
  local what=$1 result=$2 run status k left
  shift 2
  printf 'earlier result\n' >weight.txt
  "$wine" "$@" 2>/dev/null &
  run=$!
  for ((k = 0; k < 100000; k++)); do
    compgen -G 'weight.txt.*.tmp' >/dev/null && break
    kill -0 $run 2>/dev/null || break
  done
  k=$((RANDOM % 21))
  ((k > 0)) && sleep "0.0$(printf %02d $k)"
  kill -INT $run 2>/dev/null
  # A hang is a failure, not a wait without end.
  for ((k = 0; k < 600; k++)); do
    kill -0 $run 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 $run 2>/dev/null; then
    kill -KILL $run
    echo "$what: the run did not end"
    failures=$((failures + 1))
  fi
  wait $run
  status=$?
  [[ $status == 0 || $status == 3 ]] || { echo "$what: exit status $status"; failures=$((failures + 1)); }
  left=$(compgen -G 'weight.txt.*.tmp')
  [[ -z $left ]] || { echo "$what: temporary left: $left"; failures=$((failures + 1)); }
  [[ $(cat weight.txt) == "earlier result" ]] || cmp -s weight.txt "$result" ||
    { echo "$what: weight.txt is neither the earlier nor the new result"; failures=$((failures + 1)); }
  rm -f weight.txt.*.tmp
}

for ((round = 0; round < 100; round++)); do
  interrupt "snp_weight, round $round" result.txt "$tool"
  cd short || exit 1
  interrupt "snp_weight, short run $round" result.txt "$tool"
  cd "$work" || exit 1
done
if [[ -n $genome ]]; then
  for ((round = 0; round < 40; round++)); do
    interrupt "snp_weight_genome, round $round" genome_result.txt "$genome" snps.txt regions.bed
  done
fi
# Other programs: weight.txt removed and written anew during a run is kept,
# and the run fails as changed (the run holds the file it opened, so its
# index cannot pass to the new one); a weight.txt with a second name is
# written in place, so that name holds the result too.
for ((round = 0; round < 3; round++)); do
  printf 'earlier result\n' >weight.txt
  "$wine" "$tool" 2>err.txt &
  run=$!
  for ((k = 0; k < 100000; k++)); do compgen -G 'weight.txt.*.tmp' >/dev/null && break; done
  rm weight.txt && printf 'another program\n' >weight.txt
  wait $run
  status=$?
  [[ $status == 255 && $(tr -d '\r' <err.txt) == "weight.txt: cannot replace: changed by another program during the run" &&
     $(cat weight.txt) == "another program" ]] ||
    { echo "weight.txt written anew, round $round: exit status $status: $(cat err.txt)"; failures=$((failures + 1)); }
done
printf 'earlier result\n' >weight.txt && ln weight.txt second_name.txt
"$wine" "$tool" && cmp -s weight.txt result.txt && cmp -s second_name.txt result.txt ||
  { echo "a second name: it does not hold the result"; failures=$((failures + 1)); }
rm second_name.txt

((failures == 0)) && echo "Ctrl-C under wine: no hang, no temporary left, weight.txt whole; other programs' files kept"
exit $((failures > 0))
