// An annotation matrix, as partitioned-heritability tools read it: a
// header "CHR BP SNP CM" and a column per region class, named after it,
// then a line per SNP with 1 where a region of the class holds it, else 0.
// CM is a .bim's third column, else 0. With `thin`, the class columns
// alone. Tab-separated; gzip-compressed when the name ends in ".gz".
#pragma once

#include <string>
#include <vector>

#include "line_result.hpp"
#include "snp_output.hpp"

class annot_output final : public snp_line_output {
 public:
  annot_output(std::string path, std::vector<std::string> class_names, bool thin);

  bool begin(const snp_reader& snps, std::string* error) override;

 private:
  void format(const genome_snp& snp, const snp_answer& answer, weight_writer& out) const override;

  std::vector<std::string> class_names_;
  bool thin_;
};
