# File names outside Windows' ANSI code pages, each beside the look-alike
# that a program in such a code page is handed instead ("α.vcf" as "a.vcf"),
# which gives other weights.
include("${CASE_DIR}/../example_inputs.cmake")
file(RENAME "${WORK_DIR}/snps.vcf" "${WORK_DIR}/α.vcf")
file(RENAME "${WORK_DIR}/regions.bed" "${WORK_DIR}/δ.bed")
gzip(δ.bed)
file(WRITE "${WORK_DIR}/a.vcf" "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n1\t1\tlook_alike\tA\tG\t.\t.\t.\n")
file(WRITE "${WORK_DIR}/d.bed" "chr1\t0\t1000000000\tlook_alike\n")
gzip(d.bed)
# wine hands a program its arguments and file names as written only in a
# UTF-8 locale.
if(WINDOWS_TARGET)
  set(run_prefix "${CMAKE_COMMAND}" -E env LC_ALL=C.UTF-8)
endif()
