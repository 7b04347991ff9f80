# A write error on a regular file: a 1 KiB file-size limit (SIGXFSZ ignored,
# so the write fails with EFBIG) against about 5 KiB of weights. The earlier
# weight.txt stays as it was, and no temporary file is left.
set(snps "")
foreach(k RANGE 499)
  string(APPEND snps "rs${k} ${k} A\n")
endforeach()
file(WRITE "${WORK_DIR}/SNP_positions.txt" "${snps}")
set(run_prefix bash -c "trap '' XFSZ && ulimit -f 1 && exec \"$@\"" bash)
if(WINDOWS_TARGET)
  # The wine server is started first (unless one runs already), outside the
  # limit, which it cannot live under. wine reports the failed write as EINVAL.
  set(run_prefix bash -c "wineserver -p10 </dev/null >/dev/null 2>&1 || true && trap '' XFSZ && ulimit -f 1 && exec \"$@\"" bash)
  set(expected_stderr_text "weight.txt: write error: Invalid argument\n")
else()
  set(expected_stderr_text "weight.txt: write error: File too large\n")
endif()
