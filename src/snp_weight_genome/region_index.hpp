// The regions of every chromosome, indexed once they are all read, so that
// each SNP is answered as it streams past: memory is the regions', whatever
// the number of SNPs.
//  - Weights alone: each chromosome's regions are sorted and merged, and a
//    position is looked up from where the last one on that chromosome was
//    found (forward while the SNPs come sorted), or by binary search.
//  - With region names: every region stays, copied into each of the bins
//    it reaches. The bins are of equal width on each chromosome, about a
//    region's mean length (and wide enough that there are at most four
//    per region), so each region lies in three bins on average, and a
//    position is answered by scanning its one bin, whose regions keep the
//    file's order: one or two cache misses however the SNPs come.
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
  // Sorts and merges, or fills the bins; once, after the last add().
  void finish();

  // Whether `position` lies inside a region of `chromosome`. With names,
  // `names` gets those of the regions that hold it, in the order of the
  // file, each once, separated by commas ("" when none is named).
  bool lookup(std::uint32_t chromosome, std::int64_t position, std::string* names = nullptr);

 private:
  struct named_region_at {
    std::int64_t start;
    std::int64_t end;
    std::uint32_t name;
  };
  struct chromosome_regions {
    std::vector<genome_region> merged;
    // With names: the regions in file order while they are read; then each
    // copied into the bins it reaches, bin after bin.
    std::vector<named_region_at> named;
    std::vector<named_region_at> binned;
    std::vector<std::size_t> bin_starts;  // where each bin begins in `binned`, and one past the last
    std::int64_t origin = 0;              // where the first bin begins
    std::uint64_t width = 1;
    // Where the last lookup stopped: the next SNP usually lies beyond it.
    std::int64_t last_position = 0;
    std::size_t cursor = 0;
  };

  bool inside_merged(chromosome_regions& regions, std::int64_t position);
  static void fill_bins(chromosome_regions& regions);
  // The bin of a position at or after the chromosome's first bin.
  static std::size_t bin_of(const chromosome_regions& regions, std::int64_t position);

  chromosome_names chromosomes_;
  bool with_names_;
  std::vector<chromosome_regions> by_chromosome_;
  std::string names_;                       // every name, one after another
  std::vector<std::uint32_t> name_starts_;  // where each begins, and one past the last
  std::uint64_t added_ = 0;
};
