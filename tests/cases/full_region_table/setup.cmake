string(REPEAT "c g t 1 2\n" 16777215 regions)
file(WRITE "${WORK_DIR}/gene_regions.txt" "${regions}c g t 5 5\n")
