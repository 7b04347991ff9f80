#include "annot_output.hpp"

annot_output::annot_output(std::string path, std::vector<std::string> class_names, bool thin)
    : snp_line_output(std::move(path), true), class_names_(std::move(class_names)), thin_(thin) {}

bool annot_output::begin(const snp_reader&, std::string*) {
  weight_writer& out = this->out();
  if (thin_) {
    out.begin_line(class_names_.front());
    for (std::size_t c = 1; c < class_names_.size(); ++c) out.column(class_names_[c]);
  } else {
    out.begin_line("CHR");
    out.column("BP"), out.column("SNP"), out.column("CM");
    for (const std::string& name : class_names_) out.column(name);
  }
  out.end_line();
  return true;
}

void annot_output::format(const genome_snp& snp, const snp_answer& answer, weight_writer& out) const {
  const auto bit = [&answer](std::size_t c) { return (answer.classes >> c & 1) != 0 ? "1" : "0"; };
  if (thin_) {
    out.begin_line(bit(0));
  } else {
    out.begin_line(snp.chromosome);
    out.column(snp.position);
    out.column(answer.label);
    out.column(snp.centimorgans.empty() ? std::string_view("0") : snp.centimorgans);
    out.column(bit(0));
  }
  for (std::size_t c = 1; c < class_names_.size(); ++c) out.column(bit(c));
  out.end_line();
}
