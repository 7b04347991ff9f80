#include "platform.hpp"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "files.hpp"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

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

// The live temporary, for the signal handler. Set only once the file
// exists, so that the handler never removes a file another run created.
std::string pending_storage;
const char* volatile pending_temporary = nullptr;

void remove_pending_file(const char* path) {
#ifdef _WIN32
  _unlink(path);
#else
  unlink(path);  // async-signal-safe
#endif
}

void remove_pending_and_reraise(int signal_number) {
  remove_temporary_now();
  // Ended by the signal itself, so the exit status still tells why.
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

void install_cleanup_on_signals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
#ifdef _WIN32
  const int signals[] = {SIGINT, SIGTERM, SIGBREAK};
#else
  const int signals[] = {SIGINT, SIGTERM, SIGHUP};
#endif
  for (int signal_number : signals) {
    // A signal the caller ignores (nohup, a background job) stays ignored.
    if (std::signal(signal_number, remove_pending_and_reraise) == SIG_IGN)
      std::signal(signal_number, SIG_IGN);
  }
}

void set_pending(const std::string& path) {
  pending_temporary = nullptr;
  pending_storage = path;
  pending_temporary = path.empty() ? nullptr : pending_storage.c_str();
}

// Creates `path` for writing as a text stream; fails when it exists.
std::FILE* create_exclusive(const std::string& path) {
#ifdef _WIN32
  const int fd =
      _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* stream = _fdopen(fd, "w");
  if (stream == nullptr) _close(fd);
#else
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* stream = fdopen(fd, "w");
  if (stream == nullptr) close(fd);
#endif
  return stream;
}

// Gives the new file the mode bits of the one it replaces. Windows keeps no
// such bits (a read-only file is refused by the rename instead).
bool copy_mode(std::FILE* stream, fs::perms mode) {
#ifdef _WIN32
  (void)stream;
  (void)mode;
  return true;
#else
  return fchmod(fileno(stream), static_cast<mode_t>(mode & fs::perms::mask)) == 0;
#endif
}

// Pushes the stream's bytes, already flushed, to the disk.
bool sync_to_disk(std::FILE* stream) {
#ifdef _WIN32
  return _commit(_fileno(stream)) == 0;
#else
  return fsync(fileno(stream)) == 0;
#endif
}

// Makes a rename in `directory` durable; best effort, the rename is done.
void sync_directory(const fs::path& directory) {
#ifdef _WIN32
  (void)directory;
#else
  const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
#endif
}

// The file a chain of symbolic links ends at (`name` itself when it is none).
fs::path follow_links(const fs::path& name, std::error_code& ec) {
  fs::path target = name;
  for (int hops = 0; fs::is_symlink(fs::symlink_status(target, ec)); ++hops) {
    if (hops == 40) {
      ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
      return {};
    }
    const fs::path link = fs::read_symlink(target, ec);
    if (ec) return {};
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
  if (ec == std::errc::no_such_file_or_directory) ec.clear();
  return target;
}

std::string random_suffix() {
  static std::mt19937 random(
      std::random_device{}() ^
      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
  static constexpr char hex[] = "0123456789abcdef";
  std::string suffix(8, '0');
  for (char& c : suffix) c = hex[random() % 16];
  return suffix;
}

}  // namespace

void remove_temporary_now() {
  if (const char* path = pending_temporary) remove_pending_file(path);
}

replacement_file::~replacement_file() { discard(); }

bool replacement_file::open(const char* name, std::string* error) {
  name_ = name;
  std::error_code ec;
  // What the name leads to, links followed.
  const fs::file_status status = fs::status(name, ec);
  if (ec && ec != std::errc::no_such_file_or_directory) {
    *error = cannot_open_message(name, ec.message());
    return false;
  }
  if (fs::is_directory(status)) {
    *error = cannot_open_message(name, std::make_error_code(std::errc::is_a_directory).message());
    return false;
  }
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    // A device or a FIFO: nothing to replace, so it is written in place.
    errno = 0;
    stream_ = std::fopen(name, "w");
    if (stream_ == nullptr) *error = cannot_open_message(name, std::strerror(errno));
    return stream_ != nullptr;
  }

  const fs::path target = follow_links(name, ec);
  if (ec) {
    *error = cannot_open_message(name, ec.message());
    return false;
  }
  install_cleanup_on_signals();
  for (int attempt = 0; attempt < 100 && stream_ == nullptr; ++attempt) {
    const std::string temporary = target.string() + "." + random_suffix() + ".tmp";
    errno = 0;
    stream_ = create_exclusive(temporary);
    if (stream_ != nullptr) {
      temporary_ = temporary;
      set_pending(temporary_);
    } else if (errno != EEXIST) {
      break;
    }
  }
  if (stream_ == nullptr) {
    *error = cannot_open_message(name, std::strerror(errno != 0 ? errno : EEXIST));
    return false;
  }
  target_ = target.string();
  const fs::file_status replaced = fs::status(target, ec);
  if (fs::is_regular_file(replaced) && !copy_mode(stream_, replaced.permissions())) {
    *error = cannot_open_message(name, std::strerror(errno));
    discard();
    return false;
  }
  return true;
}

bool replacement_file::commit(std::string* error) {
  errno = 0;
  bool written = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
  if (written && !temporary_.empty()) written = sync_to_disk(stream_);
  int failure = errno;
  // Closed apart from the flush: a C runtime may report a close whose final
  // flush failed as a success (wine's msvcrt does).
  errno = 0;
  const bool closed = std::fclose(stream_) == 0;
  stream_ = nullptr;
  if (written && !closed) failure = errno;
  if (!written || !closed) {
    errno = failure;
    *error = write_error_message(name_);
    discard();
    return false;
  }
  if (temporary_.empty()) return true;

  std::error_code ec;
  fs::rename(temporary_, target_, ec);
  if (ec) {
    *error = std::string(name_) + ": cannot replace: " + ec.message();
    discard();
    return false;
  }
  set_pending({});
  temporary_.clear();
  sync_directory(fs::path(target_).parent_path());
  return true;
}

void replacement_file::discard() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
  if (temporary_.empty()) return;
  set_pending({});
  std::remove(temporary_.c_str());
  temporary_.clear();
}

}  // namespace platform
