// The regions of every class, indexed once they are all read, so that each
// SNP is answered as it streams past: memory is the regions', whatever the
// number of SNPs. Every region has an id, its place in the order the files
// gave it, and an entry in one table of names and classes.
//
// All regions lie in one array, by chromosome, each chromosome's sorted by
// start, over which an implicit interval tree (as in lh3's cgranges: each
// node of a binary tree laid over the array keeps the largest end below
// it) finds the regions that hold a position. From the same array comes
// the coverage: the stretches of the chromosome where the set of classes
// that hold a position stays the same, in order, so that the classes at a
// position, which is all a weight needs, are one binary search away, or a
// step from where the last lookup on that chromosome stopped while the
// SNPs come sorted. The test is inside(position, region) of region_rule.hpp.
// A few large arrays rather than some per chromosome: they take huge pages
// (large_table.hpp), and a million regions fill them with few page faults.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "chromosomes.hpp"
#include "large_table.hpp"
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
  std::uint32_t next;  // the name's span on another chromosome, or NO_SPAN
};
inline constexpr std::uint32_t NO_SPAN = 0xFFFFFFFF;

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
  // keep the order in which their names first came. Until finish(), one
  // span per run of lines of one name.
  void note_span(std::uint32_t name, std::uint32_t chromosome, std::int64_t start, std::int64_t end);
  // The spans, of the names' first ids; a span that was folded into an
  // earlier one of its name holds NO_NAME.
  const large_vector<name_span>& spans() const { return spans_; }
  // The span of `name` on `chromosome`, as an index into spans(): a name's
  // spans are few (on X and Y, say), and walked.
  std::uint32_t span_of(std::uint32_t name, std::uint32_t chromosome) const {
    std::uint32_t span = first_span_[name];
    while (spans_[span].chromosome != chromosome) span = spans_[span].next;
    return span;
  }

 private:
  struct placed_region {
    std::int64_t start;
    std::int64_t end;
    std::uint32_t id;
    std::uint32_t region_class;
  };
  // Where a chromosome's regions (or, in the merged-only case, its merged
  // regions) start in the one array they all share, and its coverage, and
  // the root level of its tree (-1 for none).
  struct chromosome_extent {
    std::size_t regions_begin = 0, regions_end = 0;
    std::size_t stretches_begin = 0, stretches_end = 0;
    int levels = -1;
  };
  // A run of added regions of one chromosome: sorted files add one run per
  // chromosome.
  struct added_run {
    std::uint32_t chromosome;
    std::size_t begin;
  };

  // Whether only the merged regions are kept.
  bool merged_only() const { return !keep_regions_ && classes_ <= 1; }
  // Notes that the next region added is of `chromosome`.
  void note_run(std::uint32_t chromosome, std::size_t added);
  // Puts `regions` (the array added to) in chromosome order, and sets each
  // chromosome's extent of them.
  template <class Region>
  void group_by_chromosome(large_vector<Region>& regions);
  // The coverage of one chromosome's regions: merged where they are; or by
  // class and combined; or swept along it, and a tree over them.
  void merge_chromosome(chromosome_extent& extent, std::size_t& kept);
  void combine_chromosome(chromosome_extent& extent);
  void sweep_chromosome(chromosome_extent& extent);
  void build_tree(chromosome_extent& extent);
  // Gives every region and span the first id of its name, and folds each
  // name's spans into one per chromosome.
  void unify_names();
  // Appends [start, end] held by `classes` to the coverage, joined to the
  // stretch before when it goes on with the same classes.
  void emit(std::int64_t start, std::int64_t end, std::uint64_t classes);

  chromosome_names chromosomes_;
  name_table names_;
  // Every chromosome's regions in one array each, so that the tables of a
  // million regions are a few large ones.
  large_vector<placed_region> sorted_;      // the regions by chromosome, then start
  large_vector<std::int64_t> max_end_;      // the trees: the largest end below each node
  large_vector<genome_region> stretches_;   // the coverage, by chromosome, in order
  large_vector<std::uint64_t> masks_;       // the classes of each stretch (none: class 0)
  std::vector<chromosome_extent> extents_;  // by chromosome
  std::vector<added_run> runs_;
  large_vector<std::uint32_t> region_names_;  // by id, once a region has a name
  large_vector<name_span> spans_;
  large_vector<std::uint32_t> first_span_;  // by name, after finish()
  std::uint64_t added_ = 0;
  std::vector<std::uint64_t> class_sizes_;
  bool keep_regions_;
  unsigned classes_;
};
