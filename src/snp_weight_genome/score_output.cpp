#include "score_output.hpp"

bool score_output::begin(const snp_reader& snps, std::string* error) {
  if (*error = snps.allele_problem(); !error->empty()) return false;
  weight_writer& out = this->out();
  out.begin_line("ID");
  out.column("A1"), out.column("WEIGHT");
  out.end_line();
  return true;
}

void score_output::format(const genome_snp& snp, const snp_answer& answer, weight_writer& out) const {
  out.begin_line(answer.label);
  out.column(snp.alt.empty() ? std::string_view(".") : snp.alt);
  out.weight_column(answer.weight);
  out.end_line();
}
