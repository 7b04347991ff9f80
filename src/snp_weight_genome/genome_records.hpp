// snp_weight_genome's record types and bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// A region: 1-based, both ends inside, on the chromosome whose list holds
// it. Positions are 64-bit: some genomes have chromosomes longer than 2^31
// bases.
struct genome_region {
  std::int64_t start;
  std::int64_t end;
};

// A region as its file gives it, before it is indexed: its bounds, its
// strand ('+', '-' or '.'), and its name as an index into the region names
// (NO_NAME when it has none).
struct named_region {
  std::int64_t start;
  std::int64_t end;
  std::uint32_t name;
  char strand;
};
inline constexpr std::uint32_t NO_NAME = 0xFFFFFFFF;

// One SNP as it is read. The views point into the reader's line and hold
// until the next SNP is read.
struct genome_snp {
  std::string_view name;        // empty when the file gives none
  std::string_view chromosome;  // as written
  std::int64_t position;        // 1-based
};

// The longest line of a text input: no file of these formats comes near,
// and an endless line (/dev/zero) ends with a refusal rather than all the
// memory.
inline constexpr std::size_t MAX_LINE_LENGTH = std::size_t{1} << 24;
