#include "region_index.hpp"

#include <algorithm>
#include <functional>
#include <limits>
#include <queue>

#include "genome_records.hpp"
#include "region_rule.hpp"

void region_index::add(std::uint32_t chromosome, std::int64_t start, std::int64_t end, std::uint32_t name,
                       unsigned region_class) {
  if (chromosome >= by_chromosome_.size()) by_chromosome_.resize(chromosome + 1);
  const auto id = static_cast<std::uint32_t>(added_++);
  if (region_class >= class_sizes_.size()) class_sizes_.resize(region_class + 1, 0);
  ++class_sizes_[region_class];
  if (name != NO_NAME) {
    region_names_.resize(added_, NO_NAME);
    region_names_[id] = name;
  }
  if (start > end) return;
  chromosome_regions& regions = by_chromosome_[chromosome];
  if (merged_only())
    regions.stretches.push_back({start, end});
  else
    regions.sorted.push_back({start, end, id, region_class});
}

void region_index::note_span(std::uint32_t name, std::uint32_t chromosome, std::int64_t start,
                             std::int64_t end) {
  const auto [found, added] = span_index_.try_emplace(std::uint64_t{name} << 32 | chromosome, spans_.size());
  if (added) {
    spans_.push_back({name, chromosome, start, end});
    return;
  }
  name_span& span = spans_[found->second];
  span.start = std::min(span.start, start);
  span.end = std::max(span.end, end);
}

namespace {

// Sorts by start and merges regions that overlap or touch, where they are:
// the union, as disjoint regions in order.
void merge(std::vector<genome_region>& regions) {
  const auto by_start = [](const genome_region& a, const genome_region& b) { return a.start < b.start; };
  // Files are mostly sorted already: then no sort is needed.
  if (!std::is_sorted(regions.begin(), regions.end(), by_start)) std::sort(regions.begin(), regions.end(), by_start);
  std::size_t kept = 0;
  for (const genome_region& region : regions) {
    if (kept > 0 && region.start <= regions[kept - 1].end + 1)
      regions[kept - 1].end = std::max(regions[kept - 1].end, region.end);
    else
      regions[kept++] = region;
  }
  regions.resize(kept);
  regions.shrink_to_fit();
}

}  // namespace

void region_index::finish() {
  by_chromosome_.resize(chromosomes_.size());
  const auto by_start = [](const placed_region& a, const placed_region& b) { return a.start < b.start; };
  for (chromosome_regions& regions : by_chromosome_) {
    if (merged_only()) {
      merge(regions.stretches);
      continue;
    }
    if (!std::is_sorted(regions.sorted.begin(), regions.sorted.end(), by_start))
      std::stable_sort(regions.sorted.begin(), regions.sorted.end(), by_start);
    sweep(regions);
    if (keep_regions_)
      build_tree(regions);
    else
      regions.sorted = {};
  }
}

// The tree over the sorted array: node i is at level k when i has k
// trailing one bits; its children are i -/+ 2^(k-1). Leaves (even i) hold
// their own end; a node whose right subtree lies past the array's end takes
// the largest end of what is there.
void region_index::build_tree(chromosome_regions& regions) {
  const auto& sorted = regions.sorted;
  const std::size_t n = sorted.size();
  auto& max_end = regions.max_end;
  max_end.assign(n, 0);
  if (n == 0) return;
  std::size_t last = 0;
  std::int64_t last_end = 0;
  for (std::size_t i = 0; i < n; i += 2) {
    max_end[i] = sorted[i].end;
    last = i;
    last_end = sorted[i].end;
  }
  int level = 1;
  for (; (std::size_t{1} << level) <= n; ++level) {
    const std::size_t half = std::size_t{1} << (level - 1);
    for (std::size_t i = (half << 1) - 1; i < n; i += half << 2) {
      const std::int64_t right = i + half < n ? max_end[i + half] : last_end;
      max_end[i] = std::max({sorted[i].end, max_end[i - half], right});
    }
    last = (last >> level & 1) != 0 ? last - half : last + half;  // up to its parent
    if (last < n && max_end[last] > last_end) last_end = max_end[last];
  }
  regions.levels = level - 1;
}

