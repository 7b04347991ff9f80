#include "region_index.hpp"

#include <algorithm>

#include "region_rule.hpp"

region_index::region_index(bool exact_names, bool with_names)
    : chromosomes_(exact_names), with_names_(with_names), name_starts_{0} {}

std::uint32_t region_index::add_name(std::string_view name) {
  names_ += name;
  name_starts_.push_back(static_cast<std::uint32_t>(names_.size()));
  return static_cast<std::uint32_t>(name_starts_.size() - 2);
}

void region_index::add(std::uint32_t chromosome, std::int64_t start, std::int64_t end, std::uint32_t name) {
  if (chromosome >= by_chromosome_.size()) by_chromosome_.resize(chromosome + 1);
  chromosome_regions& regions = by_chromosome_[chromosome];
  ++added_;
  if (start > end) return;
  if (with_names_)
    regions.named.push_back({start, end, name});
  else
    regions.merged.push_back({start, end});
}

namespace {

// Sorts by start and merges regions that overlap: the union, as disjoint
// regions in order, holds exactly the positions inside any of them.
void merge(std::vector<genome_region>& regions) {
  const auto by_start = [](const genome_region& a, const genome_region& b) { return a.start < b.start; };
  // Files are mostly sorted already: then no sort is needed.
  if (!std::is_sorted(regions.begin(), regions.end(), by_start))
    std::sort(regions.begin(), regions.end(), by_start);
  std::size_t kept = 0;
  for (const genome_region& region : regions) {
    if (kept > 0 && region.start <= regions[kept - 1].end)
      regions[kept - 1].end = std::max(regions[kept - 1].end, region.end);
    else
      regions[kept++] = region;
  }
  regions.resize(kept);
  regions.shrink_to_fit();
}

}  // namespace

std::size_t region_index::bin_of(const chromosome_regions& regions, std::int64_t position) {
  // Bounds reach 2^62 either way: the distance is taken as unsigned.
  return static_cast<std::size_t>(
      (static_cast<std::uint64_t>(position) - static_cast<std::uint64_t>(regions.origin)) / regions.width);
}

void region_index::fill_bins(chromosome_regions& regions) {
  auto& named = regions.named;
  if (named.empty()) return;
  // Bounds reach 2^62 either way: spans are taken as unsigned, lengths
  // summed as floating point.
  const auto span = [](std::int64_t from, std::int64_t to) {
    return static_cast<std::uint64_t>(to) - static_cast<std::uint64_t>(from);
  };
  std::int64_t first = named.front().start, last = named.front().end;
  double total = 0;
  for (const auto& region : named) {
    first = std::min(first, region.start);
    last = std::max(last, region.end);
    total += static_cast<double>(span(region.start, region.end)) + 1;
  }
  const auto count = static_cast<double>(named.size());
  const double width =
      std::max({1.0, total / count, static_cast<double>(span(first, last)) / (4 * count) + 1});
  regions.origin = first;
  regions.width = static_cast<std::uint64_t>(std::min(width, 0x1p62));
  // Count, then place: each bin's regions stay in file order.
  regions.bin_starts.assign(bin_of(regions, last) + 2, 0);
  for (const auto& region : named)
    for (std::size_t b = bin_of(regions, region.start); b <= bin_of(regions, region.end); ++b)
      ++regions.bin_starts[b + 1];
  for (std::size_t b = 1; b < regions.bin_starts.size(); ++b)
    regions.bin_starts[b] += regions.bin_starts[b - 1];
  regions.binned.resize(regions.bin_starts.back());
  std::vector<std::size_t> next(regions.bin_starts.begin(), regions.bin_starts.end() - 1);
  for (const auto& region : named)
    for (std::size_t b = bin_of(regions, region.start); b <= bin_of(regions, region.end); ++b)
      regions.binned[next[b]++] = region;
  named = {};
}

void region_index::finish() {
  by_chromosome_.resize(chromosomes_.size());
  for (chromosome_regions& regions : by_chromosome_) {
    merge(regions.merged);
    fill_bins(regions);
  }
}

bool region_index::inside_merged(chromosome_regions& regions, std::int64_t position) {
  const auto& merged = regions.merged;
  std::size_t r = regions.cursor;
  if (position < regions.last_position || r > merged.size()) {
    // Back to an earlier position: the first region that ends at or after it.
    r = static_cast<std::size_t>(
        std::partition_point(merged.begin(), merged.end(),
                             [position](const genome_region& g) { return g.end < position; }) -
        merged.begin());
  } else {
    // Forward: the regions' ends rise, so each is passed once while the
    // SNPs come sorted; a long jump is a binary search.
    std::size_t probe = 1;
    while (r + probe < merged.size() && merged[r + probe].end < position) probe *= 2;
    const auto from = merged.begin() + static_cast<std::ptrdiff_t>(r);
    const auto to = merged.begin() + static_cast<std::ptrdiff_t>(std::min(r + probe + 1, merged.size()));
    r = static_cast<std::size_t>(
        std::partition_point(from, to, [position](const genome_region& g) { return g.end < position; }) -
        merged.begin());
  }
  regions.cursor = r;
  regions.last_position = position;
  return r < merged.size() && inside(position, merged[r]);
}

bool region_index::lookup(std::uint32_t chromosome, std::int64_t position, std::string* names) {
  if (names != nullptr) names->clear();
  if (chromosome >= by_chromosome_.size()) return false;
  chromosome_regions& regions = by_chromosome_[chromosome];
  if (!with_names_) return inside_merged(regions, position);
  if (regions.binned.empty() || position < regions.origin) return false;
  const std::size_t bin = bin_of(regions, position);
  if (bin + 1 >= regions.bin_starts.size()) return false;
  bool found = false;
  for (std::size_t at = regions.bin_starts[bin]; at < regions.bin_starts[bin + 1]; ++at) {
    const named_region_at& region = regions.binned[at];
    if (!inside(position, region)) continue;
    found = true;
    if (names == nullptr || region.name == NO_NAME) continue;
    const std::string_view name(names_.data() + name_starts_[region.name],
                                name_starts_[region.name + 1] - name_starts_[region.name]);
    // Each name once: the exons of one gene hold a SNP under one name.
    bool seen = false;
    for (std::size_t from = 0; from < names->size() && !seen;) {
      const std::size_t comma = std::min(names->find(',', from), names->size());
      seen = std::string_view(*names).substr(from, comma - from) == name;
      from = comma + 1;
    }
    if (seen) continue;
    if (!names->empty()) *names += ',';
    *names += name;
  }
  return found;
}
