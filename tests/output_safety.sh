#!/usr/bin/env bash
# weight.txt is replaced whole or left as it was, whatever befalls a run:
# refused inputs, write errors, an unwritable directory, links, kills,
# signals and overlapping runs in one directory; and the run writes only
# what the kernel lets it write, keeping the old file's owner, group, mode,
# ACL, attributes and links. Linux only: it needs signals, rlimits and a
# user other than root; the cases that need root skip without it.
#
#   output_safety.sh TOOL WORK_DIR EXCHANGE_ENTRIES [sanitized]
#
# EXCHANGE_ENTRIES is the helper that swaps two names atomically. The fourth
# argument skips the out-of-memory and timed cases, for builds (sanitizers)
# that cannot run under an address-space limit or at full speed.
set -uo pipefail
tool=$(realpath "$1")
work=$2
exchange=$(realpath "$3")
sanitized=${4:-}
failures=0
ulimit -c 0  # SIGQUIT would dump core
mkdir -p "$work" && chmod 755 "$work"
cp "$tool" "$work/tool" && chmod 755 "$work/tool"
as_root=0
[[ $(id -u) == 0 ]] && as_root=1
as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
((as_root)) || as_nobody=()

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# A fresh directory with small valid inputs and an earlier weight.txt.
fresh() {
  rm -rf "$work/$1" && mkdir -p "$work/$1" && cd "$work/$1" || exit 1
  printf 'rs1 10 A\nrs2 20 B\nrs3 30 C\n' >SNP_positions.txt
  printf 'chr1 g t 15 25\n' >gene_regions.txt
  printf 'earlier result\n' >weight.txt
}

expect_earlier_kept() {  # what
  [[ $(cat weight.txt 2>/dev/null) == "earlier result" ]] || fail "$1: the earlier weight.txt was not kept"
  expect_no_temporary "$1"
}

expect_no_temporary() {  # what
  local left
  left=$(find . -maxdepth 2 -name '*.tmp')
  [[ -z $left ]] || fail "$1: temporary files left: $left"
}

expect_result() {  # what
  [[ $(cat weight.txt) == $'rs1\t0.400000\nrs2\t0.800000\nrs3\t0.400000' ]] ||
    fail "$1: weight.txt is not the new result"
  expect_no_temporary "$1"
}

run_expecting() {  # what status message [command...]
  local what=$1 status=$2 message=$3
  shift 3
  local err
  err=$("${@:-$tool}" 2>&1 >/dev/null)
  local got=$?
  [[ $got == "$status" ]] || fail "$what: exit status $got, expected $status ($err)"
  [[ $err == "$message" ]] || fail "$what: message '$err', expected '$message'"
}

# --- Failures leave an earlier weight.txt byte for byte ----------------------

fresh refused_input
printf 'rs1 10 A\nthis_name_is_too_long_to_store 20 B\n' >SNP_positions.txt
run_expecting "refused input" 1 "SNP_positions.txt:2: SNP name longer than 19 characters"
expect_earlier_kept "refused input"

fresh write_error
for ((k = 0; k < 500; k++)); do echo "rs$k $k A"; done >SNP_positions.txt
# A 1 KiB file-size limit: the write fails with EFBIG (SIGXFSZ is ignored).
run_expecting "write error" 255 "weight.txt: write error: File too large" \
  bash -c 'trap "" XFSZ; ulimit -f 1; exec "$0"' "$tool"
expect_earlier_kept "write error"

run_expecting "file size limit, SIGXFSZ left to the tool" 255 "weight.txt: write error: File too large" \
  bash -c 'ulimit -f 1; exec "$0"' "$tool"
expect_earlier_kept "file size limit, SIGXFSZ left to the tool"

fresh unwritable_directory
chmod 755 .
chmod 555 .
if "${as_nobody[@]}" test -x "$work/tool"; then
  run_expecting "unwritable directory" 1 "weight.txt: cannot open: Permission denied" "${as_nobody[@]}" "$work/tool"
  expect_earlier_kept "unwritable directory"
  # The same directory, but a weight.txt the user may write: written in place.
  chmod 755 . && chown 65534 weight.txt 2>/dev/null && chmod 555 .
  if ((as_root)); then
    run_expecting "unwritable directory, writable file" 0 "" "${as_nobody[@]}" "$work/tool"
    expect_result "unwritable directory, writable file"
  fi
else
  echo "skipped: no other user can run the tool from $work"
