#include "platform.hpp"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif
#endif

namespace platform {

vector_unit widest_vector_unit() {
#if defined(__x86_64__)
  __builtin_cpu_init();
#if defined(__clang__)
  // clang knows no level names; these are the features the kernel's code
  // generation for each level can use.
  const bool v3 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                  __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("fma");
  const bool v4 = v3 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                  __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
                  __builtin_cpu_supports("avx512cd");
#else
  const bool v3 = __builtin_cpu_supports("x86-64-v3");
  const bool v4 = __builtin_cpu_supports("x86-64-v4");
#endif
  if (v4) return vector_unit::x86_64_v4;
  if (v3) return vector_unit::x86_64_v3;
#endif
  return vector_unit::portable;
}

namespace {

// ".XXXXXXXX.tmp" after the entry's name.
constexpr std::size_t temporary_suffix = 13;

// The live temporary, for the signal handlers, in static storage so that
// removing it allocates nothing. `pending` is set only once the file
// exists, so that a handler never removes a file another run created.
volatile std::sig_atomic_t pending = 0;
#ifdef _WIN32
// Windows removes no file that is still open: the handler closes it first.
volatile int pending_fd = -1;
char pending_path[4096];
#else
int pending_directory = -1;
char pending_name[NAME_MAX + 1];
#endif

bool fail(file_failure* failure, file_step step, int code) {
  if (failure != nullptr) *failure = {step, std::error_code(code != 0 ? code : EIO, std::generic_category())};
  return false;
}

std::string random_hex() {
  static std::mt19937 random(
      std::random_device{}() ^
      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
  static constexpr char hex[] = "0123456789abcdef";
  std::string digits(8, '0');
  for (char& c : digits) c = hex[random() % 16];
  return digits;
}

// "ENTRY.XXXXXXXX.tmp", with ENTRY cut at a UTF-8 character boundary so
// that the whole name is at most `name_max` bytes (rsync cuts its own the
// same way), whatever the length of the name it replaces.
std::string temporary_name(const std::string& entry, std::size_t name_max) {
  std::size_t keep = entry.size();
  if (keep + temporary_suffix > name_max) {
    keep = name_max > temporary_suffix ? name_max - temporary_suffix : 0;
    while (keep > 0 && (static_cast<unsigned char>(entry[keep]) & 0xC0U) == 0x80U) --keep;
  }
  return entry.substr(0, keep) + "." + random_hex() + ".tmp";
}

// Splits a path into its directory, with its last separator ("" for the
// current one), and its entry.
void split_path(const std::string& path, std::string& directory, std::string& entry) {
#ifdef _WIN32
  const std::size_t slash = path.find_last_of("/\\");
#else
  const std::size_t slash = path.find_last_of('/');
#endif
  const std::size_t entry_start = slash == std::string::npos ? 0 : slash + 1;
  directory = path.substr(0, entry_start);
  entry = path.substr(entry_start);
}

#ifndef _WIN32
// The signals whose handler removes the live temporary.
constexpr int cleanup_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

// Holds the cleanup signals back while it lives: a temporary created and
// registered under it is never left by a signal that falls between the two.
class cleanup_signals_held {
 public:
  cleanup_signals_held() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal_number : cleanup_signals) sigaddset(&held, signal_number);
    sigprocmask(SIG_BLOCK, &held, &previous_);
  }
  ~cleanup_signals_held() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  cleanup_signals_held(const cleanup_signals_held&) = delete;
  cleanup_signals_held& operator=(const cleanup_signals_held&) = delete;

