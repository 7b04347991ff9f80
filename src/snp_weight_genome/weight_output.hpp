// The weight lines: NAME<TAB>WEIGHT, snp_weight's own, with the chromosome
// and position after the name (--columns), the names of the regions that
// hold the SNP last (--names: in file order, each once, comma-separated, or
// "." for none), and a first line naming the columns (--header).
#pragma once

#include <string>

#include "line_result.hpp"
#include "name_table.hpp"
#include "snp_output.hpp"

struct weight_columns {
  bool position = false;  // --columns
  bool names = false;     // --names
  bool header = false;    // --header
};

class weight_output final : public snp_line_output {
 public:
  weight_output(std::string path, weight_columns columns, const name_table& names);

  bool wants_regions() const override { return columns_.names; }
  bool begin(const snp_reader& snps, std::string* error) override;

 private:
  void format(const genome_snp& snp, const snp_answer& answer, weight_writer& out) const override;

  weight_columns columns_;
  const name_table& names_;
};
