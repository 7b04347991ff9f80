#include "weight_writer.hpp"

#include <cerrno>
#include <charconv>

namespace {

constexpr std::size_t buffer_size = 64 * 1024;

}  // namespace

weight_writer::weight_writer(std::FILE* out) : out_(out) { buffer_.reserve(buffer_size + 256); }

void weight_writer::line(std::string_view name, double weight) {
  buffer_ += name;
  weight_column(weight);
  end_line();
}

void weight_writer::begin_line(std::string_view first) { buffer_ += first; }

void weight_writer::column(std::string_view text) {
  buffer_ += '\t';
  buffer_ += text;
}

void weight_writer::column(std::int64_t number) {
  char digits[24];
  const char* end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  buffer_ += '\t';
  buffer_.append(digits, static_cast<std::size_t>(end - digits));
}

void weight_writer::weight_column(double weight) {
  if (weight != last_weight_) {
    // to_chars ignores the locale: the decimal separator is always '.'.
    char text[352];  // the longest a double is in fixed form, six decimals
    last_text_.assign(text, std::to_chars(text, text + sizeof text, weight, std::chars_format::fixed, 6).ptr);
    last_weight_ = weight;
  }
  buffer_ += '\t';
  buffer_ += last_text_;
}

void weight_writer::end_line() {
  buffer_ += '\n';
  if (buffer_.size() >= buffer_size) write_buffer();
}

void weight_writer::write_buffer() {
  if (!failure_ && !buffer_.empty()) {
    errno = 0;
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size())
      failure_ = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
  }
  buffer_.clear();
}

std::error_code weight_writer::finish() {
  write_buffer();
  return failure_;
}
