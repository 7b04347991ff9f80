// The file formats snp_weight_genome reads, what a file's name says of its
// format, and what a run is asked to do.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class snp_format {
  vcf,    // VCF or BCF: CHROM, POS, ID
  bim,    // PLINK .bim: chromosome, name, cM, position, alleles
  pvar,   // PLINK 2 .pvar: the columns its "#CHROM" header line names
  bed,    // BED: chrom, start (0-based), end, optional name
  table,  // a table: name, chromosome, position, or the columns its header names
};

enum class region_format {
  bed,    // chrom, start (0-based), end (exclusive), name, score, strand, ... blocks
  gtf,    // nine columns, 1-based, inclusive; the lines of the chosen feature types
  gff3,   // the same columns as GTF
  table,  // chromosome, start, end (1-based, inclusive)
};

// What a run is asked to do.
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
  double inside_weight;
  double outside_weight;
  std::int64_t upstream = 0;    // bases added to each region before its start, by strand
  std::int64_t downstream = 0;  // and after its end
  bool split = false;           // a BED12 file's blocks are the regions
  bool snvs_only = false;       // VCF and BCF: single-base REF and ALTs only
  // A table's name, chromosome and position columns: header names or
  // 1-based numbers.
  std::optional<std::array<std::string, 3>> snp_columns;
};

// The format a file's name says, after any ".gz" or ".bgz" ("genes.gtf.gz"
// is GTF); none for a name it does not know.
std::optional<snp_format> snp_format_of(std::string_view file_name);
std::optional<region_format> region_format_of(std::string_view file_name);

// The names the options take ("vcf", "bim", "pvar", "bed", "table"; "gtf",
// "gff3").
std::optional<snp_format> snp_format_named(std::string_view name);
std::optional<region_format> region_format_named(std::string_view name);

// What messages call a format: "VCF or BCF", "a .bim file", "BED", ...
const char* format_name(snp_format format);
const char* format_name(region_format format);
