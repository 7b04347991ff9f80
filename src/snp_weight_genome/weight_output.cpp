#include "weight_output.hpp"

weight_output::weight_output(std::string path, weight_columns columns, const region_index& index)
    : path_(std::move(path)), columns_(columns), index_(index) {}

bool weight_output::open(std::string* error) {
  if (!file_.open(path_, error)) return false;
  writer_.emplace(file_.stream());
  return true;
}

void weight_output::begin() {
  if (!columns_.header) return;
  writer_->begin_line("name");
  if (columns_.position) writer_->column("chromosome"), writer_->column("position");
  writer_->column("weight");
  if (columns_.names) writer_->column("regions");
  writer_->end_line();
}

void weight_output::write(const genome_snp& snp, const snp_answer& answer) {
  writer_->begin_line(answer.label);
  if (columns_.position) writer_->column(snp.chromosome), writer_->column(snp.position);
  writer_->weight_column(answer.weight);
  if (columns_.names) {
    distinct_.pick(answer.regions, [this](std::uint32_t id) { return index_.name_of(id); }, names_);
    text_.clear();
    for (const std::uint32_t name : names_) {
      if (!text_.empty()) text_ += ',';
      text_ += index_.names()[name];
    }
    writer_->column(names_.empty() ? std::string_view(".") : std::string_view(text_));
  }
  writer_->end_line();
}

bool weight_output::commit(std::string* error) { return file_.commit(writer_->finish(), error); }

void weight_output::abandon() {
  // On the standard output the lines written so far stay: whole ones only.
  if (writer_) writer_->finish_whole_lines();
}
