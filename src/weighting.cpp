#include "weighting.hpp"

#include <cstdint>

void give_default_weights(snp_table& snps) {
  for (int i = 0; i < snps.count; ++i) snps.weights[i] = WEIGHT_OUTSIDE;
}

void apply_region_rule(snp_table& snps, const region_table& regions) {
  // One mask per SNP: all ones while no region seen so far contains it. The
  // 16 KiB of positions and masks stay in the L1 cache while the region rows
  // stream past once.
  std::int32_t outside[MAX_SNPS];
  const int snp_count = snps.count;
  for (int i = 0; i < snp_count; ++i) outside[i] = -1;

  for (int j = 0; j < regions.count; ++j) {
    const std::int32_t start = regions.rows[j].start;
    const std::int32_t end = regions.rows[j].end;
    // Branch-free, so that the compiler vectorizes it: a mask per lane from
    // two compares, four SNPs per instruction, where a branch that stores a
    // weight takes one at a time.
    for (int i = 0; i < snp_count; ++i) {
      const std::int32_t position = snps.positions[i];
      outside[i] &= (position < start || position > end) ? -1 : 0;
    }
  }

  for (int i = 0; i < snp_count; ++i)
    if (outside[i] == 0) snps.weights[i] = WEIGHT_INSIDE;
}