 private:
  sigset_t previous_;
};
#endif

void remove_and_reraise(int signal_number) {
  remove_temporary_now();
#ifdef _WIN32
  std::signal(signal_number, SIG_DFL);
#endif
  // Ended by the signal itself, so the exit status still tells why (the
  // POSIX handler was installed with SA_RESETHAND).
  std::raise(signal_number);
}

void install_cleanup_on_signals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
#ifdef _WIN32
  for (int signal_number : {SIGINT, SIGTERM, SIGBREAK}) {
    if (std::signal(signal_number, remove_and_reraise) == SIG_IGN) std::signal(signal_number, SIG_IGN);
  }
#else
  for (int signal_number : cleanup_signals) {
    struct sigaction action {};
    // A signal the caller ignores (nohup, a background job) stays ignored.
    if (sigaction(signal_number, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
    action = {};
    action.sa_handler = remove_and_reraise;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(signal_number, &action, nullptr);
  }
  // A write past the file size limit fails with EFBIG, and is reported.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

#ifndef _WIN32

bool same_file(const struct stat& a, std::uint64_t device, std::uint64_t inode) {
  return static_cast<std::uint64_t>(a.st_dev) == device && static_cast<std::uint64_t>(a.st_ino) == inode;
}

// An extended attribute that a new file would not get: an ACL, a user's or
// a trusted one. SELinux labels every file; a new one gets its own.
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

// Whether a file and its directory lie on one mount: a bind-mounted single
// file is a mount point of its own, which no rename can replace.
bool on_one_mount(int fd, int directory_fd) {
#if defined(__linux__) && defined(STATX_MNT_ID)
  struct statx file_mount {
  }, directory_mount{};
  if (statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &file_mount) == 0 &&
      statx(directory_fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &directory_mount) == 0 &&
      (file_mount.stx_mask & directory_mount.stx_mask & STATX_MNT_ID) != 0)
    return file_mount.stx_mnt_id == directory_mount.stx_mnt_id;
#endif
  struct stat file {
  }, directory{};
  return fstat(fd, &file) == 0 && fstat(directory_fd, &directory) == 0 && file.st_dev == directory.st_dev;
}

#endif

}  // namespace

void remove_temporary_now() {
  if (pending == 0) return;
  pending = 0;
#ifdef _WIN32
  if (pending_fd >= 0) _close(pending_fd);
  _unlink(pending_path);
#else
  unlinkat(pending_directory, pending_name, 0);  // async-signal-safe
#endif
}

namespace {

const char* out_of_memory_program = "";
const char* out_of_memory_message = "";
int out_of_memory_status = 1;

[[noreturn]] void end_out_of_memory() {
  remove_temporary_now();
  std::fputs(out_of_memory_program, stderr);
  std::fputs(": ", stderr);
  std::fputs(out_of_memory_message, stderr);
  std::fputs("\n", stderr);
  std::_Exit(out_of_memory_status);
}

}  // namespace

void end_on_out_of_memory(const char* program, const char* message, int status) {
  out_of_memory_program = program;
  out_of_memory_message = message;
  out_of_memory_status = status;
  std::set_new_handler(end_out_of_memory);
}

output_file::~output_file() { discard(); }

void output_file::open_standard_output() {
  route_ = output_route::standard_output;
  stream_ = stdout;
  install_cleanup_on_signals();
}

#ifdef _WIN32

bool output_file::open(const char* name, file_failure* failure) {
  name_ = name;
  split_path(name_, directory_, entry_);
  install_cleanup_on_signals();
  // Opened for writing first, so that a read-only file, or one another
  // program holds, is refused before the work, as fopen(name, "w") would.
  // The read-only flag is also checked by itself: an administrator's open
  // under wine ignores it.
  const DWORD attributes = GetFileAttributesA(name);
  const bool known = attributes != INVALID_FILE_ATTRIBUTES;
  if (known && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return fail(failure, file_step::open, EISDIR);
  if (known && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return fail(failure, file_step::open, EACCES);
  const int fd = _open(name, _O_WRONLY | _O_TEXT | _O_NOINHERIT);
  if (fd >= 0) return open_existing(fd, failure);
  if (errno != ENOENT) return fail(failure, file_step::open, errno);
  return create_temporary(_S_IREAD | _S_IWRITE, failure);
}

bool output_file::open_existing(int fd, file_failure* failure) {
  struct _stat64 status {};
  if (_fstat64(fd, &status) != 0) {
    const int code = errno;
    _close(fd);
    return fail(failure, file_step::open, code);
  }
  regular_ = (status.st_mode & _S_IFMT) == _S_IFREG;
  if (regular_) {
    // Windows keeps no owner or mode bits that a new file would lose.
    _close(fd);
    return create_temporary(_S_IREAD | _S_IWRITE, failure);
  }
  // A device (NUL, CON) is written in place.
  stream_ = _fdopen(fd, "w");
  if (stream_ == nullptr) {
    const int code = errno;
    _close(fd);
    return fail(failure, file_step::open, code);
  }
  route_ = output_route::in_place;
  return true;
}

int output_file::create_registered(const std::string& name, int mode, int& code) {
  const std::string path = directory_ + name;
  if (path.size() >= sizeof pending_path) {
    code = ENAMETOOLONG;
    return -1;
  }
  const int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT | _O_NOINHERIT, mode);
  if (fd < 0) {
    code = errno;
    return -1;
  }
  std::memcpy(pending_path, path.c_str(), path.size() + 1);
  pending_fd = fd;
  pending = 1;
  temporary_ = path;  // named by its path on Windows
  return fd;
}

std::size_t output_file::longest_entry() const { return 255; }

namespace {

std::FILE* stream_of(int fd) { return _fdopen(fd, "w"); }

// Closes a registered temporary's descriptor that no stream owns.
void close_unstreamed(int fd) {
  pending_fd = -1;
  _close(fd);
}

// Pushes the stream's bytes, already flushed, to the disk.
bool sync_to_disk(std::FILE* stream) { return _commit(_fileno(stream)) == 0; }

}  // namespace

#else

bool output_file::open(const char* name, file_failure* failure) {
  name_ = name;
  split_path(name_, directory_, entry_);
  if (entry_.empty()) return fail(failure, file_step::open, EISDIR);
  install_cleanup_on_signals();
  // Through the kernel, for writing, emptying nothing: its rules on links,
  // permissions and immutable files apply here, before the work. A FIFO
  // with no reader fails at once (ENXIO) rather than blocking.
  constexpr int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK;
  int fd = ::open(name, flags);
  struct stat link {};
  if (fd < 0 && errno == ENOENT && lstat(name, &link) == 0 && S_ISLNK(link.st_mode))
    // A dangling link: its target is created, as fopen(name, "w") would.
    fd = ::open(name, flags | O_CREAT, 0666);
  if (fd >= 0) return open_existing(fd, failure);
  if (errno != ENOENT) return fail(failure, file_step::open, errno);
  // No file yet: a new one is made beside where it will be.
  directory_fd_ = ::open(directory_.empty() ? "." : directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory_fd_ < 0) return fail(failure, file_step::open, errno);
  return create_temporary(0666, failure);
}

bool output_file::open_existing(int fd, file_failure* failure) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);  // writes block as usual
  struct stat status {};
  if (fstat(fd, &status) != 0) {
    const int code = errno;
    close(fd);
    return fail(failure, file_step::open, code);
  }
  regular_ = S_ISREG(status.st_mode);
  device_ = static_cast<std::uint64_t>(status.st_dev);
  inode_ = static_cast<std::uint64_t>(status.st_ino);
  if (regular_ && start_replacing_whole(fd, status)) {
    target_fd_ = fd;  // kept open, so that its inode number stays its own
    return true;
  }
  // Written in place, through the descriptor that was opened.
  stream_ = fdopen(fd, "w");
  if (stream_ == nullptr) {
    const int code = errno;
    close(fd);
    return fail(failure, file_step::open, code);
  }
  route_ = output_route::in_place;
  return true;
}

