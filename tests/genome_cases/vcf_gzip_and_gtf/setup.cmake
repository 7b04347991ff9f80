include("${CASE_DIR}/../example_inputs.cmake")
# BGZF, as bgzip writes it for tabix.
run_or_skip(bgzip tabix snps.vcf)