// The coverage, swept along the chromosome: starts come from the sorted
// array, ends from a heap of the regions that hold the sweep's position.
void region_index::sweep(chromosome_regions& regions) {
  using ending = std::pair<std::int64_t, unsigned>;  // a region's end and class
  std::priority_queue<ending, std::vector<ending>, std::greater<>> ends;
  std::vector<std::uint32_t> depth(MAX_CLASSES, 0);
  std::uint64_t mask = 0;
  std::int64_t from = 0;
  auto& stretches = regions.stretches;
  const auto emit = [&](std::int64_t start, std::int64_t end, std::uint64_t classes) {
    if (!stretches.empty() && stretches.back().end + 1 == start && regions.masks.back() == classes) {
      stretches.back().end = end;
      return;
    }
    stretches.push_back({start, end});
    regions.masks.push_back(classes);
  };
  constexpr std::int64_t never = std::numeric_limits<std::int64_t>::max();
  const auto& sorted = regions.sorted;
  for (std::size_t i = 0; i < sorted.size() || !ends.empty();) {
    // Bounds reach 2^62 at most: end + 1 cannot overflow.
    const std::int64_t next_start = i < sorted.size() ? sorted[i].start : never;
    const std::int64_t next_stop = ends.empty() ? never : ends.top().first + 1;
    const std::int64_t at = std::min(next_start, next_stop);
    if (mask != 0 && at > from) emit(from, at - 1, mask);
    from = at;
    for (; !ends.empty() && ends.top().first + 1 == at; ends.pop())
      if (--depth[ends.top().second] == 0) mask &= ~(std::uint64_t{1} << ends.top().second);
    for (; i < sorted.size() && sorted[i].start == at; ++i) {
      const unsigned c = sorted[i].region_class;
      if (depth[c]++ == 0) mask |= std::uint64_t{1} << c;
      ends.emplace(sorted[i].end, c);
    }
  }
}

std::uint64_t region_index::classes_at(std::uint32_t chromosome, std::int64_t position,
                                       index_cursor& cursor) const {
  if (chromosome >= by_chromosome_.size()) return 0;
  const chromosome_regions& regions = by_chromosome_[chromosome];
  if (cursor.chromosomes.size() <= chromosome) cursor.chromosomes.resize(chromosome + 1);
  index_cursor::place& last = cursor.chromosomes[chromosome];
  const auto& stretches = regions.stretches;
  const auto before = [position](const genome_region& g) { return g.end < position; };
  std::size_t r = last.stretch;
  if (position < last.position || r > stretches.size()) {
    // Back to an earlier position: the first stretch that ends at or after it.
    r = static_cast<std::size_t>(std::partition_point(stretches.begin(), stretches.end(), before) -
                                 stretches.begin());
  } else {
    // Forward: the stretches' ends rise, so each is passed once while the
    // SNPs come sorted; a long jump is a binary search.
    std::size_t probe = 1;
    while (r + probe < stretches.size() && stretches[r + probe].end < position) probe *= 2;
    const auto from = stretches.begin() + static_cast<std::ptrdiff_t>(r);
    const auto to = stretches.begin() + static_cast<std::ptrdiff_t>(std::min(r + probe + 1, stretches.size()));
    r = static_cast<std::size_t>(std::partition_point(from, to, before) - stretches.begin());
  }
  last.stretch = r;
  last.position = position;
  if (r == stretches.size() || !inside(position, stretches[r])) return 0;
  return regions.masks.empty() ? 1 : regions.masks[r];
}

void region_index::regions_at(std::uint32_t chromosome, std::int64_t position,
                              std::vector<std::uint32_t>& ids) const {
  ids.clear();
  if (chromosome >= by_chromosome_.size() || by_chromosome_[chromosome].levels < 0) return;
  const chromosome_regions& regions = by_chromosome_[chromosome];
  const auto& sorted = regions.sorted;
  const std::size_t n = sorted.size();
  struct node {
    std::size_t at;
    int level;
    bool left_done;
  };
  node stack[130];
  int top = 0;
  stack[top++] = {(std::size_t{1} << regions.levels) - 1, regions.levels, false};
  while (top > 0) {
    const node z = stack[--top];
    if (z.level <= 3) {
      // A small subtree: its regions, scanned in order of start.
      const std::size_t first = z.at >> z.level << z.level;
      const std::size_t last = std::min(first + (std::size_t{2} << z.level) - 1, n);
      for (std::size_t i = first; i < last && sorted[i].start <= position; ++i)
        if (inside(position, genome_region{sorted[i].start, sorted[i].end})) ids.push_back(sorted[i].id);
    } else if (!z.left_done) {
      const std::size_t left = z.at - (std::size_t{1} << (z.level - 1));
      stack[top++] = {z.at, z.level, true};
      if (left >= n || regions.max_end[left] >= position) stack[top++] = {left, z.level - 1, false};
    } else if (z.at < n && sorted[z.at].start <= position) {
      if (inside(position, genome_region{sorted[z.at].start, sorted[z.at].end})) ids.push_back(sorted[z.at].id);
      stack[top++] = {z.at + (std::size_t{1} << (z.level - 1)), z.level - 1, false};
    }
  }
  std::sort(ids.begin(), ids.end());  // file order
}
