string(REPEAT "x" 1048576 field)
file(WRITE "${WORK_DIR}/SNP_positions.txt" "rs1 1 ${field}\nrs2 2 B\n")
