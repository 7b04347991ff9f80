// The only part of the tool that knows which platform it runs on: opening
// and replacing the result file, durable writes, signals and the CPU's
// vector units. Every platform #if of the tool is in platform.cpp. It
// reports failures as a step and an error code; messages.hpp words them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <system_error>

struct stat;

namespace platform {

// The widest instruction set the region rule can use on this CPU.
enum class vector_unit { portable, x86_64_v3, x86_64_v4 };
vector_unit widest_vector_unit();

// What failed: the step, and the system's reason.
enum class file_step {
  open,     // opening or creating a file
  read,     // reading an input
  write,    // writing, flushing, syncing or closing the result
  replace,  // renaming the finished result over the file
  changed,  // the entry was another file by then (no reason)
};
struct file_failure {
  file_step step;
  std::error_code reason;
};

// How the result takes the place of the file it is written to.
enum class output_route {
  replace_whole,  // a temporary beside it, renamed over it at commit()
  in_place,       // written through the file itself, then cut to length
  standard_output,
};

// The result file of a run, written so that nothing of the old file is lost.
//
// open() opens an existing file for writing through the kernel, as
// fopen(name, "w") would but without emptying it, so that the kernel's own
// rules on links (fs.protected_symlinks), permissions, read-only and
// immutable files refuse it at the start rather than after the work. A FIFO
// with no reader is refused at once. Then, from what was opened:
//  - replace_whole when the file is new, or when replacing it loses nothing:
//    a regular file with one link, owned by the user who runs the tool, whose
//    group the new file can keep, with no ACL or extended attribute, not a
//    mount point of its own, in a directory where a temporary file can be
//    made. The result goes to a uniquely named temporary file beside it
//    ("weight.txt.8c1e04f2.tmp", its name cut to what the file system
//    takes), made with an exclusive create; commit() pushes it to the disk
//    and renames it over the file, in the directory that holds the file
//    that was opened, and only while that entry is still that file. Until
//    then every reader sees the old file; after it, the whole new one, with
//    the old one's mode bits.
//  - in_place otherwise (a device, a FIFO, a file with other names or
//    another owner, an ACL, extended attributes, a bind mount, or in a
//    directory the user cannot write): the result is written through the
//    descriptor that was opened and the file cut to its new length. Owner,
//    group, mode, ACLs, attributes and links stay; the write is not atomic.
// A temporary that is not committed is removed by the destructor, or by the
// handler of SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE (Ctrl-C and
// Ctrl-Break on Windows), which then ends the process with that signal.
// SIGXFSZ is ignored, so that a write past the file size limit fails and
// is reported. Only SIGKILL or a crash leaves a temporary behind.
class output_file {
 public:
  output_file() = default;
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;
  ~output_file();

  // Opens `name` to write the result to, as a text stream. Returns false
  // with the failed step (open) in `failure`.
  bool open(const char* name, file_failure* failure);
  // Writes the result to the standard output instead, as it is.
  void open_standard_output();
  // The stream to write, once open() succeeded.
  std::FILE* stream() const { return stream_; }
  output_route route() const { return route_; }
  // Flushes, syncs and closes the stream, then puts the result in place.
  // Returns false with the failed step (write, replace or changed) in
  // `failure`; the temporary is then removed.
  bool commit(file_failure* failure);

 private:
  bool open_existing(int fd, file_failure* failure);
  // Whether the file opened as `fd` can be replaced whole; if so, the
  // temporary is made, with the file's group and mode bits (POSIX only).
  bool start_replacing_whole(int fd, const struct ::stat& status);
  // Makes the temporary beside the file, uniquely named, with an exclusive
  // create; it takes `mode` (less the umask).
  bool create_temporary(int mode, file_failure* failure);
  // Creates the temporary `name` and registers it for the signal handlers,
  // in one step that no signal falls into. Returns its descriptor, or -1
  // with the errno value in `code`.
  int create_registered(const std::string& name, int mode, int& code);
  // The longest name the file system takes in the directory.
  std::size_t longest_entry() const;
  // Closes the stream and removes the temporary, if any, then closes the
  // descriptors.
  void discard();
  void remove_temporary();
  void close_descriptors();

  std::string name_;
  std::string directory_;  // of the entry replaced, with its separator; "" for "."
  std::string entry_;      // that entry's name in it
  std::string temporary_;  // empty unless replacing whole
  output_route route_ = output_route::in_place;
  std::FILE* stream_ = nullptr;
  int target_fd_ = -1;                    // the file that was opened, when it existed
  int directory_fd_ = -1;                 // POSIX: the directory of entry_
  bool regular_ = false;                  // the opened file is a regular one
  std::uint64_t device_ = 0, inode_ = 0;  // of the opened file
};

// Removes the live temporary of an output_file, if any, without allocating:
// for a process about to end abruptly (out of memory).
void remove_temporary_now();

// From now on a failed allocation removes the live temporary, prints
// "PROGRAM: MESSAGE" on stderr and ends the process with `status`, rather
// than throwing: with no memory left, the C++ runtime may have none to throw
// with either. Both strings must outlive the process; nothing is allocated.
void end_on_out_of_memory(const char* program, const char* message, int status);

}  // namespace platform
