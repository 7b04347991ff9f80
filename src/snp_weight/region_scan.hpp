// The region rule's kernel. One source, region_scan.cpp, is compiled once
// per instruction set of the target, each time with its own compiler flags
// and its own entry point; the dispatcher in weighting.cpp picks the widest
// one that the CPU runs. CMakeLists.txt holds the one list of variants.
#pragma once

#include <cstdint>

#include "records.hpp"

// Clears outside[i] (to 0) for every SNP i, 0 <= i < snp_count, whose
// position lies inside any of the `region_count` rows: start <= position
// <= end, as signed 32-bit values. Never sets a mask; every pair is compared.
using region_scan_function = void (*)(const std::int32_t* positions, int snp_count, const gene_region* rows,
                                      int region_count, std::int32_t* outside);

// One entry point per variant that CMake builds for the target:
// region_scan_portable (baseline x86-64, or the target's own baseline),
// region_scan_x86_64_v3 (AVX2) and region_scan_x86_64_v4 (AVX-512) on x86-64.
#define REGION_SCAN_VARIANT(name, label)                                                         \
  void region_scan_##name(const std::int32_t* positions, int snp_count, const gene_region* rows, \
                          int region_count, std::int32_t* outside);
#include "region_scan_variants.inc"
#undef REGION_SCAN_VARIANT
