// The result file of a run, written so that nothing of the file it takes
// the place of is lost.
//
// open() opens an existing file for writing through the system, as
// fopen(name, "w") would but without emptying it, so that the system's
// rules on links, permissions, read-only and immutable files refuse it
// before the work; the entry the name leads to is fixed then, its links
// resolved once. Then, from what was opened:
//  - replace_whole when the file is new, or when replacing it loses
//    nothing (see os::result_target::replaceable). The result goes to a
//    uniquely named temporary file beside it ("weight.txt.8c1e04f2.tmp", cut
//    to what the file system takes), made with an exclusive create. commit()
//    pushes it to the disk, gives it the old file's mode bits, and swaps it
//    with the entry in one step; the entry must still lead to the file that
//    was opened (or to none, for a new file), else the swap is undone and
//    the run fails as `changed`, keeping the other program's file.
//  - in_place otherwise (a file with other names or another owner, an ACL,
//    extended attributes, a bind mount, a folder the user cannot write in):
//    the result is spooled to an unnamed file, and copied over the file at
//    commit(), while its entry still leads to it; the file is cut to its
//    new length. Owner, group, mode, ACLs, attributes and links stay. A
//    device or a FIFO is written as the result is made.
// A temporary that is not committed is removed by the destructor, or before
// a signal ends the process (see cleanup.hpp).
#pragma once

#include <cstdio>
#include <string>

#include "file_failure.hpp"
#include "os.hpp"

enum class output_route {
  replace_whole,  // a temporary beside the file, put in its place at commit()
  in_place,       // written over the file itself
  standard_output,
};

class output_file {
 public:
  output_file() = default;
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;
  ~output_file();

  // Opens `name` to write the result to, as a text stream. Returns false
  // with the failed step (open, or changed) in `failure`.
  bool open(const char* name, file_failure* failure);
  // Writes the result to the standard output instead, as it is made.
  void open_standard_output();
  // The stream to write, once open() succeeded.
  std::FILE* stream() const { return stream_; }
  output_route route() const { return route_; }
  // Flushes, syncs and closes the stream, then puts the result in place.
  // Returns false with the failed step (write, replace or changed) in
  // `failure`; the temporary is then removed.
  bool commit(file_failure* failure);

 private:
  // Makes the temporary beside the file: private until commit() when it
  // replaces an existing file.
  bool create_temporary(bool private_mode, file_failure* failure);
  bool start_in_place(file_failure* failure);
  // Puts the closed temporary in the entry's place.
  bool put_in_place(file_failure* failure);
  // Closes the stream and removes the temporary, if any.
  void discard_temporary();
  // That, and closes the file that was opened and its folder.
  void discard();

  os::result_target target_;
  std::string temporary_;  // empty unless replacing whole
  int spool_ = -1;         // the stream's file, when in place through a spool
  output_route route_ = output_route::in_place;
  std::FILE* stream_ = nullptr;
};
