#include "output_file.hpp"

#include <cerrno>
#include <chrono>
#include <random>

#include "cleanup.hpp"

namespace {

// ".XXXXXXXX.tmp" after the entry's name.
constexpr std::size_t temporary_suffix = 13;

bool fail(file_failure* failure, file_step step, int code, std::string detail = {}) {
  if (failure != nullptr)
    *failure = {step, std::error_code(code > 0 ? code : EIO, std::generic_category()), std::move(detail)};
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

// Whether a failed create says the folder takes no new file from this user
// (its permissions, an immutable folder): the file is then written in
// place. Any other failure (no space, no inode, a quota, too many open
// files) fails the run.
bool folder_takes_no_new_file(int code) { return code == EACCES || code == EPERM || code == EROFS; }

// Flushes a stream and tells whether every write to it succeeded.
int flushed(std::FILE* stream) {
  errno = 0;
  if (std::fflush(stream) == 0 && std::ferror(stream) == 0) return 0;
  return errno != 0 ? errno : EIO;
}

}  // namespace

output_file::~output_file() { discard(); }

void output_file::open_standard_output() {
  cleanup::install();
  route_ = output_route::standard_output;
  stream_ = stdout;
  standard_output_regular_ = os::identity_of(fileno(stdout), standard_output_, &standard_output_regular_) == 0 &&
                             standard_output_regular_;
}

bool output_file::writes_into(const os::file_identity& input) const {
  return route_ == output_route::standard_output && standard_output_regular_ && standard_output_ == input;
}

bool output_file::open(const char* name, file_failure* failure) {
  cleanup::install();
  int code = os::open_result(name, target_);
  if (code == ECANCELED) return fail(failure, file_step::changed, 0);
  if (code != 0) return fail(failure, file_step::open, code);
  if (!target_.existed) {
    code = create_temporary(false);
    return code == 0 || fail(failure, file_step::open, code);
  }
  if (!target_.regular) return start_straight(failure);
  if (target_.replaceable && target_.named) {
    code = create_temporary(true);
    if (code == 0) {
      if (os::take_over_group(fileno(stream_), target_)) return true;
      discard_temporary();  // the group cannot be kept: in place keeps it
    } else if (!folder_takes_no_new_file(code)) {
      return fail(failure, file_step::open, code);
    }
  }
  return start_in_place(failure);
}

int output_file::create_temporary(bool private_mode) {
  const std::size_t longest = os::longest_entry(target_.where);
  int code = EEXIST;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && code == EEXIST; ++attempt) {
    const std::string name = temporary_name(target_.where.entry, longest);
    // Noted in the same step as it is made: a signal between the two would
    // leave it.
    const cleanup::signals_held held;
    code = os::create_exclusive(target_.where, name, private_mode, fd);
    if (code != 0) continue;
    code = os::identity_of(fd, temporary_identity_);
    temporary_ = name;
    if (code == 0) temporary_slot_ = cleanup::note_temporary(target_.where, name, temporary_identity_);
    if (code == 0 && temporary_slot_ < 0) code = ENAMETOOLONG;
    if (code != 0) {
      os::close_file(fd);
      os::remove_entry(target_.where, temporary_, temporary_identity_);
      temporary_.clear();
    }
  }
  if (code != 0) return code;
  route_ = output_route::replace_whole;
  stream_ = os::stream_on(fd);
  if (stream_ == nullptr) {
    code = errno != 0 ? errno : EIO;
    os::close_file(fd);
    discard_temporary();
  }
  return code;
}

bool output_file::start_in_place(file_failure* failure) {
  route_ = output_route::in_place;
  // Nothing reaches the file until the whole result is there, so a run
  // that fails leaves it as it was: without a spool, the run is refused.
  int fd = -1;
  if (const int code = os::create_spool(target_.where, fd); code != 0)
    return fail(failure, file_step::spool, code);
  spool_ = fd;
  stream_ = os::stream_on(fd);
  if (stream_ == nullptr) {
    const int code = errno;
    os::close_file(fd);
    spool_ = -1;
    return fail(failure, file_step::spool, code);
  }
  return true;
}

bool output_file::start_straight(file_failure* failure) {
  route_ = output_route::straight;
  stream_ = os::stream_on(target_.fd);
  if (stream_ == nullptr) return fail(failure, file_step::open, errno);
  target_.fd = -1;  // the stream owns it now
  return true;
}

int output_file::copy_in() {
  // Copied over the file only while its entry still leads to it; a file
  // that lost its last name (reached through /proc) has no entry to ask.
  if (target_.named) {
    os::file_identity now;
    if (os::identity_at(target_.where, target_.where.entry, now) != 0 || now != target_.identity)
      return ECANCELED;
  }
  // Whole or not at all, but for SIGKILL and a power cut.
  const cleanup::signals_held held;
  return os::copy_into(spool_, target_.fd);
}

