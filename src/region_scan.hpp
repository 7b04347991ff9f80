// The region rule's kernel. One source, region_scan.cpp, is compiled once
// per instruction set, each time with its own compiler flags and its own
// entry point; the dispatcher in weighting.cpp picks the widest one that
// the CPU runs.
#pragma once

#include <cstdint>

#include "records.hpp"

// Clears outside[i] (to 0) for every SNP i, 0 <= i < snp_count, whose
// position lies inside any of the `region_count` rows: start <= position
// <= end, as signed 32-bit values. Never sets a mask; every pair is compared.
using region_scan_function = void (*)(const std::int32_t* positions, int snp_count, const gene_region* rows,
                                      int region_count, std::int32_t* outside);

// Baseline x86-64 (SSE2), or whatever the target's baseline is elsewhere.
void region_scan_portable(const std::int32_t* positions, int snp_count, const gene_region* rows,
                          int region_count, std::int32_t* outside);
// x86-64-v3: AVX2.
void region_scan_x86_64_v3(const std::int32_t* positions, int snp_count, const gene_region* rows,
                           int region_count, std::int32_t* outside);
// x86-64-v4: AVX-512.
void region_scan_x86_64_v4(const std::int32_t* positions, int snp_count, const gene_region* rows,
                           int region_count, std::int32_t* outside);
