#include "sets_output.hpp"

#include "messages.hpp"

sets_output::sets_output(std::string path, sets_format format, const region_index& index, std::int64_t upstream,
                         std::int64_t downstream)
    : line_output(std::move(path), true), format_(format), index_(index), upstream_(upstream), downstream_(downstream) {}

bool sets_output::begin(const snp_reader&, std::string* error) {
  if (index_.spans().empty() && index_.size() > 0) {
    *error = messages::no_region_names();
    return false;
  }
  members_.resize(index_.spans().size());
  return true;
}

void sets_output::write(const genome_snp&, const snp_answer& answer) {
  for (const std::uint32_t name : answer.names)
    members_[index_.span_of(name, answer.chromosome)].emplace_back(answer.label);
}

void sets_output::write_set(const name_span& span, const std::vector<std::string>& snps) {
  weight_writer& out = this->out();
  const std::string chromosome = index_.chromosomes().key_of(index_.chromosomes().first_spelling(span.chromosome));
  std::string scratch;
  out.begin_line(encoded(index_.names()[span.name], IN_SET_FILES, scratch));
  const std::string start = std::to_string(span.start), end = std::to_string(span.end);
  if (format_ == sets_format::magma) {
    out.column(chromosome);
    for (std::string_view part : {":", start.c_str(), ":", end.c_str()}) out.append(part);
    for (const std::string& snp : snps) out.column(encoded(snp, IN_SET_FILES, scratch));
  } else {
    for (std::string_view part : {" ", chromosome.c_str(), " ", start.c_str(), " "}) out.append(part);
    for (std::size_t k = 0; k < snps.size(); ++k) {
      if (k > 0) out.append(",");
      out.append(encoded(snps[k], IN_SET_FILES, scratch));
    }
  }
  out.end_line();
}

bool sets_output::commit(std::string* error) {
  weight_writer& out = this->out();
  if (format_ == sets_format::magma) {
    out.begin_line("# window_up = " + std::to_string(upstream_));
    out.end_line();
    out.begin_line("# window_down = " + std::to_string(downstream_));
    out.end_line();
  }
  for (std::size_t k = 0; k < members_.size(); ++k)
    if (!members_[k].empty()) write_set(index_.spans()[k], members_[k]);
  return line_output::commit(error);
}
