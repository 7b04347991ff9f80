#include "weight_writer.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>

std::error_code write_weight_file(std::FILE* out, const snp_table& snps) {
  // A name, a tab, a weight far shorter than 32 characters, a line feed.
  char line[SNP_NAME_SIZE + 1 + 32 + 1];
  for (int k = 0; k < snps.count; ++k) {
    const snp_record snp = snps.record(k);
    char* next = std::copy(snp.name.begin(), snp.name.end(), line);
    *next++ = '\t';
    // to_chars ignores the locale: the decimal separator is always '.'.
    next = std::to_chars(next, line + sizeof line - 1, snp.weight, std::chars_format::fixed, 6).ptr;
    *next++ = '\n';
    const auto length = static_cast<std::size_t>(next - line);
    errno = 0;
    if (std::fwrite(line, 1, length, out) != length)
      return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
  }
  return {};
}