bool output_file::start_replacing_whole(int fd, const struct stat& status) {
  // The entry the file was reached through: the name itself when it is no
  // link, else the kernel's own record of the open file. Either must still
  // be this very file.
  struct stat entry {};
  if (lstat(name_.c_str(), &entry) != 0 || !same_file(entry, device_, inode_)) {
    directory_.clear();
    entry_.clear();
#ifdef __linux__
    char path[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = readlink(link.c_str(), path, sizeof path - 1);
    if (length > 0 && path[0] == '/')
      split_path(std::string(path, static_cast<std::size_t>(length)), directory_, entry_);
#endif
  }
  if (entry_.empty() || status.st_nlink != 1 || status.st_uid != geteuid() || has_extended_attributes(fd))
    return false;
  directory_fd_ = ::open(directory_.empty() ? "." : directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  bool whole =
      directory_fd_ >= 0 && fstatat(directory_fd_, entry_.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0 &&
      same_file(entry, device_, inode_) && on_one_mount(fd, directory_fd_) && create_temporary(0600, nullptr);
  if (whole) {
    // The old file's group, when the user may give it, and its mode bits.
    const int temporary_fd = fileno(stream_);
    struct stat made {};
    whole =
        fstat(temporary_fd, &made) == 0 &&
        (made.st_gid == status.st_gid || fchown(temporary_fd, static_cast<uid_t>(-1), status.st_gid) == 0) &&
        fchmod(temporary_fd, status.st_mode & 07777) == 0;
    if (!whole) remove_temporary();
  }
  if (!whole) close_descriptors();
  return whole;
}

int output_file::create_registered(const std::string& name, int mode, int& code) {
  // Held back until it is registered: a signal between the two would leave it.
  const cleanup_signals_held held;
  const int fd =
      openat(directory_fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
             static_cast<mode_t>(mode));
  if (fd < 0) {
    code = errno;
    return -1;
  }
  std::memcpy(pending_name, name.c_str(), name.size() + 1);
  pending_directory = directory_fd_;
  pending = 1;
  temporary_ = name;  // named by its entry in directory_fd_
  return fd;
}

std::size_t output_file::longest_entry() const {
  const long name_max = fpathconf(directory_fd_, _PC_NAME_MAX);
  return name_max > 0 && name_max <= NAME_MAX ? static_cast<std::size_t>(name_max) : NAME_MAX;
}

namespace {

std::FILE* stream_of(int fd) { return fdopen(fd, "w"); }

void close_unstreamed(int fd) { close(fd); }

bool sync_to_disk(std::FILE* stream) { return fsync(fileno(stream)) == 0; }

}  // namespace

#endif

bool output_file::create_temporary(int mode, file_failure* failure) {
  const std::size_t longest = longest_entry();
  int code = EEXIST;
  for (int attempt = 0; attempt < 100 && code == EEXIST; ++attempt) {
    const int fd = create_registered(temporary_name(entry_, longest), mode, code);
    if (fd < 0) continue;
    route_ = output_route::replace_whole;
    stream_ = stream_of(fd);
    if (stream_ == nullptr) {
      code = errno;
      close_unstreamed(fd);
      remove_temporary();
      return fail(failure, file_step::open, code);
    }
    return true;
  }
  return fail(failure, file_step::open, code);
}

bool output_file::commit(file_failure* failure) {
  if (route_ == output_route::standard_output) {
    errno = 0;
    const bool written = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
    stream_ = nullptr;
    return written || fail(failure, file_step::write, errno);
  }
  errno = 0;
  bool written = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
#ifndef _WIN32
  // In place, the old content past the new end goes.
  if (written && route_ == output_route::in_place && regular_) {
    const off_t length = ftello(stream_);
    written = length >= 0 && ftruncate(fileno(stream_), length) == 0;
  }
#endif
  if (written && (route_ == output_route::replace_whole || regular_)) written = sync_to_disk(stream_);
  int code = errno;
  // Closed apart from the flush: a C runtime may report a close whose final
  // flush failed as a success (wine's msvcrt does).
#ifdef _WIN32
  pending_fd = -1;
#endif
  errno = 0;
  const bool closed = std::fclose(stream_) == 0;
  stream_ = nullptr;
  if (written && !closed) code = errno;
  if (!written || !closed) {
    discard();
    return fail(failure, file_step::write, code);
  }
  if (route_ == output_route::in_place) return true;

#ifdef _WIN32
  // A scanner or an indexer may hold the file for a moment: retried for
  // about a second, as git for Windows does.
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExA(temporary_.c_str(), name_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      break;
    const DWORD error = GetLastError();
    const bool held = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
    if (held && attempt < 10) {
      Sleep(100);
      continue;
    }
    discard();
    if (failure != nullptr)
      *failure = {file_step::replace, held
                                          ? std::make_error_code(std::errc::permission_denied)
                                          : std::error_code(static_cast<int>(error), std::system_category())};
    return false;
  }
  pending = 0;
  temporary_.clear();
#else
  // Only while the entry is still the file that was opened: the file
  // replaced is the one the kernel let the run write.
  struct stat entry {};
  if (target_fd_ >= 0 && (fstatat(directory_fd_, entry_.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0 ||
                          !same_file(entry, device_, inode_))) {
    discard();
    return fail(failure, file_step::changed, 0);
  }
  if (renameat(directory_fd_, temporary_.c_str(), directory_fd_, entry_.c_str()) != 0) {
    code = errno;
    discard();
    return fail(failure, file_step::replace, code);
  }
  pending = 0;
  temporary_.clear();
  fsync(directory_fd_);  // makes the rename durable; best effort, it is done
#endif
  discard();
  return true;
}

void output_file::discard() {
  remove_temporary();
  close_descriptors();
}

void output_file::remove_temporary() {
  if (stream_ != nullptr && route_ != output_route::standard_output) {
#ifdef _WIN32
    pending_fd = -1;
#endif
    std::fclose(stream_);
  }
  stream_ = nullptr;
  if (temporary_.empty()) return;
  pending = 0;
#ifdef _WIN32
  _unlink(temporary_.c_str());
#else
  unlinkat(directory_fd_, temporary_.c_str(), 0);
#endif
  temporary_.clear();
}

void output_file::close_descriptors() {
#ifndef _WIN32
  if (target_fd_ >= 0) close(target_fd_);
  if (directory_fd_ >= 0) close(directory_fd_);
#endif
  target_fd_ = -1;
  directory_fd_ = -1;
}

}  // namespace platform
