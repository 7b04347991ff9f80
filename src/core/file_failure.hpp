// What failed on a file: the step, and the system's reason. Lower layers
// report failures this way; messages.hpp words them.
#pragma once

#include <system_error>

enum class file_step {
  open,     // opening or creating a file
  read,     // reading an input
  write,    // writing, flushing, syncing or closing the result
  replace,  // putting the finished result in the file's place
  changed,  // the file's entry led elsewhere by then (no reason)
};

struct file_failure {
  file_step step;
  std::error_code reason;
};
