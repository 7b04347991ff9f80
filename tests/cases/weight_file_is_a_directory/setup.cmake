file(MAKE_DIRECTORY "${WORK_DIR}/weight.txt")
set(weight_is_directory TRUE)
