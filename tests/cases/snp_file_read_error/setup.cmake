if(WINDOWS_TARGET)
  skip_case("wine reads a link into a Linux process's memory as the link target's bytes")
  return()
endif()
# Reading a process's memory from offset 0 fails with EIO.
file(CREATE_LINK /proc/self/mem "${WORK_DIR}/SNP_positions.txt" SYMBOLIC)