fi
chmod 755 .

# Out of memory: just below the smallest address-space limit under which the
# run succeeds, and above that under which the loader fails, every run must
# end with one line and keep the earlier weight.txt.
fresh out_of_memory
limited() { bash -c 'ulimit -v "$0"; exec "$1"' "$1" "$tool" 2>&1 >/dev/null; }
if [[ $sanitized != sanitized ]]; then
  low=20000 high=2000000
  while ((high - low > 8)); do
    middle=$(((low + high) / 2))
    if limited "$middle" >/dev/null; then high=$middle; else low=$middle; fi
  done
  printf 'earlier result\n' >weight.txt
  said_out_of_memory=0
  for ((limit = high - 4; limit > high - 2000; limit -= 4)); do
    message=$(limited "$limit")
    status=$?
    [[ $status == 127 ]] && break  # the loader's own failure: below the tool
    if [[ $status == 0 ]]; then
      printf 'earlier result\n' >weight.txt
      continue
    fi
    [[ $status == 1 && $message =~ ^[^$'\n']+$ ]] || fail "out of memory at $limit KiB: status $status: $message"
    [[ $message == "snp_weight: out of memory" ]] && said_out_of_memory=1
    expect_earlier_kept "out of memory at $limit KiB"
  done
  ((said_out_of_memory)) || fail "out of memory: no limit gave 'snp_weight: out of memory'"
fi

# --- What weight.txt is ------------------------------------------------------

fresh link_to_a_file
mkdir data && mv weight.txt data/result.txt && ln -s data/result.txt weight.txt
run_expecting "link to a file" 0 ""
[[ $(readlink weight.txt) == data/result.txt ]] || fail "link to a file: the link was not kept"
expect_result "link to a file"

fresh mode_bits
chmod 640 weight.txt
run_expecting "mode bits" 0 ""
[[ $(stat -c %a weight.txt) == 640 ]] || fail "mode bits: $(stat -c %a weight.txt), expected 640"
rm weight.txt
(umask 022 && "$tool")
[[ $(stat -c %a weight.txt) == 644 ]] || fail "mode bits: a new file is $(stat -c %a weight.txt), expected 644"

fresh hard_link
ln weight.txt other_name.txt
run_expecting "hard link" 0 ""
expect_result "hard link"
cmp -s weight.txt other_name.txt || fail "hard link: written in place, the other name should hold the result"

fresh input_is_the_weight_file
mv SNP_positions.txt weight.txt && ln -s weight.txt SNP_positions.txt
run_expecting "input is weight.txt" 0 ""
expect_result "input is weight.txt"

fresh long_link_target
long=$(printf 'l%.0s' {1..250})
mv weight.txt "$long" && ln -s "$long" weight.txt
run_expecting "link target of 250 characters" 0 ""
[[ $(readlink weight.txt) == "$long" ]] || fail "link target of 250 characters: the link was not kept"
expect_result "link target of 250 characters"

# Refused at once, rather than blocking or reading forever.
fresh fifo_without_reader
rm weight.txt && mkfifo weight.txt
run_expecting "FIFO with no reader" 1 "weight.txt: cannot open: No such device or address" timeout 5 "$tool"
fresh endless_inputs
ln -sf /dev/zero gene_regions.txt
run_expecting "/dev/zero" 1 "gene_regions.txt:1: field 1 holds a NUL byte" timeout 5 "$tool"
endless() {  # what message writer...
  local what=$1 message=$2
  shift 2
  rm -f gene_regions.txt && mkfifo gene_regions.txt
  "$@" >gene_regions.txt 2>/dev/null &
  run_expecting "$what" 1 "$message" timeout 5 "$tool"
  kill $! 2>/dev/null
  wait $! 2>/dev/null
}
endless "endless field" "gene_regions.txt:1: field 1 longer than 16777216 characters" \
  bash -c "tr '\\0' x </dev/zero"
endless "endless records" "gene_regions.txt:16777217: more than 16777216 gene regions" yes "c g t 1 2"
[[ $sanitized == sanitized ]] ||
  endless "endless whitespace" "gene_regions.txt:1: more than 16777216 characters of whitespace in a row" yes ""
expect_earlier_kept "endless inputs"

# --- Root, and other users' files ----------------------------------------------

