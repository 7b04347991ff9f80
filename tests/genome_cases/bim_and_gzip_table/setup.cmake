include("${CASE_DIR}/../example_inputs.cmake")
gzip(regions.txt)
