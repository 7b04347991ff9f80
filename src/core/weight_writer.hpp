// The weight line of both commands, of the pattern "%s\t%f\n": the SNP's
// name exactly as read, a tab, the weight as a fixed-point number with six
// decimals and a full stop (whatever the locale), and a line end written
// through the text stream. snp_weight_genome may put the chromosome and the
// position, each after a tab, between the name and the weight.
#pragma once

#include <cstdint>
#include <cstdio>
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
  // "NAME\tCHROMOSOME\tPOSITION\tWEIGHT\n".
  void line(std::string_view name, std::string_view chromosome, std::int64_t position, double weight);
  // Writes what is buffered. Returns the reason of the first failed write,
  // or no error.
  std::error_code finish();

 private:
  void put_weight(double weight);
  void write_buffer();

  std::FILE* out_;
  std::string buffer_;
  std::error_code failure_;
  double last_weight_ = -1;
  std::string last_text_;
};
