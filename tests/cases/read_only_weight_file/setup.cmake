# A read-only weight.txt is refused at the start and kept, as
# fopen("weight.txt", "w") refuses it. Root may write any file on Linux, so
# there the case needs another user.
file(CHMOD "${WORK_DIR}/weight.txt" PERMISSIONS OWNER_READ GROUP_READ WORLD_READ)
if(NOT WINDOWS_TARGET)
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(uid STREQUAL "0")
    skip_case("root may write a read-only file (output_safety covers other users)")
  endif()
endif()
