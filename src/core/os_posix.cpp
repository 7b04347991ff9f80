// The operating system layer on POSIX systems (Linux first: leases,
// renameat2, O_PATH, O_TMPFILE and statx are used where they exist).
#include <fcntl.h>
#include <limits.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "os.hpp"
#ifdef __linux__
#include <sys/xattr.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace os {

namespace {

// A folder opened to work in, not to list: a folder of mode 0300 works.
#ifdef O_PATH
constexpr int folder_flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int folder_flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// Links followed by one name, at most, as the kernel allows.
constexpr int most_links = 40;

int error_or_eio() { return errno != 0 ? errno : EIO; }

file_identity identity_of(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

// Splits `path` into its folder, with its last slash ("" for the current
// one), and its entry.
void split_path(const std::string& path, std::string& folder, std::string& entry) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t entry_start = slash == std::string::npos ? 0 : slash + 1;
  folder = path.substr(0, entry_start);
  entry = path.substr(entry_start);
}

// Whether the kernel's protected_symlinks rule lets this process follow
// `link`, which lies in `directory`: a link in a sticky world-writable
// folder (/tmp) is followed only when it is the process's own, or the
// folder's owner's. Checked whatever the sysctl says, so that a link that
// another user planted never decides where a result goes.
bool may_follow(int directory, const struct stat& link) {
  if (link.st_uid == geteuid()) return true;
  struct stat folder {};
  if (fstat(directory, &folder) != 0) return false;
  if ((folder.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH)) return true;
  return folder.st_uid == link.st_uid;
}

// Follows `name`'s links one by one, each relative to the folder of the link
// that names it, to the entry that is no link: the entry a rename must
// replace. Fixed here, once, so that a result is never written where the
// file was moved to later. The last entry may be missing (a new file, or a
// dangling link): `missing` says so, and `where` gives its folder.
int resolve_entry(const std::string& name, location& where, bool& missing) {
  std::string path = name;
  int base = AT_FDCWD;
  for (int hop = 0; hop <= most_links; ++hop) {
    std::string folder, entry;
    split_path(path, folder, entry);
    if (entry.empty()) {
      if (base != AT_FDCWD) close(base);
      return EISDIR;
    }
    const int directory = openat(base, folder.empty() ? "." : folder.c_str(), folder_flags);
    const int code = errno;
    if (base != AT_FDCWD) close(base);
    if (directory < 0) return code;
    struct stat status {};
    const bool found = fstatat(directory, entry.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
    if (!found && errno != ENOENT) {
      const int failed = errno;
      close(directory);
      return failed;
    }
    if (!found || !S_ISLNK(status.st_mode)) {
      where.directory = directory;
      where.entry = entry;
      missing = !found;
      return 0;
    }
    // The link's size is a hint: /proc's links say 64 whatever they hold.
    std::string target(std::max<std::size_t>(static_cast<std::size_t>(status.st_size) + 1, 256), '\0');
    ssize_t length = may_follow(directory, status) ? 0 : (errno = EACCES, -1);
    while (length >= 0 && target.size() <= 65536 &&
           (length = readlinkat(directory, entry.c_str(), target.data(), target.size())) >= 0 &&
           static_cast<std::size_t>(length) >= target.size())
      target.resize(target.size() * 2);
    if (length < 0 || static_cast<std::size_t>(length) >= target.size()) {
      close(directory);
      return length < 0 ? errno : ENAMETOOLONG;
    }
    target.resize(static_cast<std::size_t>(length));
    path = target;
    base = directory;
  }
  if (base != AT_FDCWD) close(base);
  return ELOOP;
}

// An extended attribute that a new file would not get: an ACL, a user's or
// a trusted one. SELinux labels every file, and its label is copied.
bool has_extended_attributes([[maybe_unused]] int fd) {
#ifdef __linux__
  char names[4096];
  const ssize_t size = flistxattr(fd, names, sizeof names);
  if (size < 0) return errno != ENOTSUP;  // ERANGE: more names than fit
  for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(names + at)) + 1)
    if (std::strcmp(names + at, "security.selinux") != 0) return true;
#endif
  return false;
}