bool output_file::commit(file_failure* failure) {
  int code = flushed(stream_);
  if (route_ == output_route::standard_output) {
    stream_ = nullptr;
    return code == 0 || fail(failure, file_step::write, code);
  }
  const int fd = fileno(stream_);
  if (code == 0 && route_ == output_route::in_place) {
    code = copy_in();
    if (code == ECANCELED) {
      discard();
      return fail(failure, file_step::changed, 0);
    }
  }
  if (code == 0 && route_ == output_route::replace_whole) {
    code = os::sync(fd);
    // After the data: a write clears the set-user-ID and set-group-ID bits.
    if (code == 0 && target_.existed) code = os::set_mode(fd, target_.mode);
  }
  if (code != 0) {
    discard();
    return fail(failure, file_step::write, code);
  }
  const cleanup::signals_held held;
  if (route_ == output_route::replace_whole) code = os::keep_when_closed(fd);
  // Closed apart from the flush: a C runtime may report a close whose final
  // flush failed as a success (wine's msvcrt does).
  errno = 0;
  const bool closed = std::fclose(stream_) == 0;
  stream_ = nullptr;
  spool_ = -1;
  if (code == 0 && !closed) code = errno != 0 ? errno : EIO;
  if (code != 0) {
    discard();
    return fail(failure, file_step::write, code);
  }
  const bool done = route_ != output_route::replace_whole || put_in_place(failure);
  discard();
  return done;
}

bool output_file::temporary_is_ours() const {
  os::file_identity found;
  return os::identity_at(target_.where, temporary_, found) == 0 && found == temporary_identity_;
}

void output_file::forget_temporary() {
  cleanup::forget_temporary(temporary_slot_);
  temporary_slot_ = -1;
  temporary_.clear();
}

bool output_file::put_in_place(file_failure* failure) {
  const os::location& where = target_.where;
  int code = 0;
  if (target_.existed) return replace_existing(failure);
  // A new file: a file another program made there meanwhile is kept.
  code = os::rename_new(where, temporary_);
  if (code == EINVAL) {
    os::file_identity now;
    if (os::identity_at(where, where.entry, now) != ENOENT) return fail(failure, file_step::changed, 0);
    code = os::rename_over(where, temporary_);
  }
  if (code == EEXIST) return fail(failure, file_step::changed, 0);
  if (code == ENOENT && !temporary_is_ours()) {
    const std::string gone = temporary_;
    forget_temporary();
    return fail(failure, file_step::temporary_removed, 0, gone);
  }
  if (code != 0) return fail(failure, file_step::replace, code);
  forget_temporary();
  os::sync_directory(where);
  return true;
}

bool output_file::replace_existing(file_failure* failure) {
  const os::location& where = target_.where;
  // Swapped in one step with whatever the entry holds now, then checked:
  // the old file, now under the temporary's name, is removed; another
  // program's file that took its place is swapped back and kept.
  int code = os::exchange(where, temporary_);
  if (code == 0) {
    const std::string swapped = temporary_;
    forget_temporary();  // the name no longer holds the run's file
    os::file_identity found;
    if (os::identity_at(where, swapped, found) == 0 && found == target_.identity) {
      os::remove_entry(where, swapped, target_.identity);
      os::sync_directory(where);
      return true;
    }
    if (os::exchange(where, swapped) == 0 && os::identity_at(where, swapped, found) == 0 &&
        found == temporary_identity_) {
      os::remove_entry(where, swapped, temporary_identity_);
      return fail(failure, file_step::changed, 0);
    }
    // Neither name holds what the run knows: both are left as they are.
    return fail(failure, file_step::changed, 0, swapped);
  }
  if (code == ENOENT && !temporary_is_ours()) {
    const std::string gone = temporary_;
    forget_temporary();
    return fail(failure, file_step::temporary_removed, 0, gone);
  }
  if (code == ENOENT) return fail(failure, file_step::changed, 0);
  if (code != EINVAL) return fail(failure, file_step::replace, code);
  // A file system that cannot swap (some network ones, Windows): checked
  // against the file the run holds open, then renamed, with a moment
  // between the two.
  os::file_identity now;
  if (os::identity_at(where, where.entry, now) != 0 || now != target_.identity)
    return fail(failure, file_step::changed, 0);
  os::close_file(target_.fd);
  target_.fd = -1;
  code = os::rename_over(where, temporary_);
  if (code != 0) return fail(failure, file_step::replace, code);
  forget_temporary();
  os::sync_directory(where);
  return true;
}

void output_file::discard_temporary() {
  const cleanup::signals_held held;
  if (stream_ != nullptr && route_ != output_route::standard_output) std::fclose(stream_);
  stream_ = nullptr;
  spool_ = -1;
  if (temporary_.empty()) return;
  os::remove_entry(target_.where, temporary_, temporary_identity_);
  forget_temporary();
}

void output_file::discard() {
  discard_temporary();
  os::close_file(target_.fd);
  target_.fd = -1;
  os::close_location(target_.where);
}
