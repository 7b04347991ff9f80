// snp_weight's record types, tables and constants.
//
// Its two tables live in static storage owned by its run sequence
// (snp_weight/run.cpp), which hands each phase the table it works on. Rows
// are numbered from 0 in the order in which they were read; rows 0 to
// count - 1 are in use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The three files, found by bare name in the current working directory.
inline constexpr const char* SNP_FILE_NAME = "SNP_positions.txt";
inline constexpr const char* REGION_FILE_NAME = "gene_regions.txt";
inline constexpr const char* WEIGHT_FILE_NAME = "weight.txt";

inline constexpr int MAX_SNPS = 2000;
// 2^24 regions: room for a genome's exon or regulatory-element annotation.
// The table is static storage, so pages no region reaches cost nothing.
inline constexpr int MAX_REGIONS = 1 << 24;

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
  gene_region rows[MAX_REGIONS];
  int count;
};