// Whether a file and its folder lie on one mount: a bind-mounted single
// file is a mount point of its own, which no rename can replace.
bool on_one_mount(int fd, int directory) {
#if defined(__linux__) && defined(STATX_MNT_ID)
  struct statx file_mount {
  }, directory_mount{};
  if (statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &file_mount) == 0 &&
      statx(directory, "", AT_EMPTY_PATH, STATX_MNT_ID, &directory_mount) == 0 &&
      (file_mount.stx_mask & directory_mount.stx_mask & STATX_MNT_ID) != 0)
    return file_mount.stx_mnt_id == directory_mount.stx_mnt_id;
#endif
  struct stat file {
  }, directory_status{};
  return fstat(fd, &file) == 0 && fstat(directory, &directory_status) == 0 &&
         file.st_dev == directory_status.st_dev;
}

// Opens an existing file for writing. O_NONBLOCK refuses a FIFO that no
// process reads at once; a lease on a regular file makes it fail too, and
// then a plain open waits for the lease to be broken, as fopen would.
int open_for_writing(const char* name, int extra_flags, int& fd) {
  constexpr int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC;
  fd = ::open(name, flags | O_NONBLOCK | extra_flags, 0666);
  if (fd < 0 && errno == EWOULDBLOCK) fd = ::open(name, flags | extra_flags, 0666);
  if (fd < 0) return error_or_eio();
  const int status_flags = fcntl(fd, F_GETFL);
  if (status_flags >= 0) fcntl(fd, F_SETFL, status_flags & ~O_NONBLOCK);  // writes block as usual
  return 0;
}

int renameat2_flags(int directory, const char* from, const char* to, [[maybe_unused]] unsigned flags) {
#if defined(__linux__) && defined(SYS_renameat2)
  if (syscall(SYS_renameat2, directory, from, directory, to, flags) == 0) return 0;
  return errno == ENOSYS ? EINVAL : error_or_eio();
#else
  return EINVAL;
#endif
}

constexpr unsigned rename_noreplace = 1U << 0;
constexpr unsigned rename_exchange = 1U << 1;

}  // namespace

int open_result(const char* name, result_target& target) {
  target = {};
  if (*name == '\0') return ENOENT;
  int fd = -1;
  bool missing = false;
  int code = open_for_writing(name, 0, fd);
  if (code == ENOENT) {
    // No file yet, or a dangling link: made where the name leads, and not
    // before the commit. A file that appeared meanwhile was put there by
    // another program.
    code = resolve_entry(name, target.where, missing);
    if (code == 0 && !missing) {
      close_location(target.where);
      return ECANCELED;
    }
    return code;
  }
  if (code != 0) return code;

  struct stat status {};
  if (fstat(fd, &status) != 0) {
    code = error_or_eio();
    close(fd);
    return code;
  }
  target.existed = true;
  target.fd = fd;
  target.identity = identity_of(status);
  target.regular = S_ISREG(status.st_mode);
  target.named = status.st_nlink > 0;
  target.mode = status.st_mode & 07777;
  target.group = status.st_gid;
  if (!target.regular) return 0;  // written through the descriptor, as it is
  // The entry the name leads to must be the file that was opened: if it was
  // moved or replaced meanwhile, the run stops before any work. A file with
  // no name left (a deleted one, reached through /proc) has no entry.
  code = resolve_entry(name, target.where, missing);
  file_identity found;
  if (code == 0 && target.named && (missing || identity_at(target.where, target.where.entry, found) != 0 ||
                                    found != target.identity))
    code = ECANCELED;
  if (code != 0) {
    close_file(target.fd);
    close_location(target.where);
    target = {};
    return code;
  }
  target.replaceable = target.named && status.st_nlink == 1 && status.st_uid == geteuid() &&
                       !has_extended_attributes(fd) && on_one_mount(fd, target.where.directory);
  return 0;
}

int create_exclusive(const location& where, const std::string& name, bool private_mode, int& fd) {
  fd = openat(where.directory, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
              static_cast<mode_t>(private_mode ? 0600 : 0666));
  return fd < 0 ? error_or_eio() : 0;
}

std::size_t longest_entry(const location& where) {
  const long name_max = fpathconf(where.directory, _PC_NAME_MAX);
  return name_max > 0 && name_max <= NAME_MAX ? static_cast<std::size_t>(name_max) : NAME_MAX;
}

bool take_over_group(int fd, const result_target& target) {
  struct stat made {};
  if (fstat(fd, &made) != 0) return false;
  if (made.st_gid != target.group && fchown(fd, static_cast<uid_t>(-1), target.group) != 0) return false;
#ifdef __linux__
  // The security label, as sed -i copies it; a new file gets its own if not.
  char label[1024];
  const ssize_t size = fgetxattr(target.fd, "security.selinux", label, sizeof label);
  if (size > 0) fsetxattr(fd, "security.selinux", label, static_cast<std::size_t>(size), 0);
#endif
  return true;
}

