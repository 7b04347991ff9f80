// The result of a run, as both commands write it: opened before any input
// is read, written, then committed, with every failure worded as one line.
#pragma once

#include <cstdio>
#include <string>
#include <system_error>

#include "output_file.hpp"

class result_file {
 public:
  // Opens `name` (see output_file), or the standard output for "-". Returns
  // false with "NAME: cannot open: REASON" or the like in `error`.
  bool open(const std::string& name, std::string* error);
  std::FILE* stream() const { return file_.stream(); }
  // The descriptor the result goes to, for a writer of its own (htslib's);
  // that writer must be done before commit().
  int descriptor() const { return fileno(file_.stream()); }
  // Whether the result is written straight into the regular file `input`
  // as it is made (see output_file::writes_into).
  bool writes_into(const os::file_identity& input) const { return file_.writes_into(input); }
  // Puts the result in place once every line is written; `written` is the
  // writer's first failure, if any. Returns false with the message in
  // `error`, the earlier file left as it was.
  bool commit(std::error_code written, std::string* error);

 private:
  std::string name_;
  output_file file_;
};
