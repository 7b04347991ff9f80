include("${CASE_DIR}/../example_inputs.cmake")
