// Weights that scoring reads: a header "ID A1 WEIGHT", then a line per SNP,
// its label, its allele (the ALT of a VCF, BCF or .pvar, a .bim's column 5,
// a table's effect-allele column) and its weight, so that
// `plink2 --score FILE 1 2 3 header` reads it as it is. Tab-separated.
#pragma once

#include <string>

#include "line_result.hpp"
#include "snp_output.hpp"

class score_output final : public snp_line_output {
 public:
  explicit score_output(std::string path) : snp_line_output(std::move(path), true) {}

  // Refuses SNPs whose format has no allele.
  bool begin(const snp_reader& snps, std::string* error) override;

 private:
  void format(const genome_snp& snp, const snp_answer& answer, weight_writer& out) const override;
};
