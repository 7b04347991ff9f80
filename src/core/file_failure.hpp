// What failed on a file: the step, and the system's reason. Lower layers
// report failures this way; messages.hpp words them.
#pragma once

#include <string>
#include <system_error>

enum class file_step {
  open,               // opening or creating a file
  read,               // reading an input
  write,              // writing, flushing, syncing or closing the result
  replace,            // putting the finished result in the file's place
  changed,            // the file's entry led elsewhere by then (no reason)
  spool,              // making the copy a result is written to before it goes in place
  temporary_removed,  // another program removed the result's temporary (`detail`)
};

struct file_failure {
  file_step step;
  std::error_code reason;
  // changed: where another program's files were left, when they are not
  // where they were ("weight.txt.8c1e04f2.tmp"); temporary_removed: the
  // temporary's name.
  std::string detail = {};
};
