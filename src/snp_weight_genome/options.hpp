// What a run of snp_weight_genome is asked to do, from its command line.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats.hpp"
#include "records.hpp"

// A class of regions: the regions of a file, or the lines of some feature
// types of a GTF or GFF3 file ("exon:genes.gtf").
struct region_class {
  std::string path;
  std::vector<std::string> features;  // none: those of --feature
  std::string name;                   // its column in an annotation matrix
};

enum class output_format { weights, annot, score, vcf, bcf };
enum class sets_format { magma, regenie };

struct genome_options {
  std::string snps;
  std::vector<region_class> classes;            // in the order given: the first that holds a SNP decides
  std::optional<snp_format> snps_format;        // from the name, or the contents, when absent
  std::optional<region_format> regions_format;  // likewise
  std::vector<std::string> features{"gene"};    // the GTF or GFF3 feature types
  bool exact_chromosome_names = false;
  bool allow_build_mismatch = false;  // files of different genome builds still run
  std::string output = "weight.txt";  // "-" for the standard output
  output_format format = output_format::weights;
  bool columns = false;  // the chromosome and position too
  bool names = false;    // the names of the regions that hold each SNP
  bool header = false;   // a first line naming the columns
  bool thin = false;     // an annotation matrix's class columns alone
  std::string sets;      // a file of each region name's SNPs, or ""
  sets_format sets_as = sets_format::magma;
  std::vector<double> class_weights{WEIGHT_INSIDE};  // one per class
  double outside_weight = WEIGHT_OUTSIDE;
  std::int64_t upstream = 0;    // bases added to each region before its start, by strand
  std::int64_t downstream = 0;  // and after its end
  bool split = false;           // a BED12 file's blocks are the regions
  bool snvs_only = false;       // VCF and BCF: single-base REF and ALTs only
  // A table's name, chromosome and position columns: header names or
  // 1-based numbers.
  std::optional<std::array<std::string, 3>> snp_columns;
  unsigned threads = 0;  // 0: as many as the machine has cores
};

// What parse_command_line() found.
enum class command_line { run, shown, bad };

// Reads the command line's words (the program's name first) into
// `options`. `shown`: --help or --version was
// printed, and the run ends with 0. `bad`: bad usage, worded in `message`
// (after "snp_weight_genome: ").
command_line parse_command_line(std::vector<std::string> arguments, genome_options& options, std::string* message);

// A REGIONS word as a class: "FEATURES:FILE" (FEATURES two or more letters,
// digits, '_', '-' or ',', so that no file name with a folder, nor a
// Windows drive, is taken for one), else a file.
region_class class_of_word(std::string_view word);
// What a class is called by default: its file's name without folder or
// extensions ("genes"), or its feature types ("exon", "CDS_exon").
std::string default_class_name(const region_class& region);
