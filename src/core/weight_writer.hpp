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
  void write_buffer();

  std::FILE* out_;
  std::string buffer_;
  std::error_code failure_;
  double last_weight_ = std::numeric_limits<double>::quiet_NaN();  // none yet
  std::string last_text_;
};
