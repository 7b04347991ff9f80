#include "weighting.hpp"

#include <cstdint>

#include "vector_unit.hpp"

void give_default_weights(snp_table& snps) {
  for (int i = 0; i < snps.count; ++i) snps.weights[i] = WEIGHT_OUTSIDE;
}

std::span<const region_rule_variant> region_rule_variants() {
  // Asked of the CPU once, on first use. The variants are those CMake built,
  // narrowest first, each named after a vector_unit.
  static const vector_unit widest = widest_vector_unit();
  static const region_rule_variant variants[] = {
#define REGION_SCAN_VARIANT(name, label) {label, region_scan_##name, widest >= vector_unit::name},
#include "region_scan_variants.inc"
#undef REGION_SCAN_VARIANT
  };
  return variants;
}

const region_rule_variant& chosen_region_rule_variant() {
  static const region_rule_variant& chosen = [] {
    const region_rule_variant* widest = &region_rule_variants().front();
    for (const auto& variant : region_rule_variants())
      if (variant.supported) widest = &variant;
    return *widest;
  }();
  return chosen;
}

void apply_region_rule(snp_table& snps, const region_table& regions) {
  apply_region_rule(snps, regions, chosen_region_rule_variant().scan);
}

void apply_region_rule(snp_table& snps, const region_table& regions, region_scan_function scan) {
  // One mask per SNP: all ones while no region seen so far contains it.
  std::int32_t outside[MAX_SNPS];
  for (int i = 0; i < snps.count; ++i) outside[i] = -1;
  for (std::size_t b = 0; b < regions.blocks.size() && regions.block_rows(b) > 0; ++b)
    scan(snps.positions, snps.count, regions.blocks[b].get(), regions.block_rows(b), outside);
  for (int i = 0; i < snps.count; ++i)
    if (outside[i] == 0) snps.weights[i] = WEIGHT_INSIDE;
}
