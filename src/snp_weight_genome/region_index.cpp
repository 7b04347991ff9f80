#include "region_index.hpp"

#include <algorithm>
#include <functional>
#include <limits>
#include <queue>

#include "genome_records.hpp"
#include "region_rule.hpp"

void region_index::note_run(std::uint32_t chromosome, std::size_t added) {
  if (runs_.empty() || runs_.back().chromosome != chromosome) runs_.push_back({chromosome, added});
}

void region_index::add(std::uint32_t chromosome, std::int64_t start, std::int64_t end, std::uint32_t name,
                       unsigned region_class) {
  const auto id = static_cast<std::uint32_t>(added_++);
  if (region_class >= class_sizes_.size()) class_sizes_.resize(region_class + 1, 0);
  ++class_sizes_[region_class];
  if (name != NO_NAME) {
    region_names_.resize(added_, NO_NAME);
    region_names_[id] = name;
  }
  if (start > end) return;
  if (merged_only()) {
    note_run(chromosome, stretches_.size());
    stretches_.push_back({start, end});
  } else {
    note_run(chromosome, sorted_.size());
    sorted_.push_back({start, end, id, region_class});
  }
}

void region_index::note_span(std::uint32_t name, std::uint32_t chromosome, std::int64_t start,
                             std::int64_t end) {
  if (spans_.empty() || spans_.back().name != name || spans_.back().chromosome != chromosome) {
    spans_.push_back({name, chromosome, start, end, NO_SPAN});
    return;
  }
  name_span& span = spans_.back();
  span.start = std::min(span.start, start);
  span.end = std::max(span.end, end);
}

void region_index::unify_names() {
  names_.finish();
  for (std::uint32_t& name : region_names_)
    if (name != NO_NAME) name = names_.first(name);
  if (spans_.empty()) return;
  first_span_.assign(names_.size(), NO_SPAN);
  for (std::size_t k = 0; k < spans_.size(); ++k) {
    name_span& span = spans_[k];
    span.name = names_.first(span.name);
    std::uint32_t* link = &first_span_[span.name];
    while (*link != NO_SPAN && spans_[*link].chromosome != span.chromosome) link = &spans_[*link].next;
    if (*link == NO_SPAN) {
      *link = static_cast<std::uint32_t>(k);
      continue;
    }
    name_span& earlier = spans_[*link];
    earlier.start = std::min(earlier.start, span.start);
    earlier.end = std::max(earlier.end, span.end);
    span.name = NO_NAME;
  }
}

template <class Region>
void region_index::group_by_chromosome(large_vector<Region>& regions) {
  extents_.assign(chromosomes_.size(), chromosome_extent{});
  std::vector<std::size_t> sizes(chromosomes_.size(), 0);
  bool in_order = true;
  for (std::size_t k = 0; k < runs_.size(); ++k) {
    const std::size_t end = k + 1 < runs_.size() ? runs_[k + 1].begin : regions.size();
    sizes[runs_[k].chromosome] += end - runs_[k].begin;
    in_order = in_order && (k == 0 || runs_[k].chromosome > runs_[k - 1].chromosome);
  }
  std::size_t at = 0;
  for (std::size_t c = 0; c < sizes.size(); ++c) {
    extents_[c].regions_begin = at;
    at += sizes[c];
    extents_[c].regions_end = at;
  }
  if (!in_order) {
    // Unsorted files, or several: each run copied to its chromosome's place,
    // runs in the order they came.
    large_vector<Region> grouped(regions.size());
    std::vector<std::size_t> next(sizes.size());
    for (std::size_t c = 0; c < sizes.size(); ++c) next[c] = extents_[c].regions_begin;
    for (std::size_t k = 0; k < runs_.size(); ++k) {
      const std::size_t end = k + 1 < runs_.size() ? runs_[k + 1].begin : regions.size();
      std::copy(regions.begin() + static_cast<std::ptrdiff_t>(runs_[k].begin),
                regions.begin() + static_cast<std::ptrdiff_t>(end),
                grouped.begin() + static_cast<std::ptrdiff_t>(next[runs_[k].chromosome]));
      next[runs_[k].chromosome] += end - runs_[k].begin;
    }
    regions.swap(grouped);
  }
  runs_ = {};
}

