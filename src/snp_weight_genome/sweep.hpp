// snp_weight_genome's region rule: an SNP is inside when inside(position,
// region) holds for some region on its chromosome. Each chromosome's regions
// are sorted and merged once, its SNPs sorted by position (unless they come
// sorted, as VCF files do), and both swept together: O((n + m) log n) for n
// SNPs and m regions, instead of every SNP against every region.
#pragma once

#include <cstdint>
#include <vector>

#include "chromosomes.hpp"
#include "genome_records.hpp"

// For every SNP, in input order: 1 when it lies inside a region of its
// chromosome, else 0. `regions` is indexed by chromosome, as `names`; its
// lists are sorted and merged in place.
std::vector<std::uint8_t> sweep_regions(const genome_snp_table& snps, const chromosome_names& names,
                                        std::vector<std::vector<genome_region>>& regions);

// Sorts regions by start and merges those that overlap, leaving out every
// region whose start exceeds its end: the union, as disjoint regions in
// order, holds exactly the positions inside any of them.
void merge_regions(std::vector<genome_region>& regions);
