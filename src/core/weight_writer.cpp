#include "weight_writer.hpp"

#include <cerrno>
#include <charconv>
#include <cstring>

namespace {

constexpr std::size_t buffer_size = 64 * 1024;

}  // namespace

weight_writer::weight_writer(std::FILE* out) : out_(out), buffer_(new char[buffer_size]) {}

void weight_writer::append(const char* text, std::size_t length) {
  if (used_ + length > buffer_size) {
    write_buffer();
    if (length > buffer_size) {
      // A text longer than the buffer goes straight through.
      if (!failure_) {
        errno = 0;
        if (std::fwrite(text, 1, length, out_) != length)
          failure_ = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
      }
      return;
    }
  }
  std::memcpy(buffer_.get() + used_, text, length);
  used_ += length;
}

void weight_writer::line(std::string_view name, double weight) {
  append(name);
  weight_column(weight);
  end_line();
}

void weight_writer::begin_line(std::string_view first) { append(first); }

void weight_writer::column(std::string_view text) {
  append("\t", 1);
  append(text);
}

void weight_writer::column(std::int64_t number) {
  char digits[24] = {'\t'};
  const char* end = std::to_chars(digits + 1, digits + sizeof digits, number).ptr;
  append(digits, static_cast<std::size_t>(end - digits));
}

void weight_writer::weight_column(double weight) {
  int cached = weights_[0] == weight ? 0 : weights_[1] == weight ? 1 : -1;
  if (cached < 0) {
    // to_chars ignores the locale: the decimal separator is always '.'.
    char text[352] = {'\t'};  // the longest a double is in fixed form, six decimals
    cached = next_cached_;
    next_cached_ ^= 1;
    texts_[cached].assign(
        text, std::to_chars(text + 1, text + sizeof text, weight, std::chars_format::fixed, 6).ptr);
    weights_[cached] = weight;
  }
  append(texts_[cached]);
}

void weight_writer::end_line() { append("\n", 1); }

void weight_writer::write_buffer() {
  if (!failure_ && used_ > 0) {
    errno = 0;
    if (std::fwrite(buffer_.get(), 1, used_, out_) != used_)
      failure_ = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
  }
  used_ = 0;
}

std::error_code weight_writer::finish() {
  write_buffer();
  return failure_;
}
