#include "weight_writer.hpp"

#include <cerrno>
#include <algorithm>
#include <charconv>

namespace {

// The buffer is handed on once a line ends past this size.
constexpr std::size_t buffer_size = 64 * 1024;

int write_to_stream(void* context, const char* bytes, std::size_t size) {
  errno = 0;
  if (std::fwrite(bytes, 1, size, static_cast<std::FILE*>(context)) == size) return 0;
  return errno != 0 ? errno : EIO;
}

int append_to_string(void* context, const char* bytes, std::size_t size) {
  static_cast<std::string*>(context)->append(bytes, size);
  return 0;
}

}  // namespace

byte_sink stream_sink(std::FILE* out) { return {out, write_to_stream}; }

byte_sink string_sink(std::string& out) { return {&out, append_to_string}; }

weight_writer::weight_writer(byte_sink sink)
    : sink_(sink), buffer_(new char[buffer_size + 4096]), capacity_(buffer_size + 4096) {}

void weight_writer::grow(std::size_t length) {
  const std::size_t wanted = std::max(used_ + length, capacity_ * 2);
  std::unique_ptr<char[]> larger(new char[wanted]);
  std::memcpy(larger.get(), buffer_.get(), used_);
  buffer_ = std::move(larger);
  capacity_ = wanted;
}

void weight_writer::line(std::string_view name, double weight) {
  begin_line(name);
  weight_column(weight);
  end_line();
}

void weight_writer::begin_line(std::string_view first) {
  line_start_ = used_;
  append(first);
}

void weight_writer::column(std::string_view text) {
  append('\t');
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

void weight_writer::end_line() {
  append('\n');
  line_start_ = used_;
  if (used_ >= buffer_size) write_buffer(used_);
}

void weight_writer::lines(std::string_view whole_lines) {
  if (used_ + whole_lines.size() >= buffer_size) {
    write_buffer(used_);
    if (!failure_ && whole_lines.size() >= buffer_size) {
      if (const int code = sink_.write(sink_.context, whole_lines.data(), whole_lines.size()); code != 0)
        failure_ = std::error_code(code, std::generic_category());
      return;
    }
  }
  append(whole_lines);
  line_start_ = used_;
}

void weight_writer::write_buffer(std::size_t size) {
  if (!failure_ && size > 0)
    if (const int code = sink_.write(sink_.context, buffer_.get(), size); code != 0)
      failure_ = std::error_code(code, std::generic_category());
  std::memmove(buffer_.get(), buffer_.get() + size, used_ - size);
  used_ -= size;
  line_start_ = line_start_ >= size ? line_start_ - size : 0;
}

std::error_code weight_writer::finish() {
  write_buffer(used_);
  return failure_;
}

std::error_code weight_writer::finish_whole_lines() {
  write_buffer(line_start_);
  used_ = 0;
  line_start_ = 0;
  return failure_;
}
