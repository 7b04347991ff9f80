include("${CASE_DIR}/../example_inputs.cmake")
unset(expected_weight_text)
