// Reading SNPs one at a time, in file order, from VCF, BCF, PLINK .bim and
// .pvar, BED, or a table (summary statistics among them):
//  - VCF and BCF, through htslib, no further than CHROM, POS, ID, REF and
//    ALT (no sample is parsed): the name is ID, the position POS; with
//    snvs_only, only the records whose REF and every ALT are one base (as
//    bcftools's TYPE="snp").
//  - .bim: chromosome, name and position are columns 1, 2 and 4; .pvar:
//    the columns its "#CHROM" header line names (CHROM, POS, ID), or a
//    .bim's without one. PLINK's codes 23 to 26 match X, Y, XY and MT.
//  - BED: the position is start + 1, the SNP's first base; the name is
//    column 4. A first line whose start and end are no numbers names the
//    columns.
//  - a table: name, chromosome and position, one SNP a line, split at
//    tabs, commas or runs of spaces and with double quotes stripped; or
//    the columns a header line names (PLINK's SNP/CHR/BP, REGENIE's
//    ID/CHROM/GENPOS, SAIGE's MarkerID/POS, the GWAS Catalog's
//    rsid/chromosome/base_pair_location, ...), or that --snp-columns
//    chooses.
// A name that is missing (".", empty) is left empty: the caller writes
// CHROM:POS. Empty lines and "#" comments are skipped.
#pragma once

#include <htslib/kseq.h>
#include <htslib/vcf.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "fields.hpp"
#include "formats.hpp"
#include "genome_input.hpp"
#include "genome_records.hpp"
#include "text_lines.hpp"

class snp_reader {
 public:
  snp_reader(genome_input& input, snp_format format, bool snvs_only,
             const std::optional<std::array<std::string, 3>>& columns);
  snp_reader(const snp_reader&) = delete;
  snp_reader& operator=(const snp_reader&) = delete;
  ~snp_reader();

  // Reads what comes before the first SNP: a VCF's header, a table's or a
  // .pvar's header line. Returns false with a one-line message in `error`.
  bool begin(std::string* error);
  // The next SNP; false at the end of the input, or with a message in
  // `error`. `match` gets the chromosome to match regions by.
  bool next(genome_snp& snp, std::string_view& match, std::string* error);

 private:
  bool next_variant(genome_snp& snp, std::string* error);
  bool next_line(genome_snp& snp, std::string_view& match, std::string* error);
  // A table's or a .pvar's columns, from its first line.
  bool choose_columns(std::string_view line, bool& header, std::string* error);
  std::string at_line(const std::string& what) const;

  genome_input& input_;
  snp_format format_;
  bool snvs_only_;
  std::optional<std::array<std::string, 3>> chosen_;
  // VCF and BCF.
  htsFile* file_ = nullptr;
  bcf_hdr_t* header_ = nullptr;
  bcf1_t* record_ = nullptr;
  kstring_t line_ = {0, 0, nullptr};
  bool text_ = false;
  std::int64_t records_ = 0;
  // The text formats.
  std::optional<text_lines> lines_;
  std::vector<std::string_view> fields_;
  separator separator_ = separator::whitespace;
  bool unquote_ = false;
  int name_column_ = 0;  // -1: none
  int chromosome_column_ = 1;
  int position_column_ = 2;
  std::size_t columns_needed_ = 3;
  bool exact_columns_ = true;  // a header-less table has exactly three
  std::string_view pending_;   // a first line that was data, not a header
  bool has_pending_ = false;
};
