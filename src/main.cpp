// snp_weight: weights SNPs by whether they lie inside a gene region.
//
// Reads "SNP_positions.txt" and "gene_regions.txt" from the current
// directory and writes "weight.txt". Takes no arguments and prints nothing
// on success. On failure it prints one line on stderr and exits non-zero:
// 1 when a file cannot be opened or an input is refused, -1 when writing the
// weight file fails. A failed run leaves no weight file behind.
#include <cstdio>
#include <memory>
#include <string>

#include "files.hpp"
#include "records.hpp"
#include "region_reader.hpp"
#include "snp_reader.hpp"
#include "text_reader.hpp"
#include "weight_writer.hpp"
#include "weighting.hpp"

namespace {

constexpr int refused = 1;
constexpr int write_failed = -1;

struct input_closer {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using input_file = std::unique_ptr<std::FILE, input_closer>;

// The tables live for the whole run, in static storage.
snp_table snps;
region_table regions;

bool read_inputs(std::FILE* snp_file, std::FILE* region_file, std::string* error) {
  {
    text_reader in(snp_file, SNP_FILE_NAME);
    if (!read_snp_file(in, snps, error)) return false;
  }
  text_reader in(region_file, REGION_FILE_NAME);
  return read_region_file(in, regions, error);
}

int run(std::string* error) {
  // Both inputs are opened before the weight file, so that a missing input
  // leaves an earlier weight file as it was.
  input_file snp_file(open_input(SNP_FILE_NAME, error));
  if (!snp_file) return refused;
  input_file region_file(open_input(REGION_FILE_NAME, error));
  if (!region_file) return refused;
  std::FILE* weight_file = create_output(WEIGHT_FILE_NAME, error);
  if (weight_file == nullptr) return refused;

  // From here on a failed run removes the weight file it created, so that
  // no empty or partial file passes for a result.
  const auto discard_weight_file = [weight_file](int status) {
    std::fclose(weight_file);
    std::remove(WEIGHT_FILE_NAME);
    return status;
  };

  if (!read_inputs(snp_file.get(), region_file.get(), error)) return discard_weight_file(refused);
  give_default_weights(snps);
  apply_region_rule(snps, regions);
  if (!write_weight_file(weight_file, snps, error)) return discard_weight_file(write_failed);

  // Closed in this order: the SNP file, the region file, the weight file.
  std::fclose(snp_file.release());
  std::fclose(region_file.release());
  if (!close_output(weight_file, WEIGHT_FILE_NAME, error)) {
    std::remove(WEIGHT_FILE_NAME);
    return write_failed;
  }
  return 0;
}

}  // namespace

int main() {
  std::string error;
  const int status = run(&error);
  if (status != 0) std::fprintf(stderr, "%s\n", error.c_str());
  return status;
}
