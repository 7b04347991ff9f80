// Reading regions from BED, GTF, GFF3 or a plain table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chromosomes.hpp"
#include "formats.hpp"
#include "genome_records.hpp"
#include "line_reader.hpp"

// The regions of a file, by chromosome: only those on a chromosome that
// some SNP names. Of the others only the count and a name are kept, for the
// message when no chromosome is shared.
struct region_lists {
  std::vector<std::vector<genome_region>> by_chromosome;  // indexed as chromosome_names
  std::uint64_t kept = 0;
  std::uint64_t elsewhere = 0;
  std::string elsewhere_example;
};

// Reads every region of `input` into `regions`, 1-based, both ends inside:
//  - BED: start + 1 to end; "track", "browser" and "#" lines are skipped.
//  - GTF and GFF3: columns 1, 4 and 5 of the lines whose column 3 is
//    `feature`; a file with no such line is refused with the types it has.
//    A GFF3 file's "##FASTA" line ends its annotation.
//  - a table: chromosome, start and end, one region a line; a start above
//    the end is kept, and contains nothing.
// Returns false with a one-line message in `error`.
bool read_regions(hts_input& input, region_format format, const std::string& feature,
                  const chromosome_names& names, region_lists& regions, std::string* error);
