#include "text_lines.hpp"

#include <cstring>

#include "genome_input.hpp"
#include "genome_records.hpp"
#include "messages.hpp"

namespace {

constexpr std::size_t chunk = std::size_t{1} << 20;
// How far into a file control bytes are looked for: enough to tell a
// binary file from text without a cost on every line.
constexpr std::size_t looked_at = 4096;

// A byte that no text file holds (tab, line ends, vertical tab and form
// feed are text).
bool is_control(unsigned char c) { return c < 0x20 && (c < '\t' || c > '\r'); }

}  // namespace

text_lines::text_lines(BGZF* fp, std::string_view path, std::string_view format)
    : fp_(fp), path_(path), format_(format), buffer_(chunk) {}

bool text_lines::fill(std::string* error) {
  if (ended_) return false;
  // What is left of a line moves to the front; a longer line grows the
  // buffer, up to the bound.
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    scanned_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) {
    if (end_ > MAX_LINE_LENGTH) {
      *error = messages::at_line(path_, line_number_ + 1, messages::line_too_long(MAX_LINE_LENGTH));
      return false;
    }
    buffer_.resize(buffer_.size() * 2);
  }
  const ssize_t got = bgzf_read(fp_, buffer_.data() + end_, buffer_.size() - end_);
  if (got < 0) {
    *error = damage_of(fp_, path_);
    return false;
  }
  if (got == 0) {
    ended_ = true;
    *error = damage_of(fp_, path_);
    return false;
  }
  end_ += static_cast<std::size_t>(got);
  return begun_ || begin(error);
}

bool text_lines::begin(std::string* error) {
  begun_ = true;
  if (end_ >= 3 && std::memcmp(buffer_.data(), "\xEF\xBB\xBF", 3) == 0) begin_ = scanned_ = 3;
  const std::size_t last = std::min(end_, begin_ + looked_at);
  std::int64_t line = 1;
  for (std::size_t i = begin_; i < last; ++i) {
    const auto c = static_cast<unsigned char>(buffer_[i]);
    line += c == '\n';
    if (is_control(c)) {
      *error = messages::at_line(path_, line,
                                 c == 0 ? messages::holds_nul("line") : messages::control_byte(c, format_));
      return false;
    }
  }
  return true;
}

bool text_lines::next(std::string_view& line, std::string* error) {
  std::size_t line_end = 0;  // where the line end is, or end_ for a last line without one
  for (;;) {
    const void* found = std::memchr(buffer_.data() + scanned_, '\n', end_ - scanned_);
    if (found != nullptr) {
      line_end = static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.data());
      break;
    }
    scanned_ = end_;
    if (!fill(error)) {
      if (!error->empty() || begin_ == end_) return false;
      line_end = end_;
      break;
    }
  }
  const char* start = buffer_.data() + begin_;
  std::size_t length = line_end - begin_;
  begin_ = scanned_ = std::min(line_end + 1, end_);
  ++line_number_;
  if (length > 0 && start[length - 1] == '\r') --length;
  line = std::string_view(start, length);
  if (std::memchr(start, '\0', length) != nullptr) {
    *error = messages::at_line(path_, line_number_, messages::holds_nul("line"));
    return false;
  }
  return true;
}
