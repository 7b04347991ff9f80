# Every write to /dev/full fails with ENOSPC; wine maps it to Windows' own
# disk-full error, so this runs on both platforms. A device cannot be
# replaced, so it is written in place, and the link to it stays.
file(CREATE_LINK /dev/full "${WORK_DIR}/weight.txt" SYMBOLIC)
set(weight_link_may_remain TRUE)
