#include "byte_source.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "htslib_fields.hpp"
#include "messages.hpp"

std::ptrdiff_t byte_source::read(char* buffer, std::size_t room) {
  if (failure_ != source_failure::none) return -1;
  return read_some(buffer, room);
}

void byte_source::read_to_end() {
  static char sink[1 << 16];
  while (read(sink, sizeof sink) > 0) {
  }
}

std::string byte_source::failure_message(std::string_view path, std::string_view after) const {
  switch (failure_) {
    case source_failure::none:
      return {};
    case source_failure::read_error:
      return messages::file_failed(path, {file_step::read, std::error_code(code_, std::generic_category())});
    case source_failure::damaged:
      return messages::about(path, messages::damaged(compression_, after));
    case source_failure::no_eof_block:
      return messages::about(path, messages::no_eof_block());
  }
  return {};
}

bgzf_source::bgzf_source(BGZF* fp, bool compressed, bool bgzf_blocks)
    : fp_(fp), compressed_(compressed), bgzf_blocks_(bgzf_blocks) {
  compression_ = bgzf_blocks ? "BGZF" : "gzip";
}

bgzf_source::~bgzf_source() { bgzf_close(fp_); }

std::ptrdiff_t bgzf_source::read_some(char* buffer, std::size_t room) {
  errno = 0;
  const ssize_t got = bgzf_read(fp_, buffer, room);
  if (got < 0) {
    // A file that could not be read is not called damaged.
    const int read_error = read_errno(fp_);
    failure_ = compressed_ && read_error == 0 ? source_failure::damaged : source_failure::read_error;
    code_ = read_error != 0 ? read_error : errno != 0 ? errno : EIO;
    return -1;
  }
  // Set once the data end: a file cut at a block boundary ends there too,
  // perhaps in the middle of a line.
  if (got == 0 && bgzf_blocks_ && lacks_eof_block(fp_)) {
    failure_ = source_failure::no_eof_block;
    return -1;
  }
  return got;
}

plain_source::~plain_source() { hclose_abruptly(fp_); }

std::ptrdiff_t plain_source::read_some(char* buffer, std::size_t room) {
  errno = 0;
  const ssize_t got = hread(fp_, buffer, room);
  if (got < 0) {
    failure_ = source_failure::read_error;
    code_ = errno != 0 ? errno : EIO;
    return -1;
  }
  return got;
}

string_source::string_source(std::string_view bytes, std::size_t chunk, source_failure failure)
    : bytes_(bytes), chunk_(std::max<std::size_t>(chunk, 1)), fails_with_(failure) {
  compression_ = "BGZF";
}

std::ptrdiff_t string_source::read_some(char* buffer, std::size_t room) {
  if (bytes_.empty() && fails_with_ != source_failure::none) {
    failure_ = fails_with_;
    code_ = EIO;
    return -1;
  }
  const std::size_t size = std::min({room, chunk_, bytes_.size()});
  std::memcpy(buffer, bytes_.data(), size);
  bytes_.remove_prefix(size);
  return static_cast<std::ptrdiff_t>(size);
}
