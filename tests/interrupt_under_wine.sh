#!/usr/bin/env bash
# Ctrl-C during a run of the Windows build: wine turns SIGINT into the
# console's Ctrl-C. The run's temporary file must go, and an earlier
# weight.txt stay as it was (or be the complete result, had the run ended).
#
#   interrupt_under_wine.sh WINE TOOL.exe WORK_DIR
set -uo pipefail
wine=$1 tool=$2 work=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
awk 'BEGIN { srand(7); for (k = 0; k < 2000; k++) printf "rs%d\t%d\tA\n", k, int(rand() * 250000000) }' \
  >SNP_positions.txt
awk 'BEGIN { srand(8); for (k = 0; k < 4000000; k++) { s = int(rand() * 250000000); printf "c\tg\tt\t%d\t%d\n", s, s + 99 } }' \
  >gene_regions.txt
"$wine" "$tool" && mv weight.txt result.txt || exit 1
failures=0
for ((round = 0; round < 5; round++)); do
  printf 'earlier result\n' >weight.txt
  "$wine" "$tool" 2>/dev/null &
  run=$!
  temporaries=()
  for ((k = 0; k < 250 && ${#temporaries[@]} == 0; k++)); do
    temporaries=(weight.txt.*.tmp)
    [[ -e ${temporaries[0]} ]] || { temporaries=(); sleep 0.02; }
  done
  kill -INT $run
  wait $run
  status=$?
  left=$(compgen -G 'weight.txt.*.tmp')
  [[ -z $left ]] || { echo "round $round: exit status $status, temporary left: $left"; failures=$((failures + 1)); }
  [[ $(cat weight.txt) == "earlier result" ]] || cmp -s weight.txt result.txt ||
    { echo "round $round: weight.txt is neither the earlier nor the new result"; failures=$((failures + 1)); }
  rm -f weight.txt.*.tmp
done
((failures == 0)) && echo "Ctrl-C under wine: no temporary left, weight.txt whole"
exit $((failures > 0))