int create_spool(const location& near, int& fd) {
  const char* temporary_folder = std::getenv("TMPDIR");
  if (temporary_folder == nullptr || *temporary_folder == '\0') temporary_folder = "/tmp";
#ifdef O_TMPFILE
  fd = openat(near.directory, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return 0;
  fd = ::open(temporary_folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return 0;
#else
  (void)near;
#endif
  std::string pattern = std::string(temporary_folder) + "/snp_weight_spool.XXXXXX";
  fd = mkstemp(pattern.data());
  if (fd < 0) return error_or_eio();
  unlink(pattern.c_str());
  return 0;
}

namespace {

// Reserves the first `size` bytes of `fd` on the disk without changing its
// length, so that writing them cannot run out of space or quota. Where the
// file system cannot, posix_fallocate may lengthen the file: it is cut back
// to `old_size` when that fails too.
int reserve(int fd, off_t size, off_t old_size) {
  if (size == 0) return 0;
#ifdef __linux__
  if (fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0) return 0;
  if (errno != EOPNOTSUPP && errno != ENOSYS) return error_or_eio();
#endif
#if defined(_POSIX_ADVISORY_INFO) && _POSIX_ADVISORY_INFO > 0
  const int code = posix_fallocate(fd, 0, size);
  if (code == 0 || code == EINVAL || code == EOPNOTSUPP) return 0;  // nothing to reserve with
  if (ftruncate(fd, old_size) != 0) return error_or_eio();
  return code;
#else
  (void)old_size;
  return 0;
#endif
}

}  // namespace

int copy_into(int spool, int target) {
  struct stat spooled {}, old{};
  if (fstat(spool, &spooled) != 0 || fstat(target, &old) != 0) return error_or_eio();
  if (const int code = reserve(target, spooled.st_size, old.st_size); code != 0) return code;
  static char buffer[1 << 16];
  off_t at = 0;
  for (;;) {
    const ssize_t got = pread(spool, buffer, sizeof buffer, at);
    if (got < 0) {
      if (errno == EINTR) continue;
      return error_or_eio();
    }
    if (got == 0) break;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = pwrite(target, buffer + done, static_cast<std::size_t>(got - done), at + done);
      if (put < 0) {
        if (errno == EINTR) continue;
        return error_or_eio();
      }
      done += put;
    }
    at += got;
  }
  if (ftruncate(target, at) != 0) return error_or_eio();
  return sync(target);
}

int sync(int fd) { return fsync(fd) == 0 ? 0 : error_or_eio(); }

int set_mode(int fd, unsigned mode) {
  return fchmod(fd, static_cast<mode_t>(mode)) == 0 ? 0 : error_or_eio();
}

int keep_when_closed(int) { return 0; }

std::FILE* stream_on(int fd) { return fdopen(fd, "w"); }

void close_file(int fd) {
  if (fd >= 0) close(fd);
}

int duplicate_for_bytes(int fd) { return fcntl(fd, F_DUPFD_CLOEXEC, 0); }

int identity_of(int fd, file_identity& identity, bool* regular) {
  struct stat status {};
  if (fstat(fd, &status) != 0) return error_or_eio();
  identity = identity_of(status);
  if (regular != nullptr) *regular = S_ISREG(status.st_mode);
  return 0;
}

int identity_at(const location& where, const std::string& entry, file_identity& identity) {
  struct stat status {};
  if (fstatat(where.directory, entry.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return error_or_eio();
  identity = identity_of(status);
  return 0;
}

int exchange(const location& where, const std::string& temporary) {
  return renameat2_flags(where.directory, temporary.c_str(), where.entry.c_str(), rename_exchange);
}

int rename_new(const location& where, const std::string& temporary) {
  return renameat2_flags(where.directory, temporary.c_str(), where.entry.c_str(), rename_noreplace);
}

int rename_over(const location& where, const std::string& temporary) {
  return renameat(where.directory, temporary.c_str(), where.directory, where.entry.c_str()) == 0
             ? 0
             : error_or_eio();
}

void remove_entry(const location& where, const std::string& entry, const file_identity& identity) {
  remove_now(where.directory, entry.c_str(), identity);
}

void sync_directory(const location& where) {
  // The folder may be open for search only: fsync needs it open to read,
  // which a folder the user may not list refuses. Best effort.
  const int readable = openat(where.directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (readable < 0) return;
  fsync(readable);
  close(readable);
}

void close_location(location& where) {
  if (where.directory >= 0) close(where.directory);
  where.directory = -1;
}

int open_input(const std::string& path, int& fd) {
  fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return error_or_eio();
  struct stat status {};
  if (fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
    close(fd);
    fd = -1;
    return EISDIR;
  }
  return 0;
}

int standard_input() { return STDIN_FILENO; }

namespace {

// The signals that end a run, whose handler removes the live temporary.
constexpr int ending_signals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,   SIGPIPE, SIGALRM,
                                  SIGUSR1, SIGUSR2, SIGXCPU, SIGVTALRM, SIGPROF};

void (*cleanup_function)() = nullptr;
sigset_t held_before;
int holds = 0;

sigset_t ending_set() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal_number : ending_signals) sigaddset(&set, signal_number);
  return set;
}

// Cleans up, puts the default action back and raises the signal again: it
// stays blocked until the handler returns, then ends the process, so that
// the exit status still tells why (git's sigchain does the same). The
// handler stays installed meanwhile, and every ending signal is blocked
// while it runs, so a second signal cannot end the run before the cleanup.
void end_by_signal(int signal_number) {
  const int saved = errno;
  if (cleanup_function != nullptr) cleanup_function();
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  sigaction(signal_number, &default_action, nullptr);
  raise(signal_number);
  errno = saved;
}

}  // namespace

void hold_ending_signals() {
  if (holds++ > 0) return;
  const sigset_t set = ending_set();
  sigprocmask(SIG_BLOCK, &set, &held_before);
}

void release_ending_signals() {
  if (--holds > 0) return;
  sigprocmask(SIG_SETMASK, &held_before, nullptr);
}

void on_ending_signals(void (*cleanup)()) {
  cleanup_function = cleanup;
  for (int signal_number : ending_signals) {
    struct sigaction action {};
    // A signal the caller ignores (nohup, a background job) stays ignored.
    if (sigaction(signal_number, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
    action = {};
    action.sa_handler = end_by_signal;
    action.sa_mask = ending_set();
    sigaction(signal_number, &action, nullptr);
  }
  // A write past the file size limit fails with EFBIG, and is reported.
  std::signal(SIGXFSZ, SIG_IGN);
}

void remove_now(int directory, const char* entry, const file_identity& identity) {
  // fstatat and unlinkat are both async-signal-safe.
  struct stat status {};
  if (fstatat(directory, entry, &status, AT_SYMLINK_NOFOLLOW) == 0 && identity_of(status) == identity)
    unlinkat(directory, entry, 0);
}

std::vector<std::string> arguments(int argc, char** argv) { return {argv, argv + argc}; }

void keep_freed_memory() {
#ifdef __GLIBC__
  // glibc maps every block above a threshold on its own and unmaps it when
  // it is freed, so each doubling of an array of regions faulted in all its
  // pages afresh: two fifths of the time it took to read a million regions.
  // From the heap, freed blocks are reused.
  constexpr int keep = 64 << 20;
  mallopt(M_MMAP_THRESHOLD, keep);
  mallopt(M_TRIM_THRESHOLD, keep);
#endif
}

void* allocate_large(std::size_t bytes) {
  // Mapped a huge page larger and trimmed to start on a huge page boundary:
  // a mapping that starts elsewhere gets huge pages only in the whole 2 MiB
  // it spans, none for a table of 4 MiB.
  constexpr std::uintptr_t huge_page = std::uintptr_t{2} << 20;
  const std::size_t mapped = bytes + huge_page;
  void* memory = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return nullptr;
  char* const first = static_cast<char*>(memory);
  char* const start =
      reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(first) + huge_page - 1) & ~(huge_page - 1));
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  char* const end = start + (bytes + page - 1) / page * page;
  if (start > first) munmap(first, static_cast<std::size_t>(start - first));
  if (first + mapped > end) munmap(end, static_cast<std::size_t>(first + mapped - end));
#ifdef MADV_HUGEPAGE
  // Where transparent huge pages are given only on request; no harm where
  // they are not given at all.
  madvise(start, bytes, MADV_HUGEPAGE);
#endif
  return start;
}

void release_large(void* memory, std::size_t bytes) { munmap(memory, bytes); }

}  // namespace os
