# The SNP file is weight.txt itself: it is read whole before it is replaced.
file(CREATE_LINK weight.txt "${WORK_DIR}/SNP_positions.txt" SYMBOLIC)
