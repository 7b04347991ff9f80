#include "weight_file.hpp"

#include "weight_writer.hpp"

std::error_code write_weight_file(std::FILE* out, const snp_table& snps) {
  weight_writer writer(out);
  for (int k = 0; k < snps.count; ++k) {
    const snp_record snp = snps.record(k);
    writer.line(snp.name, snp.weight);
  }
  return writer.finish();
}