if ((as_root)); then
  fresh immutable
  if chattr +i weight.txt 2>/dev/null; then
    run_expecting "immutable weight.txt" 1 "weight.txt: cannot open: Operation not permitted"
    chattr -i weight.txt
    expect_earlier_kept "immutable weight.txt"
  else
    echo "skipped: chattr +i is not supported here"
  fi

  fresh bind_mount
  printf 'earlier result\n' >../mounted_result.txt
  if mount --bind ../mounted_result.txt weight.txt 2>/dev/null; then
    run_expecting "single-file bind mount" 0 ""
    umount weight.txt
    cmp -s ../mounted_result.txt <(printf 'rs1\t0.400000\nrs2\t0.800000\nrs3\t0.400000\n') ||
      fail "single-file bind mount: the mounted file does not hold the result"
  else
    echo "skipped: mount --bind is not allowed here"
  fi

  # Root's run, and a group member's, on another user's file keep its owner,
  # group, mode, ACL and extended attribute; a setuid bit stays on its owner.
  metadata() { stat -c '%U:%G %A' weight.txt && getfacl -cp weight.txt 2>/dev/null && getfattr -d weight.txt 2>/dev/null; }
  for runner in root group_member setuid; do
    fresh "metadata_$runner"
    chmod 777 . && chown nobody:users weight.txt && chmod 664 weight.txt
    setfacl -m u:daemon:rw weight.txt 2>/dev/null || echo "skipped: no ACL support here"
    setfattr -n user.origin -v lab weight.txt 2>/dev/null || echo "skipped: no user attributes here"
    command=("$tool")
    [[ $runner == group_member ]] && command=(setpriv --reuid=daemon --regid=daemon --groups=users "$work/tool")
    [[ $runner == setuid ]] && chmod 4666 weight.txt
    before=$(metadata)
    run_expecting "metadata, $runner" 0 "" "${command[@]}"
    expect_result "metadata, $runner"
    [[ $(metadata) == "$before" ]] || fail "metadata, $runner: was $before, now $(metadata)"
  done

  # An attacker in a sticky world-writable directory swaps weight.txt between
  # a file of their own and a link to a stand-in: with the kernel's link
  # protection, root's runs never create or replace the stand-in.
  previous=$(sysctl -n fs.protected_symlinks 2>/dev/null)
  if [[ -n $previous ]] && sysctl -qw fs.protected_symlinks=1 2>/dev/null; then
    for standin in file device; do
      fresh "protected_symlinks_$standin"
      chmod 1777 . && chown nobody weight.txt
      rm -rf ../standins && mkdir ../standins
      target=$PWD/../standins/ld.so.preload
      [[ $standin == device ]] && mknod "$target" c 1 3
      "${as_nobody[@]}" ln -s "$target" link
      "${as_nobody[@]}" "$exchange" weight.txt link 60 &
      attacker=$!
      refused=0
      for ((k = 0; k < 300; k++)); do "$tool" 2>/dev/null || refused=$((refused + 1)); done
      kill $attacker 2>/dev/null
      wait $attacker 2>/dev/null
      ((refused > 0)) || fail "protected symlinks: no run met the link"
      if [[ $standin == file ]]; then
        [[ ! -e $target ]] || fail "protected symlinks: root's runs created the stand-in"
      else
        [[ -c $target && $(stat -c %t:%T "$target") == 1:3 ]] || fail "protected symlinks: the device was replaced"
      fi
      expect_no_temporary "protected symlinks, $standin"
    done
    sysctl -qw fs.protected_symlinks="$previous"
  else
    echo "skipped: fs.protected_symlinks cannot be set here"
  fi
else
  echo "skipped: the cases for root's runs need root"
fi

# SIGTERM within the first milliseconds, where the temporary is made: a
# signal between its creation and its registration must not leave it.
fresh early_signals
leaks=0
for ((round = 0; round < 300; round++)); do
  "$tool" 2>/dev/null &
  sleep "0.00$((RANDOM % 3))$((RANDOM % 10))"
  kill -TERM $! 2>/dev/null
  wait $! 2>/dev/null
  compgen -G 'weight.txt.*.tmp' >/dev/null && leaks=$((leaks + 1)) && rm -f weight.txt.*.tmp
done
((leaks == 0)) || fail "early SIGTERM: $leaks of 300 runs left a temporary"

# --- Kills, signals and overlapping runs at capacity -------------------------

fresh capacity
awk 'BEGIN { srand(7); for (k = 0; k < 2000; k++) printf "rs%d\t%d\tA\n", k, int(rand() * 250000000) }' \
  >SNP_positions.txt
