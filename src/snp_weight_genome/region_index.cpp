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
  const auto order = static_cast<std::uint32_t>(added_++);
  if (start > end) return;
  if (with_names_)
    regions.tree.push_back({start, end, end, order, name});
  else
    regions.merged.push_back({start, end});
}

namespace {

// Sorts by start and merges regions that overlap: the union, as disjoint
// regions in order, holds exactly the positions inside any of them.
void merge(std::vector<genome_region>& regions) {
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
  regions.shrink_to_fit();
}

}  // namespace

void region_index::finish() {
  by_chromosome_.resize(chromosomes_.size());
  for (chromosome_regions& regions : by_chromosome_) {
    merge(regions.merged);
    auto& tree = regions.tree;
    if (tree.empty()) continue;
    std::sort(tree.begin(), tree.end(),
              [](const tree_node& a, const tree_node& b) { return a.start < b.start; });
    // The implicit tree over the sorted array: the nodes of level k are at
    // the indices whose k lowest bits are 1, with the children of node i
    // at i - 2^(k-1) and i + 2^(k-1). Built bottom up; a right child past
    // the end of the array stands for the subtree of the last node.
    const auto n = static_cast<std::int64_t>(tree.size());
    std::int64_t last_i = 0;
    std::int64_t last = 0;
    for (std::int64_t i = 0; i < n; i += 2) {
      last_i = i;
      last = tree[static_cast<std::size_t>(i)].largest_end = tree[static_cast<std::size_t>(i)].end;
    }
    int k = 1;
    for (; (std::int64_t{1} << k) <= n; ++k) {
      const std::int64_t x = std::int64_t{1} << (k - 1), first = (x << 1) - 1, step = x << 2;
      for (std::int64_t i = first; i < n; i += step) {
        const std::int64_t left = tree[static_cast<std::size_t>(i - x)].largest_end;
        const std::int64_t right = i + x < n ? tree[static_cast<std::size_t>(i + x)].largest_end : last;
        tree_node& node = tree[static_cast<std::size_t>(i)];
        node.largest_end = std::max({node.end, left, right});
      }
      last_i = ((last_i >> k) & 1) != 0 ? last_i - x : last_i + x;
      if (last_i < n && tree[static_cast<std::size_t>(last_i)].largest_end > last)
        last = tree[static_cast<std::size_t>(last_i)].largest_end;
    }
    regions.tree_levels = k - 1;
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

void region_index::holding(const chromosome_regions& regions, std::int64_t position) {
  // Top down from the root, skipping every subtree whose largest end lies
  // before the position; small subtrees are scanned in full.
  const auto& tree = regions.tree;
  const auto n = static_cast<std::int64_t>(tree.size());
  struct frame {
    std::int64_t x;
    int k;
    bool left_done;
  };
  frame stack[64];
  int top = 0;
  stack[top++] = {(std::int64_t{1} << regions.tree_levels) - 1, regions.tree_levels, false};
  while (top > 0) {
    const frame z = stack[--top];
    if (z.k <= 3) {
      const std::int64_t first = z.x >> z.k << z.k;
      const std::int64_t last = std::min(first + (std::int64_t{1} << (z.k + 1)) - 1, n);
      for (std::int64_t i = first; i < last && tree[static_cast<std::size_t>(i)].start <= position; ++i)
        if (inside(position, tree[static_cast<std::size_t>(i)]))
          found_.push_back(&tree[static_cast<std::size_t>(i)]);
    } else if (!z.left_done) {
      const std::int64_t left = z.x - (std::int64_t{1} << (z.k - 1));
      stack[top++] = {z.x, z.k, true};
      if (left >= n || tree[static_cast<std::size_t>(left)].largest_end >= position)
        stack[top++] = {left, z.k - 1, false};
    } else if (z.x < n && tree[static_cast<std::size_t>(z.x)].start <= position) {
      if (inside(position, tree[static_cast<std::size_t>(z.x)]))
        found_.push_back(&tree[static_cast<std::size_t>(z.x)]);
      stack[top++] = {z.x + (std::int64_t{1} << (z.k - 1)), z.k - 1, false};
    }
  }
}

bool region_index::lookup(std::uint32_t chromosome, std::int64_t position, std::string* names) {
  if (chromosome >= by_chromosome_.size()) return false;
  chromosome_regions& regions = by_chromosome_[chromosome];
  if (!with_names_) return inside_merged(regions, position);
  if (regions.tree.empty()) {
    if (names != nullptr) names->clear();
    return false;
  }
  found_.clear();
  holding(regions, position);
  if (names != nullptr) {
    names->clear();
    std::sort(found_.begin(), found_.end(),
              [](const tree_node* a, const tree_node* b) { return a->order < b->order; });
    for (const tree_node* node : found_) {
      if (node->name == NO_NAME) continue;
      const std::string_view name(names_.data() + name_starts_[node->name],
                                  name_starts_[node->name + 1] - name_starts_[node->name]);
      // Each name once: the exons of one gene hold a SNP under one name.
      bool seen = false;
      for (std::size_t at = 0; at < names->size() && !seen;) {
        const std::size_t comma = std::min(names->find(',', at), names->size());
        seen = std::string_view(*names).substr(at, comma - at) == name;
        at = comma + 1;
      }
      if (seen) continue;
      if (!names->empty()) *names += ',';
      *names += name;
    }
  }
  return !found_.empty();
}
