// What a run of snp_weight_genome is asked to do, from its command line.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats.hpp"
#include "records.hpp"

struct genome_options {
  std::string snps;
  std::string regions;
  std::optional<snp_format> snps_format;        // from the name, or the contents, when absent
  std::optional<region_format> regions_format;  // likewise
  std::vector<std::string> features{"gene"};    // the GTF or GFF3 feature types
  bool exact_chromosome_names = false;
  std::string output = "weight.txt";  // "-" for the standard output
  bool columns = false;               // the chromosome and position too
  bool names = false;                 // the names of the regions that hold each SNP
  bool header = false;                // a first line naming the columns
  double inside_weight = WEIGHT_INSIDE;
  double outside_weight = WEIGHT_OUTSIDE;
  std::int64_t upstream = 0;    // bases added to each region before its start, by strand
  std::int64_t downstream = 0;  // and after its end
  bool split = false;           // a BED12 file's blocks are the regions
  bool snvs_only = false;       // VCF and BCF: single-base REF and ALTs only
  // A table's name, chromosome and position columns: header names or
  // 1-based numbers.
  std::optional<std::array<std::string, 3>> snp_columns;
};

// What parse_command_line() found.
enum class command_line { run, shown, bad };

// Reads the command line into `options`. `shown`: --help or --version was
// printed, and the run ends with 0. `bad`: bad usage, worded in `message`
// (after "snp_weight_genome: ").
command_line parse_command_line(int argc, char** argv, genome_options& options, std::string* message);
