// snp_weight's record types, tables and constants.
//
// Its two tables are owned by its run sequence (snp_weight/run.cpp), which
// hands each phase the table it works on. Rows are numbered from 0 in the
// order in which they were read; rows 0 to count - 1 are in use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "large_table.hpp"

// The three files, found by bare name in the current working directory.
inline constexpr const char* SNP_FILE_NAME = "SNP_positions.txt";
inline constexpr const char* REGION_FILE_NAME = "gene_regions.txt";
inline constexpr const char* WEIGHT_FILE_NAME = "weight.txt";

inline constexpr int MAX_SNPS = 2000;
// 2^24 regions: room for a genome's exon or regulatory-element annotation.
// The region table takes memory as the file needs it, a block of
// REGION_BLOCK rows at a time, so that a small file runs in little memory
// and a memory limit gives a message rather than a crash at start.
inline constexpr int MAX_REGIONS = 1 << 24;
inline constexpr int REGION_BLOCK = 1 << 16;
// Blocks come eight at a time, 4 MiB in huge pages where the system gives
// them: in 4 KiB pages, a million regions cost 2,000 page faults, a third
// of the run.
inline constexpr int REGION_SLAB_BLOCKS = 8;

// A name is at most 19 characters: the field is 20 bytes with a terminator.
inline constexpr int SNP_NAME_SIZE = 20;
inline constexpr int MAX_SNP_NAME_LENGTH = SNP_NAME_SIZE - 1;

// Bounds on what the two input files may hold, which no real file comes
// near: they make every input end, /dev/zero or an endless pipe included.
inline constexpr std::uint64_t MAX_DROPPED_FIELD_LENGTH = std::uint64_t{1} << 24;
inline constexpr std::uint64_t MAX_WHITESPACE_RUN = MAX_DROPPED_FIELD_LENGTH;

inline constexpr double WEIGHT_OUTSIDE = 0.4;
inline constexpr double WEIGHT_INSIDE = 0.8;

// One SNP as the phases see it: a view of one row of the SNP table.
struct snp_record {
  std::string_view name;
  std::int32_t position;
  double weight;
};

// The SNP table, kept as three parallel columns so that the region rule scans
// a dense array of positions.
struct snp_table {
  char names[MAX_SNPS][SNP_NAME_SIZE];
  std::int32_t positions[MAX_SNPS];
  double weights[MAX_SNPS];
  int count;

  snp_record record(int k) const { return {names[k], positions[k], weights[k]}; }
};

// One gene region: both ends are inside it. Stored exactly as read, so a
// region whose start exceeds its end is kept and contains nothing.
struct gene_region {
  std::int32_t start;
  std::int32_t end;
};

struct region_table {
  std::vector<gene_region*> blocks;  // REGION_BLOCK rows each
  int count = 0;

  const gene_region& row(int k) const { return blocks[k / REGION_BLOCK][k % REGION_BLOCK]; }
  // Row k, k <= count, with its block allocated when it is the first.
  gene_region& row_for(int k) {
    if (static_cast<std::size_t>(k / REGION_BLOCK) == blocks.size()) add_block();
    return blocks[k / REGION_BLOCK][k % REGION_BLOCK];
  }
  // How many rows block b holds.
  int block_rows(std::size_t b) const {
    const int first = static_cast<int>(b) * REGION_BLOCK;
    return count - first < REGION_BLOCK ? count - first : REGION_BLOCK;
  }

 private:
  static constexpr std::size_t slab_rows = std::size_t{REGION_SLAB_BLOCKS} * REGION_BLOCK;
  struct slab_release {
    void operator()(gene_region* rows) const noexcept { large_allocator<gene_region>{}.deallocate(rows, slab_rows); }
  };
  void add_block() {
    if (blocks.size() % REGION_SLAB_BLOCKS == 0) slabs_.emplace_back(large_allocator<gene_region>{}.allocate(slab_rows));
    blocks.push_back(slabs_.back().get() + blocks.size() % REGION_SLAB_BLOCKS * REGION_BLOCK);
  }
  std::vector<std::unique_ptr<gene_region[], slab_release>> slabs_;
};
