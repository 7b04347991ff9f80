#include "text_lines.hpp"

#include <htslib/hfile.h>

#include <cstring>

#include "genome_input.hpp"
#include "genome_records.hpp"
#include "messages.hpp"

namespace {

// How far into a file control bytes are looked for: enough to tell a
// binary file from text without a cost on every line.
constexpr std::size_t looked_at = 4096;

// A byte that no text file holds (tab, line ends, vertical tab and form
// feed are text).
bool is_control(unsigned char c) { return c < 0x20 && (c < '\t' || c > '\r'); }

}  // namespace

text_lines::text_lines(BGZF* fp, std::string_view path, std::string_view format)
    : fp_(fp), path_(path), format_(format) {}

bool text_lines::next_block(std::string* error) {
  if (ended_) return false;
  // All of this block is taken: the next one is read from the start of the
  // buffer (gzip inflates after block_offset), and a failure names where
  // the block began.
  fp_->block_address = htell(fp_->fp);
  fp_->block_offset = fp_->block_length = 0;
  if (bgzf_read_block(fp_) != 0 || fp_->block_length == 0) {
    ended_ = true;
    *error = damage_of(fp_, path_);
    return false;
  }
  next_ = static_cast<const char*>(fp_->uncompressed_block);
  block_end_ = next_ + fp_->block_length;
  // A NUL byte is looked for once per block, not once per line.
  nul_ = static_cast<const char*>(std::memchr(next_, '\0', static_cast<std::size_t>(fp_->block_length)));
  return begun_ || begin(error);
}

bool text_lines::begin(std::string* error) {
  begun_ = true;
  if (block_end_ - next_ >= 3 && std::memcmp(next_, "\xEF\xBB\xBF", 3) == 0) next_ += 3;
  const char* last = std::min(block_end_, next_ + looked_at);
  std::int64_t line = 1;
  for (const char* at = next_; at < last; ++at) {
    const auto c = static_cast<unsigned char>(*at);
    line += c == '\n';
    if (is_control(c)) {
      *error = messages::at_line(path_, line,
                                 c == 0 ? messages::holds_nul("line") : messages::control_byte(c, format_));
      return false;
    }
  }
  return true;
}

std::string_view text_lines::take_line(const char* start, std::size_t length) {
  ++line_number_;
  if (length > 0 && start[length - 1] == '\r') --length;
  return {start, length};
}

bool text_lines::next(std::string_view& line, std::string* error) {
  const auto refuse = [&](const std::string& what) {
    *error = messages::at_line(path_, line_number_ + 1, what);
    return false;
  };
  // Whether the block's first NUL byte lies in [from, to).
  const auto nul_in = [this](const char* from, const char* to) {
    return nul_ != nullptr && nul_ >= from && nul_ < to;
  };
  spanning_.clear();
  for (;;) {
    const char* end = next_ == nullptr ? nullptr
                                       : static_cast<const char*>(std::memchr(
                                             next_, '\n', static_cast<std::size_t>(block_end_ - next_)));
    if (end != nullptr) {
      const char* start = next_;
      next_ = end + 1;
      if (nul_in(start, end)) return refuse(messages::holds_nul("line"));
      if (spanning_.empty()) {
        line = take_line(start, static_cast<std::size_t>(end - start));
        return true;
      }
      spanning_.append(start, end);
      break;
    }
    // The line runs on past this block.
    if (next_ != nullptr) {
      if (nul_in(next_, block_end_)) return refuse(messages::holds_nul("line"));
      spanning_.append(next_, block_end_);
      next_ = block_end_;
      if (spanning_.size() > MAX_LINE_LENGTH) return refuse(messages::line_too_long(MAX_LINE_LENGTH));
    }
    if (!next_block(error)) {
      // The end of the data: a last line without its line end, or none.
      if (!error->empty() || spanning_.empty()) return false;
      break;
    }
  }
  line = take_line(spanning_.data(), spanning_.size());
  return true;
}
