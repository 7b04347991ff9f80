// Where the SNPs of a text file stand in its lines: PLINK .bim and .pvar,
// BED, and tables (summary statistics among them).
//  - .bim: chromosome, name, cM and position are columns 1 to 4, A1 column
//    5; .pvar: the columns its "#CHROM" header line names (CHROM, POS, ID,
//    ALT, CM), or a .bim's without one. PLINK's codes 23 to 26 match X, Y,
//    XY and MT.
//  - BED: the position is start + 1, the SNP's first base; the name is
//    column 4. A first line whose start and end are no numbers names the
//    columns.
//  - a table: name, chromosome and position, one SNP a line, split at
//    tabs, commas or runs of spaces and with double quotes stripped; or
//    the columns a header line names (PLINK's SNP/CHR/BP, REGENIE's
//    ID/CHROM/GENPOS, SAIGE's MarkerID/POS, the GWAS Catalog's
//    rsid/chromosome/base_pair_location, ...), or that --snp-columns
//    chooses.
// A name that is missing (".", empty) is left empty. Empty lines and "#"
// comments are skipped. A layout reads a line without changing itself, so
// that threads can share one.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fields.hpp"
#include "formats.hpp"
#include "genome_records.hpp"

// The fields of the line being read, kept between lines to save allocating.
struct line_fields {
  std::vector<std::string_view> fields;
  std::string unquoted;  // fields whose quotes held quotes
};

class table_layout {
 public:
  // `plink_codes`: the file is one PLINK (or REGENIE) writes, whose
  // chromosomes 23 to 26 are X, Y, XY and MT (.bim and .pvar always are).
  explicit table_layout(snp_format format, bool plink_codes = false);

  // Whether the layout is chosen by the first line that is no "##" comment
  // (a .pvar, a table), which choose() then reads.
  bool needs_first_line() const { return format_ == snp_format::pvar || format_ == snp_format::table; }
  // Whether a line comes before that first line: empty, "##", or in a
  // table a "#" comment that is no "#CHROM" header.
  bool before_first_line(std::string_view line) const;
  // Whether `line` names the columns of a table: two or more names that
  // summary statistics use (SNP, CHR, BP, A1, P, BETA, MarkerName...).
  static bool names_table_columns(std::string_view line);
  // Chooses the columns from the first line. `header` tells whether it
  // named them (else it is the first SNP). Returns false with why in
  // `problem`, worded for messages::at_line().
  bool choose(std::string_view first_line, const std::optional<std::array<std::string, 3>>& chosen,
              bool& header, std::string* problem);

  // Whether its lines hold an allele (A1, ALT, an effect allele).
  bool has_alleles() const { return alt_column_ >= 0; }
  // Whether the columns come from a header line.
  bool named_columns() const { return named_columns_; }

  // Reads the SNP of line `line_number`: its views point into `line`.
  line_reading read(std::string_view line, std::int64_t line_number, line_fields& scratch, genome_snp& snp,
                    std::string* problem) const;

 private:
  bool choose_by_number(const std::array<std::string, 3>& chosen, const std::vector<std::string>& keys,
                        std::string_view line, const std::vector<std::string_view>& found, bool& header,
                        std::string* problem);
  void take_plink_columns();
  // Sets columns_read_ from the columns chosen.
  void count_columns_read();

  snp_format format_;
  bool plink_codes_;
  separator separator_ = separator::whitespace;
  bool unquote_ = false;
  int name_column_ = 0;  // -1: none
  int chromosome_column_ = 1;
  int position_column_ = 2;
  int alt_column_ = -1;
  int centimorgan_column_ = -1;
  std::size_t columns_needed_ = 3;
  std::size_t columns_read_ = 4;  // how many columns a line's split keeps: up to the last one read
  std::size_t header_columns_ = 0;  // how many the header names: every line has as many
  bool exact_columns_ = true;     // a header-less table has exactly three
  bool named_columns_ = false;
};
