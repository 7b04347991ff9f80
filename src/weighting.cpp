#include "weighting.hpp"

#include <array>
#include <cstdint>

#include "platform.hpp"

void give_default_weights(snp_table& snps) {
  for (int i = 0; i < snps.count; ++i) snps.weights[i] = WEIGHT_OUTSIDE;
}

std::span<const region_rule_variant> region_rule_variants() {
  // Asked of the CPU once, on first use.
  static const std::array<region_rule_variant, 3> variants = [] {
    const platform::vector_unit widest = platform::widest_vector_unit();
    return std::array<region_rule_variant, 3>{{
        {"portable", region_scan_portable, true},
        {"x86-64-v3", region_scan_x86_64_v3, widest >= platform::vector_unit::x86_64_v3},
        {"x86-64-v4", region_scan_x86_64_v4, widest >= platform::vector_unit::x86_64_v4},
    }};
  }();
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
  scan(snps.positions, snps.count, regions.rows, regions.count, outside);
  for (int i = 0; i < snps.count; ++i)
    if (outside[i] == 0) snps.weights[i] = WEIGHT_INSIDE;
}
