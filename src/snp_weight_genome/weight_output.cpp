#include "weight_output.hpp"

weight_output::weight_output(std::string path, weight_columns columns, const name_table& names)
    : snp_line_output(std::move(path), false), columns_(columns), names_(names) {}

bool weight_output::begin(const snp_reader&, std::string*) {
  if (!columns_.header) return true;
  weight_writer& out = this->out();
  out.begin_line("name");
  if (columns_.position) out.column("chromosome"), out.column("position");
  out.column("weight");
  if (columns_.names) out.column("regions");
  out.end_line();
  return true;
}

void weight_output::format(const genome_snp& snp, const snp_answer& answer, weight_writer& out) const {
  out.begin_line(answer.label);
  if (columns_.position) out.column(snp.chromosome), out.column(snp.position);
  out.weight_column(answer.weight);
  if (columns_.names) {
    // A name that holds a comma or a '%' is encoded, so that the list can
    // be split at its commas.
    std::string scratch;
    out.column(answer.names.empty() ? std::string_view(".") : encoded(names_[answer.names.front()], IN_A_LIST, scratch));
    for (std::size_t k = 1; k < answer.names.size(); ++k) {
      out.append(",");
      out.append(encoded(names_[answer.names[k]], IN_A_LIST, scratch));
    }
  }
  out.end_line();
}
