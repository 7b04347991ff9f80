// The only part of the tool that knows which platform it runs on: durable
// writes, replacing a file, file modes, signals and the CPU's vector units.
// Every platform #if of the tool is in platform.cpp.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// The widest instruction set the region rule can use on this CPU.
enum class vector_unit { portable, x86_64_v3, x86_64_v4 };
vector_unit widest_vector_unit();

// A result file written whole or not at all, as git writes its lock files.
//
// open() creates a new, uniquely named temporary file beside the target
// ("weight.txt.8c1e04f2.tmp"), with an exclusive create, and commit() pushes
// it to the disk and renames it over the target. Until the rename, every
// reader sees the target as it was; after it, the complete new file. A
// temporary that is not committed is removed by the destructor, or by the
// handler of SIGINT, SIGTERM and SIGHUP, which then ends the process with
// that signal. Only SIGKILL or a crash leaves it behind; never the target.
//
// A target that is a symbolic link is followed: the temporary is made beside
// the file it points to, and replaces that file, so the link stays. A target
// that is, or leads to, something other than a regular file (a device, a
// FIFO) cannot be replaced; it is written in place. A new file gets the mode
// bits of the one it replaces, or those of a plain create.
class replacement_file {
 public:
  replacement_file() = default;
  replacement_file(const replacement_file&) = delete;
  replacement_file& operator=(const replacement_file&) = delete;
  ~replacement_file();

  // Opens the file to write `name` through, as a text stream. Returns false
  // with "NAME: cannot open: REASON" in `error` on failure.
  bool open(const char* name, std::string* error);
  // The stream to write, once open() succeeded.
  std::FILE* stream() const { return stream_; }
  // Flushes, syncs and closes the stream, then renames the temporary over
  // the target. Returns false with "NAME: write error: REASON" or "NAME:
  // cannot replace: REASON" on failure; the temporary is then removed.
  bool commit(std::string* error);

 private:
  // Closes the stream and removes the temporary, if any.
  void discard();

  const char* name_ = nullptr;
  std::string target_;     // the file the temporary replaces
  std::string temporary_;  // empty when writing in place
  std::FILE* stream_ = nullptr;
};

// Removes the live temporary of a replacement_file, if any, without
// allocating: for a process about to end abruptly (out of memory).
void remove_temporary_now();

}  // namespace platform
