// The operating system's side of the tool, and the only code that knows
// which system it runs on: os_posix.cpp or os_windows.cpp, chosen by CMake.
// Everything above it is written once. Calls that can fail return 0 or the
// errno value of the failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace os {

// An entry, fixed when it is found: the folder that holds it and its name
// there. POSIX keeps the folder open for search only, so that a folder the
// user may write but not list works; Windows keeps its path.
struct location {
  int directory = -1;          // POSIX: a descriptor of the folder
  std::string directory_path;  // Windows: the folder, with its separator ("" for the current one)
  std::string entry;
};

// Which file an entry leads to.
struct file_identity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  friend bool operator==(const file_identity&, const file_identity&) = default;
};

// What open_result() found under a name.
struct result_target {
  bool existed = false;      // the name led to a file
  bool named = true;         // that file still has a name (not a deleted file reached through /proc)
  int fd = -1;               // that file, open for writing until the commit, or -1
  location where;            // where the name leads, its links resolved once
  file_identity identity;    // of the file that was opened
  bool regular = false;      // a regular file (else a device, a FIFO or a terminal)
  bool replaceable = false;  // a new file in its place loses nothing (if one can be made there)
  unsigned mode = 0;         // its permission bits, which a replacement takes
  std::uint32_t group = 0;   // its group (POSIX)
};

// --- The result file ------------------------------------------------------

// Opens `name` for writing as fopen(name, "w") would, but without emptying
// it, so that the system's rules on links, permissions and read-only or
// immutable files refuse it before the work. A FIFO that no process reads
// is refused at once (ENXIO); a lease on the file is waited for, as a plain
// open waits. A name that leads to no file yet, a dangling link among them,
// gives the folder and entry it will be made at; nothing is created. A link
// that another user planted in a sticky world-writable folder is not
// followed (EACCES), as the kernel's protected_symlinks rule has it. If the
// entry the name leads to is not the file that was opened (it was moved or
// replaced meanwhile), the result is ECANCELED.
int open_result(const char* name, result_target& target);

// Creates `name` in `where` for writing, exclusively: EEXIST if it exists.
// It is private (0600) until commit when `private_mode`, else 0666 less the
// umask. Call with the ending signals held, and note it for cleanup before
// releasing them. On Windows the file is deleted when it is closed, until
// keep_when_closed().
int create_exclusive(const location& where, const std::string& name, bool private_mode, int& fd);
// The longest entry name that `where`'s file system takes.
std::size_t longest_entry(const location& where);
// Gives a file made to replace `target` the old file's group, and its
// security label where it has one (best effort). False when the group
// cannot be kept.
bool take_over_group(int fd, const result_target& target);
// An unnamed file to spool a result into before it is copied over a file in
// place: in `near`'s folder, else in the folder for temporary files (TMPDIR;
// TMP on Windows). The error is that of the last place tried.
int create_spool(const location& near, int& fd);
// Copies all of `spool` over the start of `target`, cuts `target` to that
// length and pushes it to the disk. The room is reserved first, so that a
// full disk or a quota is found before a byte of `target` changes; a failed
// reservation leaves it as it was. Call with the ending signals held.
int copy_into(int spool, int target);

int sync(int fd);
int set_mode(int fd, unsigned mode);
// Windows: the file made by create_exclusive() survives its closing.
int keep_when_closed(int fd);
std::FILE* stream_on(int fd);
void close_file(int fd);
// A second descriptor of `fd`'s file for a writer of bytes as they are (no
// line-end translation on Windows), which the writer closes: -1 on failure.
int duplicate_for_bytes(int fd);
// Which file `fd` is, and whether it is a regular file.
int identity_of(int fd, file_identity& identity, bool* regular = nullptr);

// Which file `entry` in `where` is (not following a link): ENOENT when none.
int identity_at(const location& where, const std::string& entry, file_identity& identity);
// Swaps the names `temporary` and `where.entry` in one step: EINVAL where
// the file system cannot, ENOENT when either is gone.
int exchange(const location& where, const std::string& temporary);
// Renames `temporary` to `where.entry` only if no such entry exists: EEXIST
// if one does, EINVAL where the file system cannot tell.
int rename_new(const location& where, const std::string& temporary);
// Renames `temporary` over `where.entry`.
int rename_over(const location& where, const std::string& temporary);
// Removes `entry` from `where` if it is still the file `identity`.
void remove_entry(const location& where, const std::string& entry, const file_identity& identity);
// Makes the folder's entries durable (best effort).
void sync_directory(const location& where);
void close_location(location& where);

// --- Inputs -------------------------------------------------------------------

// Opens a local file for reading, bytes as they are. EISDIR for a folder.
int open_input(const std::string& path, int& fd);
// The standard input, bytes as they are.
int standard_input();

// --- The process ----------------------------------------------------------------

// Holds back, and lets through again, the signals that end the run (on
// Windows, Ctrl-C and its kind wait until released). Calls nest.
void hold_ending_signals();
void release_ending_signals();
// From now on a signal that ends the run (and Ctrl-C on Windows) first calls
// `cleanup`, which must be async-signal-safe, then ends the process as the
// signal would. Signals the caller ignores stay ignored. A write past the
// file size limit fails (EFBIG) rather than ending the process.
void on_ending_signals(void (*cleanup)());
// Removes `entry` in the folder `directory` if it is still the file
// `identity` (POSIX; Windows deletes such files with the process's
// handles): async-signal-safe.
void remove_now(int directory, const char* entry, const file_identity& identity);

// The command line in UTF-8, whatever the console's code page.
std::vector<std::string> arguments(int argc, char** argv);

// Lets freed memory be reused by the process rather than handed back at
// once, for a run that grows large arrays by doubling.
void keep_freed_memory();

// Memory of `bytes` for a large table, in huge pages where the system
// gives them, or null. A table of many megabytes in small pages costs a
// page fault per 4 KiB as it fills, and a TLB miss at most lookups.
void* allocate_large(std::size_t bytes);
void release_large(void* memory, std::size_t bytes);

}  // namespace os
