// The regions of every class, indexed once they are all read, so that each
// SNP is answered as it streams past: memory is the regions', whatever the
// number of SNPs. Every region has an id, its place in the order the files
// gave it, and an entry in one table of names and classes.
//
// Each chromosome keeps its regions in one array sorted by start, over
// which an implicit interval tree (as in lh3's cgranges: each node of a
// binary tree laid over the array keeps the largest end below it) finds the
// regions that hold a position. From the same array comes the coverage:
// the stretches of the chromosome where the set of classes that hold a
// position stays the same, in order, so that the classes at a position,
// which is all a weight needs, are one binary search away, or a step from
// where the last lookup on that chromosome stopped while the SNPs come
// sorted. The test is inside(position, region) of region_rule.hpp.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "chromosomes.hpp"
#include "genome_records.hpp"
#include "name_table.hpp"

// At most this many region classes: a SNP's classes are the bits of a word.
inline constexpr unsigned MAX_CLASSES = 64;

// Where the regions of one name lie on one chromosome, before any window:
// what a set of the SNPs they hold is named after.
struct name_span {
  std::uint32_t name;
  std::uint32_t chromosome;
  std::int64_t start;
  std::int64_t end;
};

// Where a caller's lookups stopped on each chromosome: lookups from one
// thread share one cursor.
struct index_cursor {
  struct place {
    std::int64_t position = 0;
    std::size_t stretch = 0;
  };
  std::vector<place> chromosomes;
};

class region_index {
 public:
  // `keep_regions`: lookups may ask for the regions themselves, not only
  // their classes. `classes`: how many classes there are (below
  // MAX_CLASSES).
  region_index(bool exact_chromosome_names, bool keep_regions, unsigned classes)
      : chromosomes_(exact_chromosome_names), keep_regions_(keep_regions), classes_(classes) {}

  chromosome_names& chromosomes() { return chromosomes_; }
  const chromosome_names& chromosomes() const { return chromosomes_; }
  name_table& names() { return names_; }
  const name_table& names() const { return names_; }

  // Adds a region of `chromosome` (from chromosomes().add()), 1-based, both
  // ends inside, named `name` (from names().add(), or NO_NAME), of class
  // `region_class`. One whose start is above its end contains nothing.
  void add(std::uint32_t chromosome, std::int64_t start, std::int64_t end, std::uint32_t name,
           unsigned region_class);
  // How many regions were added, and how many classes there are.
  std::uint64_t size() const { return added_; }
  unsigned classes() const { return classes_; }
  std::uint64_t size_of_class(unsigned region_class) const {
    return region_class < class_sizes_.size() ? class_sizes_[region_class] : 0;
  }
  // Indexes what was added; once, after the last add().
  void finish();

  // The classes of the regions that hold `position` on `chromosome`: bit c
  // for class c.
  std::uint64_t classes_at(std::uint32_t chromosome, std::int64_t position, index_cursor& cursor) const;
  // The ids of the regions that hold `position`, in file order, into `ids`
  // (when the regions are kept).
  void regions_at(std::uint32_t chromosome, std::int64_t position, std::vector<std::uint32_t>& ids) const;
  std::uint32_t name_of(std::uint32_t id) const { return id < region_names_.size() ? region_names_[id] : NO_NAME; }

  // Widens the span of `name` on `chromosome` to hold [start, end]; spans
  // keep the order in which their names first came.
  void note_span(std::uint32_t name, std::uint32_t chromosome, std::int64_t start, std::int64_t end);
  const std::vector<name_span>& spans() const { return spans_; }
  // The span of `name` on `chromosome`, as an index into spans().
  std::size_t span_of(std::uint32_t name, std::uint32_t chromosome) const {
    return span_index_.at(std::uint64_t{name} << 32 | chromosome);
  }

 private:
  struct placed_region {
    std::int64_t start;
    std::int64_t end;
    std::uint32_t id;
    std::uint32_t region_class;
  };
  struct chromosome_regions {
    // The coverage: stretches of the chromosome held by the classes
    // masks[k] (by class 0 alone when there are no masks), in order. With
    // one class and no regions kept, the regions themselves until finish()
    // merges them where they are: that is all a weight needs.
    std::vector<genome_region> stretches;
    std::vector<std::uint64_t> masks;
    std::vector<placed_region> sorted;  // the regions kept, by start
    std::vector<std::int64_t> max_end;  // the tree: the largest end below each node
    int levels = -1;                    // the root's level, -1 for no regions
  };

  // Whether only the merged regions are kept.
  bool merged_only() const { return !keep_regions_ && classes_ <= 1; }
  void build_tree(chromosome_regions& regions);
  // The coverage of more than one class, swept along the chromosome.
  static void sweep(chromosome_regions& regions);

  chromosome_names chromosomes_;
  name_table names_;
  std::vector<std::uint32_t> region_names_;  // by id, once a region has a name
  std::vector<chromosome_regions> by_chromosome_;
  std::vector<name_span> spans_;
  std::unordered_map<std::uint64_t, std::size_t> span_index_;  // by name and chromosome
  std::uint64_t added_ = 0;
  std::vector<std::uint64_t> class_sizes_;
  bool keep_regions_;
  unsigned classes_;
};
