// The weight line of both commands, of the pattern "%s\t%f\n": the SNP's
// name exactly as read, a tab, the weight as a fixed-point number with six
// decimals and a full stop (whatever the locale), and a line end written
// through the text stream. snp_weight_genome may add columns, each after a
// tab: the chromosome and the position before the weight, the regions
// after it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

// Writes weight lines to a stream, which stays open, through a buffer of
// its own.
class weight_writer {
 public:
  explicit weight_writer(std::FILE* out);
  weight_writer(const weight_writer&) = delete;
  weight_writer& operator=(const weight_writer&) = delete;

  // "NAME\tWEIGHT\n".
  void line(std::string_view name, double weight);
  // A line of more columns: begin_line(NAME), then each further column
  // after a tab, then end_line().
  void begin_line(std::string_view first);
  void column(std::string_view text);
  void column(std::int64_t number);
  void weight_column(double weight);
  void end_line();
  // Writes what is buffered. Returns the reason of the first failed write,
  // or no error.
  std::error_code finish();

 private:
  void append(const char* text, std::size_t length);
  void append(std::string_view text) { append(text.data(), text.size()); }
  void write_buffer();

  std::FILE* out_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  std::error_code failure_;
  // The text of the last two weights written: a file holds two or three.
  double weights_[2] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
  std::string texts_[2];
  int next_cached_ = 0;
};
