// Fuzzes both record readers on the same bytes: whatever the input, each
// either fills its table within capacity by the field rules or refuses the
// input with one line naming the file. The first byte chooses a buffer of 1
// to 16 bytes for a second reading through a stream, whose refills must
// change nothing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "region_reader.hpp"
#include "snp_reader.hpp"

namespace {

snp_table snps;
region_table regions;
snp_table stream_snps;
region_table stream_regions;

void check(bool condition) {
  if (!condition) std::abort();
}

void check_refusal(const std::string& error, std::string_view file_name) {
  check(error.starts_with(std::string(file_name) + ":"));
  check(error.find('\n') == std::string::npos);
}

}  // namespace

// Reads `bytes` again through a stream with a buffer of `buffer_size`.
template <class Table, class Read>
std::string read_through_stream(std::string_view bytes, const char* name, std::size_t buffer_size,
                                Table& table, Read read) {
  std::string error;
  std::FILE* stream = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  if (stream == nullptr) std::abort();
  text_reader in(stream, name, buffer_size);
  const bool accepted = read(in, table, &error);
  std::fclose(stream);
  return accepted ? std::string() : error;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;  // fmemopen wants at least one byte
  const std::size_t buffer_size = 1 + data[0] % 16;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
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
  const bool snps_accepted = error.empty();
  check(read_through_stream(bytes, SNP_FILE_NAME, buffer_size, stream_snps, read_snp_file) ==
        (snps_accepted ? "" : error));
  if (snps_accepted) {
    check(stream_snps.count == snps.count);
    for (int k = 0; k < snps.count; ++k)
      check(std::strcmp(stream_snps.names[k], snps.names[k]) == 0 &&
            stream_snps.positions[k] == snps.positions[k]);
  }

  error.clear();
  text_reader region_input(bytes, REGION_FILE_NAME);
  if (read_region_file(region_input, regions, &error)) {
    check(regions.count >= 0 && regions.count <= MAX_REGIONS);
  } else {
    check_refusal(error, REGION_FILE_NAME);
  }
  const bool regions_accepted = error.empty();
  check(read_through_stream(bytes, REGION_FILE_NAME, buffer_size, stream_regions,
                            [](text_reader& in, region_table& table, std::string* error) {
                              return read_region_file(in, table, error);
                            }) == (regions_accepted ? "" : error));
  if (regions_accepted) {
    check(stream_regions.count == regions.count);
    for (int k = 0; k < regions.count; ++k)
      check(stream_regions.row(k).start == regions.row(k).start &&
            stream_regions.row(k).end == regions.row(k).end);
  }
  return 0;
}
