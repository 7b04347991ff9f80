// Fuzzes both record readers on the same bytes: whatever the input, each
// either fills its table within capacity by the field rules or refuses the
// input with one line naming the file.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "region_reader.hpp"
#include "snp_reader.hpp"

namespace {

snp_table snps;
region_table regions;

void check(bool condition) {
  if (!condition) std::abort();
}

void check_refusal(const std::string& error, std::string_view file_name) {
  check(error.starts_with(std::string(file_name) + ":"));
  check(error.find('\n') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string error;

  text_reader snp_input(bytes, SNP_FILE_NAME);
  if (read_snp_file(snp_input, snps, &error)) {
    check(snps.count >= 0 && snps.count <= MAX_SNPS);
    for (int k = 0; k < snps.count; ++k) {
      const std::size_t length = std::strlen(snps.names[k]);
      // A record begins only at a byte that is not whitespace, so every
      // name holds at least one byte.
      check(length >= 1 && length <= MAX_SNP_NAME_LENGTH);
      check(std::strpbrk(snps.names[k], " \t\n\v\f\r\x1a") == nullptr);
    }
  } else {
    check_refusal(error, SNP_FILE_NAME);
  }

  error.clear();
  text_reader region_input(bytes, REGION_FILE_NAME);
  if (read_region_file(region_input, regions, &error)) {
    check(regions.count >= 0 && regions.count <= MAX_REGIONS);
  } else {
    check_refusal(error, REGION_FILE_NAME);
  }
  return 0;
}
