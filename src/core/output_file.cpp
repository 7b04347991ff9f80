#include "output_file.hpp"

#include <cerrno>
#include <chrono>
#include <random>

#include "cleanup.hpp"

namespace {

// ".XXXXXXXX.tmp" after the entry's name.
constexpr std::size_t temporary_suffix = 13;

bool fail(file_failure* failure, file_step step, int code) {
  if (failure != nullptr) *failure = {step, std::error_code(code > 0 ? code : EIO, std::generic_category())};
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
}

bool output_file::open(const char* name, file_failure* failure) {
  cleanup::install();
  const int code = os::open_result(name, target_);
  if (code == os::entry_changed) return fail(failure, file_step::changed, 0);
  if (code != 0) return fail(failure, file_step::open, code);
  if (!target_.existed) return create_temporary(false, failure);
  if (target_.replaceable && create_temporary(true, nullptr)) {
    if (os::take_over_group(fileno(stream_), target_)) return true;
    discard_temporary();
  }
  return start_in_place(failure);
}

bool output_file::create_temporary(bool private_mode, file_failure* failure) {
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
    temporary_ = name;
    if (!cleanup::note_temporary(target_.where, name)) {
      code = ENAMETOOLONG;
      os::close_file(fd);
      os::remove_entry(target_.where, temporary_);
      temporary_.clear();
    }
  }
  if (code != 0) return fail(failure, file_step::open, code);
  route_ = output_route::replace_whole;
  stream_ = os::stream_on(fd);
  if (stream_ == nullptr) {
    code = errno;
    os::close_file(fd);
    discard_temporary();
    return fail(failure, file_step::open, code);
  }
  return true;
}

bool output_file::start_in_place(file_failure* failure) {
  route_ = output_route::in_place;
  // A regular file gets nothing until the whole result is there: it is
  // spooled first. A device or a FIFO, or a file when no spool can be made,
  // is written as the result is made.
  int fd = -1;
  if (target_.regular && os::create_spool(target_.where, fd) == 0) {
    spool_ = fd;
  } else {
    fd = target_.fd;
    target_.fd = -1;  // the stream owns it now
  }
  stream_ = os::stream_on(fd);
  if (stream_ == nullptr) {
    const int code = errno;
    os::close_file(fd);
    spool_ = -1;
    return fail(failure, file_step::open, code);
  }
  return true;
}

bool output_file::commit(file_failure* failure) {
  int code = flushed(stream_);
  if (route_ == output_route::standard_output) {
    stream_ = nullptr;
    return code == 0 || fail(failure, file_step::write, code);
  }
  const int fd = fileno(stream_);
  if (code == 0 && route_ == output_route::in_place) {
    if (spool_ >= 0) {
      // Copied over the file only while its entry still leads to it.
      os::file_identity now;
      if (os::identity_at(target_.where, target_.where.entry, now) != 0 || now != target_.identity) {
        discard();
        return fail(failure, file_step::changed, 0);
      }
      code = os::copy_into(spool_, target_.fd);
    } else if (target_.regular) {
      // Written straight over the file: what is left of the old one goes.
      code = os::cut_here(fd);
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
  const bool done = route_ == output_route::in_place || put_in_place(failure);
  discard();
  return done;
}

bool output_file::put_in_place(file_failure* failure) {
  const os::location& where = target_.where;
  int code = 0;
  if (target_.existed) {
    // Swapped in one step with whatever the entry holds now, then checked:
    // another program's file that took its place is swapped back and kept.
    code = os::exchange(where, temporary_);
    if (code == 0) {
      os::file_identity swapped_out;
      if (os::identity_at(where, temporary_, swapped_out) == 0 && swapped_out == target_.identity) {
        os::remove_entry(where, temporary_);  // the old file
        cleanup::forget_temporary();
        temporary_.clear();
        os::sync_directory(where);
        return true;
      }
      if (os::exchange(where, temporary_) != 0) {
        // Both files stay, under each other's names: nothing is removed.
        cleanup::forget_temporary();
        temporary_.clear();
      }
      return fail(failure, file_step::changed, 0);
    }
    if (code == ENOENT) return fail(failure, file_step::changed, 0);
    if (code == EINVAL) {
      // A file system that cannot swap (some network ones): checked, then
      // renamed, with a moment between the two.
      os::file_identity now;
      if (os::identity_at(where, where.entry, now) != 0 || now != target_.identity)
        return fail(failure, file_step::changed, 0);
      code = os::rename_over(where, temporary_);
    }
  } else {
    // A new file: a file another program made there meanwhile is kept.
    code = os::rename_new(where, temporary_);
    if (code == EEXIST) return fail(failure, file_step::changed, 0);
    if (code == EINVAL) {
      os::file_identity now;
      if (os::identity_at(where, where.entry, now) != ENOENT) return fail(failure, file_step::changed, 0);
      code = os::rename_over(where, temporary_);
    }
  }
  if (code != 0) return fail(failure, file_step::replace, code);
  cleanup::forget_temporary();
  temporary_.clear();
  os::sync_directory(where);
  return true;
}

void output_file::discard_temporary() {
  const cleanup::signals_held held;
  if (stream_ != nullptr && route_ != output_route::standard_output) std::fclose(stream_);
  stream_ = nullptr;
  spool_ = -1;
  if (temporary_.empty()) return;
  os::remove_entry(target_.where, temporary_);
  cleanup::forget_temporary();
  temporary_.clear();
}

void output_file::discard() {
  discard_temporary();
  os::close_file(target_.fd);
  target_.fd = -1;
  os::close_location(target_.where);
}
