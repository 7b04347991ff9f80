#include "sweep.hpp"

#include <algorithm>
#include <utility>

#include "region_rule.hpp"

void merge_regions(std::vector<genome_region>& regions) {
  std::erase_if(regions, [](const genome_region& r) { return r.start > r.end; });
  std::sort(regions.begin(), regions.end(),
            [](const genome_region& a, const genome_region& b) { return a.start < b.start; });
  std::size_t kept = 0;
  for (const genome_region& region : regions) {
    if (kept > 0 && region.start <= regions[kept - 1].end)
      regions[kept - 1].end = std::max(regions[kept - 1].end, region.end);
    else
      regions[kept++] = region;
  }
  regions.resize(kept);
}

std::vector<std::uint8_t> sweep_regions(const genome_snp_table& snps, const chromosome_names& names,
                                        std::vector<std::vector<genome_region>>& regions) {
  const std::size_t count = snps.size();
  std::vector<std::uint8_t> in(count, 0);
  // The SNPs of each chromosome, in input order: a counting sort.
  std::vector<std::size_t> first(names.chromosomes() + 1, 0);
  std::vector<std::uint32_t> chromosome(count);
  for (std::size_t i = 0; i < count; ++i) {
    chromosome[i] = names.chromosome(snps.spellings[i]);
    ++first[chromosome[i] + 1];
  }
  for (std::size_t c = 1; c < first.size(); ++c) first[c] += first[c - 1];
  std::vector<std::size_t> order(count);
  {
    std::vector<std::size_t> next(first.begin(), first.end() - 1);
    for (std::size_t i = 0; i < count; ++i) order[next[chromosome[i]]++] = i;
  }
  chromosome = {};

  std::vector<std::pair<std::int64_t, std::size_t>> by_position;
  for (std::size_t c = 0; c + 1 < first.size(); ++c) {
    std::vector<genome_region>& merged = regions[c];
    merge_regions(merged);
    if (merged.empty()) continue;
    const auto begin = order.begin() + static_cast<std::ptrdiff_t>(first[c]);
    const auto end = order.begin() + static_cast<std::ptrdiff_t>(first[c + 1]);
    const auto position = [&snps](std::size_t i) { return snps.positions[i]; };
    if (!std::is_sorted(begin, end,
                        [&](std::size_t a, std::size_t b) { return position(a) < position(b); })) {
      by_position.clear();
      for (auto i = begin; i != end; ++i) by_position.emplace_back(position(*i), *i);
      std::sort(by_position.begin(), by_position.end());
      std::transform(by_position.begin(), by_position.end(), begin, [](const auto& p) { return p.second; });
    }
    // Positions rise, and so do the merged regions' ends: each region is
    // passed once.
    std::size_t r = 0;
    for (auto i = begin; i != end; ++i) {
      const std::int64_t p = position(*i);
      while (r < merged.size() && merged[r].end < p) ++r;
      if (r == merged.size()) break;
      in[*i] = inside(p, merged[r]) ? 1 : 0;
    }
  }
  return in;
}
