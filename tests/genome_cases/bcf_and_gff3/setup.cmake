include("${CASE_DIR}/../example_inputs.cmake")
run_or_skip(bcftools bcftools view --no-version -Ob -o snps.bcf snps.vcf)
