# Every write to /dev/full fails with ENOSPC; wine maps it to Windows' own
# disk-full error, so this runs on both platforms.
file(CREATE_LINK /dev/full "${WORK_DIR}/weight.txt" SYMBOLIC)
if(WINDOWS_TARGET)
  # wine will not delete a link to a device; a link to /dev/full holds no
  # partial result, so it may stay.
  set(weight_link_may_remain TRUE)
endif()
