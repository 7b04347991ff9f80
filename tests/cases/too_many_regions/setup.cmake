string(REPEAT "c g t 1 2\n" 16777217 regions)
file(WRITE "${WORK_DIR}/gene_regions.txt" "${regions}")
