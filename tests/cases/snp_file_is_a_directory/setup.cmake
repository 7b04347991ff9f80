file(MAKE_DIRECTORY "${WORK_DIR}/SNP_positions.txt")
