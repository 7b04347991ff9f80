// The file formats snp_weight_genome reads, and what a file's name says of
// its format.
#pragma once

#include <optional>
#include <string_view>

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

// The format a file's name says, after any ".gz" or ".bgz" ("genes.gtf.gz"
// is GTF); none for a name it does not know.
std::optional<snp_format> snp_format_of(std::string_view file_name);
std::optional<region_format> region_format_of(std::string_view file_name);

// Whether a file's name says PLINK (1.9 or 2) or REGENIE wrote it, which
// write X, Y, XY and MT as 23 to 26: .assoc, .qassoc, .linear, .logistic,
// .glm.*, .regenie and the like.
bool written_by_plink(std::string_view file_name);

// The names the options take ("vcf", "bim", "pvar", "bed", "table"; "gtf",
// "gff3").
std::optional<snp_format> snp_format_named(std::string_view name);
std::optional<region_format> region_format_named(std::string_view name);

// What messages call a format: "VCF or BCF", "a .bim file", "BED", ...
const char* format_name(snp_format format);
const char* format_name(region_format format);
