// Weighting: every SNP starts at WEIGHT_OUTSIDE, and the region rule raises
// to WEIGHT_INSIDE each SNP whose position lies inside at least one region.
#pragma once

#include "records.hpp"

// Sets the weight of rows 0 to count - 1 to WEIGHT_OUTSIDE.
void give_default_weights(snp_table& snps);

// Compares every SNP with every region, as signed 32-bit values, both ends
// inside: start <= position && position <= end. There is no sorting, index
// or early exit, so the result depends on neither table's order. Weights
// are only ever raised.
void apply_region_rule(snp_table& snps, const region_table& regions);
