// Reading regions from BED, GTF, GFF3 or a plain table into the index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats.hpp"
#include "genome_input.hpp"
#include "region_index.hpp"

struct region_options {
  region_format format;
  std::vector<std::string> features;  // GTF and GFF3: the feature types read
  std::int64_t upstream = 0;          // bases added before each region's start, by its strand
  std::int64_t downstream = 0;        // and after its end
  bool split = false;                 // BED12: the blocks are the regions
  bool names = false;                 // keep each region's name
};

// Reads every region of `input` into `index`, 1-based, both ends inside:
//  - BED: start + 1 to end, name in column 4, strand in column 6; with
//    `split`, each block of a BED12 line is a region of its own. "track",
//    "browser" and "#" lines are skipped, and a first line whose start is
//    no number ("chrom start end") is a header.
//  - GTF and GFF3: columns 1, 4, 5 and 7 of the lines whose column 3 is one
//    of `features`; the name is GTF's gene_name (else gene_id), GFF3's
//    Name (else ID). A file with no such line is refused with the types it
//    has. A GFF3 file's "##FASTA" line ends its annotation.
//  - a table: chromosome, start and end, one region a line; a start above
//    the end is kept, and contains nothing.
// A region is then widened by `upstream` bases before it and `downstream`
// after it on its strand ('-' swaps them; no strand takes the larger of
// the two on both sides), never below position 1. Returns false with a
// one-line message in `error`.
bool read_regions(genome_input& input, const region_options& options, region_index& index,
                  std::string* error);