void region_index::finish() {
  unify_names();
  if (merged_only()) {
    group_by_chromosome(stretches_);
    std::size_t kept = 0;
    for (chromosome_extent& extent : extents_) merge_chromosome(extent, kept);
    stretches_.resize(kept);
    stretches_.shrink_to_fit();
    return;
  }
  group_by_chromosome(sorted_);
  for (chromosome_extent& extent : extents_) {
    extent.stretches_begin = stretches_.size();
    if (!keep_regions_) {
      combine_chromosome(extent);
    } else {
      sweep_chromosome(extent);
      build_tree(extent);
    }
    extent.stretches_end = stretches_.size();
  }
  if (!keep_regions_) sorted_ = {};
  stretches_.shrink_to_fit();
  masks_.shrink_to_fit();
}

namespace {

// Sorts by start and merges regions that overlap or touch, writing the
// union, as disjoint regions in order, from `to` on (at or before `first`):
// where it ends.
template <class Iterator>
Iterator merge(Iterator first, Iterator last, Iterator to) {
  const auto by_start = [](const auto& a, const auto& b) { return a.start < b.start; };
  // Files are mostly sorted already: then no sort is needed.
  if (!std::is_sorted(first, last, by_start)) std::sort(first, last, by_start);
  Iterator kept = to;
  for (; first != last; ++first) {
    if (kept != to && first->start <= std::prev(kept)->end + 1) {
      std::prev(kept)->end = std::max(std::prev(kept)->end, first->end);
    } else {
      *kept = *first;
      ++kept;
    }
  }
  return kept;
}

}  // namespace

void region_index::merge_chromosome(chromosome_extent& extent, std::size_t& kept) {
  const auto at = [this](std::size_t k) { return stretches_.begin() + static_cast<std::ptrdiff_t>(k); };
  extent.stretches_begin = kept;
  kept = static_cast<std::size_t>(merge(at(extent.regions_begin), at(extent.regions_end), at(kept)) -
                                  stretches_.begin());
  extent.stretches_end = kept;
  extent.regions_begin = extent.regions_end = 0;
}

void region_index::emit(std::int64_t start, std::int64_t end, std::uint64_t classes) {
  if (!stretches_.empty() && stretches_.back().end + 1 == start && masks_.back() == classes) {
    stretches_.back().end = end;
    return;
  }
  stretches_.push_back({start, end});
  masks_.push_back(classes);
}

// Each class's regions, merged apart, are disjoint and in order, so at any
// position a class has one region ahead of it at most: the next change of
// coverage is the nearest start or end among the classes' next regions.
void region_index::combine_chromosome(chromosome_extent& extent) {
  const auto first = sorted_.begin() + static_cast<std::ptrdiff_t>(extent.regions_begin);
  const auto last = sorted_.begin() + static_cast<std::ptrdiff_t>(extent.regions_end);
  std::stable_sort(first, last, [](const placed_region& a, const placed_region& b) {
    return a.region_class < b.region_class;
  });
  struct class_regions {
    unsigned region_class;
    large_vector<placed_region>::iterator next, end;
  };
  std::vector<class_regions> by_class;
  for (auto from = first; from != last;) {
    const unsigned region_class = from->region_class;
    const auto to = std::find_if(from, last, [&](const placed_region& r) { return r.region_class != region_class; });
    by_class.push_back({region_class, from, merge(from, to, from)});
    from = to;
  }
  constexpr std::int64_t never = std::numeric_limits<std::int64_t>::max();
  std::int64_t from = never;
  for (const class_regions& regions : by_class) from = std::min(from, regions.next->start);
  while (from != never) {
    std::uint64_t mask = 0;
    std::int64_t to = never;
    std::int64_t after = never;  // where coverage starts again, when none holds `from`
    for (const class_regions& regions : by_class) {
      if (regions.next == regions.end) continue;
      if (regions.next->start <= from) {
        mask |= std::uint64_t{1} << regions.region_class;
        to = std::min(to, regions.next->end);
      } else {
        to = std::min(to, regions.next->start - 1);
        after = std::min(after, regions.next->start);
      }
    }
    if (mask == 0) {
      from = after;
      continue;
    }
    emit(from, to, mask);
    for (class_regions& regions : by_class)
      if (regions.next != regions.end && regions.next->start <= from && regions.next->end == to) ++regions.next;
    // Bounds reach 2^62 at most: to + 1 cannot overflow.
    from = to + 1;
  }
}

