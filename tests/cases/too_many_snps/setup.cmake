string(REPEAT "rs1 5 A\n" 2001 snps)
file(WRITE "${WORK_DIR}/SNP_positions.txt" "${snps}")
