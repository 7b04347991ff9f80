#include "run.hpp"

#include <cstdio>
#include <memory>

#include "files.hpp"
#include "records.hpp"
#include "region_reader.hpp"
#include "result_file.hpp"
#include "snp_reader.hpp"
#include "text_reader.hpp"
#include "weight_file.hpp"
#include "weighting.hpp"

namespace {

struct input_closer {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using input_file = std::unique_ptr<std::FILE, input_closer>;

// The tables live for the whole run.
snp_table snps;
region_table regions;

// Reads both inputs, and applies the region rule to each block of regions
// while the next is read.
bool read_and_weigh(std::FILE* snp_file, std::FILE* region_file, std::string* error) {
  {
    text_reader in(snp_file, SNP_FILE_NAME);
    if (!read_snp_file(in, snps, error)) return false;
  }
  give_default_weights(snps);
  region_rule_alongside rule(snps);
  text_reader in(region_file, REGION_FILE_NAME);
  if (!read_region_file(in, regions, error,
                        [&rule](const gene_region* rows, int count) { rule.block_read(rows, count); }))
    return false;
  // The last block, full or not.
  if (regions.count > 0) {
    const std::size_t last = static_cast<std::size_t>(regions.count - 1) / REGION_BLOCK;
    rule.block_read(regions.blocks[last], regions.block_rows(last));
  }
  rule.finish(snps);
  return true;
}

}  // namespace

int run(std::string* error) {
  // Both inputs are opened before the weight file, and the weight file
  // before any record is read, so that a weight file the run may not write
  // is refused before the work.
  input_file snp_file(open_input(SNP_FILE_NAME, error));
  if (!snp_file) return RUN_REFUSED;
  input_file region_file(open_input(REGION_FILE_NAME, error));
  if (!region_file) return RUN_REFUSED;
  // A failed or killed run leaves an earlier weight.txt as it was, and
  // removes its temporary (the destructor, or a signal handler).
  result_file weight_file;
  if (!weight_file.open(WEIGHT_FILE_NAME, error)) return RUN_REFUSED;

  if (!read_and_weigh(snp_file.get(), region_file.get(), error)) return RUN_REFUSED;
  const std::error_code written = write_weight_file(weight_file.stream(), snps);

  // Closed in this order: the SNP file, the region file, the weight file.
  std::fclose(snp_file.release());
  std::fclose(region_file.release());
  return weight_file.commit(written, error) ? 0 : RUN_WRITE_FAILED;
}
