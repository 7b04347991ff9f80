file(MAKE_DIRECTORY "${WORK_DIR}/gene_regions.txt")