awk 'BEGIN { srand(8); for (k = 0; k < 1000000; k++) {
  s = int(rand() * 250000000); printf "chr1\tG%d\tT%d\t%d\t%d\n", k, k, s, s + 10 + int(rand() * 490) } }' \
  >regions_a.txt
awk 'BEGIN { srand(9); for (k = 0; k < 1000000; k++) {
  s = int(rand() * 250000000); printf "chr2\tG%d\tT%d\t%d\t%d\n", k, k, s, s + 10 + int(rand() * 490) } }' \
  >regions_b.txt
printf 'not_a_valid_record 2147483648 x\n' >refused_snps.txt
cp SNP_positions.txt valid_snps.txt
for set in a b; do
  cp "regions_$set.txt" gene_regions.txt && "$tool" && mv weight.txt "result_$set.txt"
done
cmp -s result_a.txt result_b.txt && fail "capacity: the two region sets give the same result"

set -m  # background runs get SIGINT, as from a terminal
for ((round = 0; round < 20; round++)); do
  cp result_a.txt weight.txt
  cp regions_b.txt gene_regions.txt
  "$tool" &
  sleep "0.$((RANDOM % 30))"
  kill -KILL $! 2>/dev/null
  wait $!
  if ! cmp -s weight.txt result_a.txt && ! cmp -s weight.txt result_b.txt; then
    fail "SIGKILL, round $round: weight.txt is neither the earlier nor the new result ($(wc -c <weight.txt) bytes)"
  fi
  find . -name 'weight.txt.*.tmp' -delete  # a killed run may leave its temporary; never weight.txt
done

for signal in INT TERM HUP QUIT PIPE; do
  for ((round = 0; round < 5; round++)); do
    cp result_a.txt weight.txt
    "$tool" &
    sleep "0.0$((RANDOM % 10))"
    kill "-$signal" $! 2>/dev/null
    wait $!
    status=$?
    [[ $status == 0 || $status == $((128 + $(kill -l "$signal"))) ]] ||
      fail "SIG$signal, round $round: exit status $status"
    expect_no_temporary "SIG$signal, round $round"
    cmp -s weight.txt result_a.txt || cmp -s weight.txt result_b.txt ||
      fail "SIG$signal, round $round: weight.txt is neither the earlier nor the new result"
  done
done
set +m

# Overlapping pairs in one directory. The second run starts once the first
# has opened its inputs, which are then swapped for the second's.
overlap() {  # round first_snps first_regions second_snps second_regions
  cp "$2" SNP_positions.txt && cp "$3" gene_regions.txt
  "$tool" 2>/dev/null &
  local first=$!
  sleep 0.03
  cp "$4" SNP_positions.txt.new && mv SNP_positions.txt.new SNP_positions.txt
  cp "$5" gene_regions.txt.new && mv gene_regions.txt.new gene_regions.txt
  "$tool" 2>/dev/null &
  local second=$!
  wait $first
  first_status=$?
  wait $second
  second_status=$?
}
for ((round = 0; round < 20; round++)); do
  cp result_b.txt weight.txt
  overlap "$round" valid_snps.txt regions_a.txt refused_snps.txt regions_b.txt
  [[ $second_status == 1 ]] || fail "overlap $round: the refused run exited $second_status"
  if [[ $first_status == 0 ]]; then
    cmp -s weight.txt result_a.txt || fail "overlap $round: a refused run lost the result of a run that succeeded"
  fi
  cmp -s weight.txt result_a.txt || cmp -s weight.txt result_b.txt || fail "overlap $round: weight.txt is spliced"

  # Two runs making a new weight.txt: the later one to commit finds the other's
  # file there and fails as changed (255), keeping it.
  rm weight.txt
  overlap "$round" valid_snps.txt regions_a.txt valid_snps.txt regions_b.txt
  [[ $first_status$second_status == 00 || $first_status$second_status == 0255 ||
     $first_status$second_status == 2550 ]] || fail "overlap $round: exit statuses $first_status, $second_status"
  cmp -s weight.txt result_a.txt || cmp -s weight.txt result_b.txt ||
    fail "overlap $round: two valid runs left neither one's complete result"
  expect_no_temporary "overlap $round"
done

if ((failures)); then
  echo "$failures failed"
  exit 1
fi
echo "output safety: every case passed"
