// snp_weight_genome's record types and bounds.
#pragma once

#include <htslib/vcf.h>

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

// One SNP as a reader gives it. The views point into the reader's line or
// record, and hold until the next SNP is read.
struct genome_snp {
  std::string_view name;          // empty when the file gives none ("." or empty)
  std::string_view chromosome;    // as written
  std::string_view match;         // the chromosome that regions are matched by (PLINK's 23 is X)
  std::int64_t position = 0;      // 1-based
  std::string_view alt;           // the ALT allele, or A1: empty where the format has none
  std::string_view centimorgans;  // a .bim's third column, else empty
  bcf1_t* variant = nullptr;      // VCF and BCF: the record as read, for an output that writes it back
};

// What a line of SNPs held.
enum class line_reading {
  snp,      // a SNP
  skipped,  // a comment, an empty line, a BED header, a record not asked for
  refused,  // the line is wrong: why is in the message given
};

// The longest line of a text input: no file of these formats comes near,
// and an endless line (/dev/zero) ends with a refusal rather than all the
// memory.
inline constexpr std::size_t MAX_LINE_LENGTH = std::size_t{1} << 24;
