# The example shipped with the tool, as a user would run it.
file(COPY "${CASE_DIR}/../../../example/SNP_positions.txt" "${CASE_DIR}/../../../example/gene_regions.txt"
     DESTINATION "${WORK_DIR}")
