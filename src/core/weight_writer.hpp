// The weight line of both commands, of the pattern "%s\t%f\n": the SNP's
// name exactly as read, a tab, the weight as a fixed-point number with six
// decimals and a full stop (whatever the locale), and a line end written
// through the text stream. snp_weight_genome writes other columns and
// other lines through the same writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

// Where a writer's bytes go: a stream, or whatever the caller wraps (a
// compressed file, a block of lines another thread writes out).
struct byte_sink {
  void* context = nullptr;
  // Writes all of [bytes, bytes + size): 0, or the errno value of the failure.
  int (*write)(void* context, const char* bytes, std::size_t size) = nullptr;
};

// A sink over a stdio stream, which stays open.
byte_sink stream_sink(std::FILE* out);
// A sink that appends to a string, which must outlive it.
byte_sink string_sink(std::string& out);

// Writes lines to a sink through a buffer of its own, handing on whole
// lines only, so that what reaches the sink ends at a line end.
class weight_writer {
 public:
  explicit weight_writer(std::FILE* out) : weight_writer(stream_sink(out)) {}
  explicit weight_writer(byte_sink sink);
  weight_writer(const weight_writer&) = delete;
  weight_writer& operator=(const weight_writer&) = delete;

  // "NAME\tWEIGHT\n".
  void line(std::string_view name, double weight);
  // A line of more columns: begin_line(FIRST), then each further column
  // after a tab, then end_line().
  void begin_line(std::string_view first);
  void column(std::string_view text);
  void column(std::int64_t number);
  void weight_column(double weight);
  // A column's text without the tab before it.
  void append(std::string_view text) { append(text.data(), text.size()); }
  void end_line();
  // Lines formatted elsewhere, each with its line end.
  void lines(std::string_view whole_lines);
  // Writes what is buffered. Returns the reason of the first failed write,
  // or no error.
  std::error_code finish();
  // After a failure part way: writes the whole lines buffered, and nothing
  // of a line begun but not ended.
  std::error_code finish_whole_lines();

 private:
  void append(const char* text, std::size_t length) {
    if (used_ + length > capacity_) grow(length);
    std::memcpy(buffer_.get() + used_, text, length);
    used_ += length;
  }
  void append(char c) {
    if (used_ == capacity_) grow(1);
    buffer_[used_++] = c;
  }
  // Room for `length` more bytes: a line longer than the buffer.
  void grow(std::size_t length);
  // Hands the first `size` bytes to the sink.
  void write_buffer(std::size_t size);

  byte_sink sink_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t used_ = 0;
  std::size_t line_start_ = 0;  // where the line being made begins
  std::error_code failure_;
  // The text of the last two weights written: a file holds two or three.
  double weights_[2] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
  std::string texts_[2];
  int next_cached_ = 0;
};
