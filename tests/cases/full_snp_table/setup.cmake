string(REPEAT "rs1 5 A\n" 2000 snps)
file(WRITE "${WORK_DIR}/SNP_positions.txt" "${snps}")
file(WRITE "${WORK_DIR}/gene_regions.txt" "c g t 5 5\n")
string(REPEAT "rs1\t0.800000\n" 2000 expected_weight_text)
