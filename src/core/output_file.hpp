// The result file of a run, written so that nothing of the file it takes
// the place of is lost, and nothing of another program's.
//
// open() opens an existing file for writing through the system, as
// fopen(name, "w") would but without emptying it, so that the system's
// rules on links, permissions, read-only and immutable files refuse it
// before the work; the entry the name leads to is fixed then, its links
// resolved once. Then, from what was opened:
//  - replace_whole when the file is new, or when replacing it loses
//    nothing (see os::result_target::replaceable). The result goes to a
//    uniquely named temporary file beside it ("weight.txt.8c1e04f2.tmp", cut
//    to what the file system takes), made with an exclusive create; a
//    temporary that cannot be made fails the run. commit() pushes it to
//    the disk, gives it the old file's mode bits, and swaps it with the
//    entry in one step; the entry must still lead to the file that was
//    opened (or to none, for a new file), else the swap is undone and the
//    run fails as `changed`, keeping the other program's file.
//  - in_place otherwise (a file with other names or another owner, an ACL,
//    extended attributes, a bind mount, a folder the user cannot write in):
//    the result is spooled to an unnamed file, and copied over the file at
//    commit(), while its entry still leads to it, with the room reserved
//    first and the ending signals held; the file is cut to its new length.
//    Owner, group, mode, ACLs, attributes and links stay. When no spool can
//    be made, the run is refused before a byte is written.
//  - straight for a device, a FIFO or a terminal, which hold nothing to
//    lose: written as the result is made.
// A temporary that is not committed is removed by the destructor, or before
// a signal ends the process (see cleanup.hpp), but only while its name still
// leads to the file the run made.
#pragma once

#include <cstdio>
#include <string>

#include "file_failure.hpp"
#include "os.hpp"

enum class output_route {
  replace_whole,  // a temporary beside the file, put in its place at commit()
  in_place,       // spooled, then copied over the file itself at commit()
  straight,       // a device, a FIFO or a terminal, written as the result is made
  standard_output,
};

class output_file {
 public:
  output_file() = default;
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;
  ~output_file();

  // Opens `name` to write the result to, as a text stream. Returns false
  // with the failed step in `failure`.
  bool open(const char* name, file_failure* failure);
  // Writes the result to the standard output instead, as it is made.
  void open_standard_output();
  // The stream to write, once open() succeeded.
  std::FILE* stream() const { return stream_; }
  output_route route() const { return route_; }
  // Whether the result is written straight into the regular file `input`
  // as it is made (the standard output redirected to it), so that reading
  // `input` meanwhile would read the result.
  bool writes_into(const os::file_identity& input) const;
  // Flushes, syncs and closes the stream, then puts the result in place.
  // Returns false with the failed step in `failure`; the temporary is then
  // removed.
  bool commit(file_failure* failure);

 private:
  // Makes the temporary beside the file: private until commit() when it
  // replaces an existing file. Returns 0 or the errno value.
  int create_temporary(bool private_mode);
  bool start_in_place(file_failure* failure);
  bool start_straight(file_failure* failure);
  // Copies the spool over the file, while its entry still leads to it.
  int copy_in();
  // Puts the closed temporary in the entry's place.
  bool put_in_place(file_failure* failure);
  bool replace_existing(file_failure* failure);
  // Whether the temporary's name still leads to the file this run made.
  bool temporary_is_ours() const;
  // The temporary is gone from the registry, under its name or not.
  void forget_temporary();
  // Closes the stream and removes the temporary, if any.
  void discard_temporary();
  // That, and closes the file that was opened and its folder.
  void discard();

  os::result_target target_;
  std::string temporary_;  // empty unless replacing whole
  os::file_identity temporary_identity_;
  int temporary_slot_ = -1;
  int spool_ = -1;  // the stream's file, when in place
  os::file_identity standard_output_;
  bool standard_output_regular_ = false;
  output_route route_ = output_route::in_place;
  std::FILE* stream_ = nullptr;
};