// The coverage, swept along the chromosome: starts come from the sorted
// regions, ends from a heap of the regions that hold the sweep's position.
void region_index::sweep_chromosome(chromosome_extent& extent) {
  const auto first = sorted_.begin() + static_cast<std::ptrdiff_t>(extent.regions_begin);
  const auto last = sorted_.begin() + static_cast<std::ptrdiff_t>(extent.regions_end);
  const auto by_start = [](const placed_region& a, const placed_region& b) { return a.start < b.start; };
  if (!std::is_sorted(first, last, by_start)) std::stable_sort(first, last, by_start);
  using ending = std::pair<std::int64_t, unsigned>;  // a region's end and class
  std::priority_queue<ending, std::vector<ending>, std::greater<>> ends;
  std::vector<std::uint32_t> depth(MAX_CLASSES, 0);
  std::uint64_t mask = 0;
  std::int64_t from = 0;
  constexpr std::int64_t never = std::numeric_limits<std::int64_t>::max();
  for (auto next = first; next != last || !ends.empty();) {
    // Bounds reach 2^62 at most: end + 1 cannot overflow.
    const std::int64_t next_start = next != last ? next->start : never;
    const std::int64_t next_stop = ends.empty() ? never : ends.top().first + 1;
    const std::int64_t at = std::min(next_start, next_stop);
    if (mask != 0 && at > from) emit(from, at - 1, mask);
    from = at;
    for (; !ends.empty() && ends.top().first + 1 == at; ends.pop())
      if (--depth[ends.top().second] == 0) mask &= ~(std::uint64_t{1} << ends.top().second);
    for (; next != last && next->start == at; ++next) {
      const unsigned c = next->region_class;
      if (depth[c]++ == 0) mask |= std::uint64_t{1} << c;
      ends.emplace(next->end, c);
    }
  }
}

// The tree over a chromosome's sorted regions: node i is at level k when i
// has k trailing one bits; its children are i -/+ 2^(k-1). Leaves (even i)
// hold their own end; a node whose right subtree lies past the array's end
// takes the largest end of what is there.
void region_index::build_tree(chromosome_extent& extent) {
  max_end_.resize(sorted_.size());
  const placed_region* sorted = sorted_.data() + extent.regions_begin;
  std::int64_t* max_end = max_end_.data() + extent.regions_begin;
  const std::size_t n = extent.regions_end - extent.regions_begin;
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
  extent.levels = level - 1;
}

std::uint64_t region_index::classes_at(std::uint32_t chromosome, std::int64_t position,
                                       index_cursor& cursor) const {
  if (chromosome >= extents_.size()) return 0;
  const chromosome_extent& extent = extents_[chromosome];
  if (cursor.chromosomes.size() <= chromosome) cursor.chromosomes.resize(chromosome + 1);
  index_cursor::place& last = cursor.chromosomes[chromosome];
  const genome_region* stretches = stretches_.data() + extent.stretches_begin;
  const std::size_t size = extent.stretches_end - extent.stretches_begin;
  const auto before = [position](const genome_region& g) { return g.end < position; };
  std::size_t r = last.stretch;
  if (position < last.position || r > size) {
    // Back to an earlier position: the first stretch that ends at or after it.
    r = static_cast<std::size_t>(std::partition_point(stretches, stretches + size, before) - stretches);
  } else {
    // Forward: the stretches' ends rise, so each is passed once while the
    // SNPs come sorted; a long jump is a binary search.
    std::size_t probe = 1;
    while (r + probe < size && stretches[r + probe].end < position) probe *= 2;
    r = static_cast<std::size_t>(
        std::partition_point(stretches + r, stretches + std::min(r + probe + 1, size), before) - stretches);
  }
  last.stretch = r;
  last.position = position;
  if (r == size || !inside(position, stretches[r])) return 0;
  return masks_.empty() ? 1 : masks_[extent.stretches_begin + r];
}

void region_index::regions_at(std::uint32_t chromosome, std::int64_t position,
                              std::vector<std::uint32_t>& ids) const {
  ids.clear();
  if (chromosome >= extents_.size() || extents_[chromosome].levels < 0) return;
  const chromosome_extent& extent = extents_[chromosome];
  const placed_region* sorted = sorted_.data() + extent.regions_begin;
  const std::int64_t* max_end = max_end_.data() + extent.regions_begin;
  const std::size_t n = extent.regions_end - extent.regions_begin;
  struct node {
    std::size_t at;
    int level;
    bool left_done;
  };
  node stack[130];
  int top = 0;
  stack[top++] = {(std::size_t{1} << extent.levels) - 1, extent.levels, false};
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
      if (left >= n || max_end[left] >= position) stack[top++] = {left, z.level - 1, false};
    } else if (z.at < n && sorted[z.at].start <= position) {
      if (inside(position, genome_region{sorted[z.at].start, sorted[z.at].end})) ids.push_back(sorted[z.at].id);
      stack[top++] = {z.at + (std::size_t{1} << (z.level - 1)), z.level - 1, false};
    }
  }
  std::sort(ids.begin(), ids.end());  // file order
}
