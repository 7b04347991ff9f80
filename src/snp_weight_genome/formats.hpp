// The file formats snp_weight_genome reads, and what a file's name says.
#pragma once

#include <optional>
#include <string>
#include <string_view>

enum class snp_format {
  vcf,    // VCF or BCF, plain, gzip or BGZF: CHROM, POS, ID
  bim,    // PLINK .bim: chromosome, name, cM, position, alleles
  bed,    // BED: chrom, start (0-based), end, optional name
  table,  // name, chromosome, position (1-based)
};

enum class region_format {
  bed,    // chrom, start (0-based), end (exclusive), ...
  gtf,    // nine columns, 1-based, inclusive; one feature type
  gff3,   // the same columns as GTF
  table,  // chromosome, start, end (1-based, inclusive)
};

// What a run is asked to do.
struct genome_options {
  std::string snps;
  std::string regions;
  std::optional<snp_format> snps_format;        // from the name when absent
  std::optional<region_format> regions_format;  // likewise
  std::string feature = "gene";                 // the GTF or GFF3 feature type
  bool exact_chromosome_names = false;
  std::string output = "weight.txt";  // "-" for the standard output
  bool columns = false;               // the chromosome and position too
};

// The format a file's name says, after any ".gz" or ".bgz" ("genes.gtf.gz"
// is GTF); none for a name it does not know.
std::optional<snp_format> snp_format_of(std::string_view file_name);
std::optional<region_format> region_format_of(std::string_view file_name);

// The names the options take ("vcf", "bim", "bed", "table"; "gtf", "gff3").
std::optional<snp_format> snp_format_named(std::string_view name);
std::optional<region_format> region_format_named(std::string_view name);
