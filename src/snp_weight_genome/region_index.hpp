// The regions of every chromosome, indexed once they are all read, so that
// each SNP is answered as it streams past: memory is the regions', whatever
// the number of SNPs.
//  - Weights alone: each chromosome's regions are sorted and merged, and a
//    position is looked up from where the last one on that chromosome was
//    found (forward while the SNPs come sorted), or by binary search.
//  - With region names: every region stays, in an implicit interval tree
//    (a sorted array, each node holding the largest end below it, as
//    cgranges keeps it), which lists every region that holds a position.
// Either way the test is inside(position, region) of region_rule.hpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chromosomes.hpp"
#include "genome_records.hpp"

class region_index {
 public:
  // `exact_names`: chromosomes are matched as written. `with_names`: keep
  // every region, for lookup() to name them.
  region_index(bool exact_names, bool with_names);

  chromosome_names& chromosomes() { return chromosomes_; }
  const chromosome_names& chromosomes() const { return chromosomes_; }

  // A name for regions, stored once: its index, for add().
  std::uint32_t add_name(std::string_view name);
  // Adds a region of `chromosome` (from chromosomes().add()): 1-based, both
  // ends inside. One whose start is above its end contains nothing.
  void add(std::uint32_t chromosome, std::int64_t start, std::int64_t end, std::uint32_t name);
  // How many regions were added.
  std::uint64_t size() const { return added_; }
  // Sorts and merges, or builds the trees; once, after the last add().
  void finish();

  // Whether `position` lies inside a region of `chromosome`. With names,
  // `names` gets those of the regions that hold it, in the order of the
  // file, each once, separated by commas ("" when none is named).
  bool lookup(std::uint32_t chromosome, std::int64_t position, std::string* names = nullptr);

 private:
  struct tree_node {
    std::int64_t start;
    std::int64_t end;
    std::int64_t largest_end;  // of the node and every node below it
    std::uint32_t order;       // in the file
    std::uint32_t name;
  };
  struct chromosome_regions {
    std::vector<genome_region> merged;
    std::vector<tree_node> tree;
    int tree_levels = -1;
    // Where the last lookup stopped: the next SNP usually lies beyond it.
    std::int64_t last_position = 0;
    std::size_t cursor = 0;
  };

  bool inside_merged(chromosome_regions& regions, std::int64_t position);
  void holding(const chromosome_regions& regions, std::int64_t position);

  chromosome_names chromosomes_;
  bool with_names_;
  std::vector<chromosome_regions> by_chromosome_;
  std::string names_;                       // every name, one after another
  std::vector<std::uint32_t> name_starts_;  // where each begins, and one past the last
  std::uint64_t added_ = 0;
  std::vector<const tree_node*> found_;  // lookup()'s scratch
};
