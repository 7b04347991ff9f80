// Reading regions from BED, GTF, GFF3 or a plain table into the index.
//  - BED: start + 1 to end, name in column 4, strand in column 6; with
//    `split`, each block of a BED12 line is a region of its own. "track",
//    "browser" and "#" lines are skipped, and a first line whose start is
//    no number ("chrom start end") is a header.
//  - GTF and GFF3: columns 1, 4, 5 and 7 of the lines whose column 3 is one
//    of a class's feature types; the name is GTF's gene_name (else
//    gene_id), GFF3's Name (else ID). A class that no line feeds is refused
//    with the types the file has. A GFF3 file's "##FASTA" line ends its
//    annotation.
//  - a table: chromosome, start and end, one region a line; a start above
//    the end is kept, and contains nothing.
// A region is then widened by `upstream` bases before it and `downstream`
// after it on its strand ('-' swaps them; no strand takes the larger of
// the two on both sides), never below position 1.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats.hpp"
#include "builds.hpp"
#include "byte_source.hpp"
#include "line_pipeline.hpp"
#include "region_index.hpp"

// One class that a region file feeds: its id in the index, and for GTF and
// GFF3 the feature types whose lines are its regions.
struct region_class_of_file {
  unsigned id;
  std::vector<std::string> features;
};

struct region_reading {
  region_format format;
  std::vector<region_class_of_file> classes;
  std::int64_t upstream = 0;    // bases added before each region's start, by its strand
  std::int64_t downstream = 0;  // and after its end
  bool split = false;           // BED12: the blocks are the regions
  bool names = false;           // keep each region's name
  bool spans = false;           // and the span of each name's regions, before any window
  // What the file declares of its build (GFF3's ##sequence-region lines,
  // RefSeq accessions), when asked.
  declared_build* declared = nullptr;
};

// Reads every region of `source`, named `path` in messages, into `index`:
// the lines parsed on plan.workers threads (a GFF3 file on one), added to
// the index in file order. Returns false with a one-line message in
// `error`.
bool read_regions(byte_source& source, const std::string& path, const region_reading& how, region_index& index,
                  const parallel_plan& plan, std::string* error);
