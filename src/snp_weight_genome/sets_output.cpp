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
  return true;
}

void sets_output::add_pairs(std::string_view label, const std::uint32_t* sets, std::size_t count) {
  const auto id = static_cast<std::uint32_t>(label_ends_.size());
  labels_ += label;
  label_ends_.push_back(static_cast<std::uint32_t>(labels_.size()));
  for (std::size_t k = 0; k < count; ++k) {
    pair_sets_.push_back(sets[k]);
    pair_labels_.push_back(id);
  }
}

void sets_output::write(const genome_snp&, const snp_answer& answer) {
  if (answer.names.empty()) return;
  sets_.clear();
  for (const std::uint32_t name : answer.names) sets_.push_back(index_.span_of(name, answer.chromosome));
  add_pairs(answer.label, sets_.data(), sets_.size());
}

// A part holds, for each SNP in some set, its label in the text, and its
// label's length, its number of sets and the sets in the numbers.
void sets_output::write_part(const genome_snp&, const snp_answer& answer, output_part& part) const {
  if (answer.names.empty()) return;
  part.text += answer.label;
  part.numbers.push_back(static_cast<std::uint32_t>(answer.label.size()));
  part.numbers.push_back(static_cast<std::uint32_t>(answer.names.size()));
  for (const std::uint32_t name : answer.names) part.numbers.push_back(index_.span_of(name, answer.chromosome));
}

void sets_output::take_part(output_part& part) {
  std::size_t text = 0;
  for (std::size_t k = 0; k < part.numbers.size(); k += 2 + part.numbers[k + 1]) {
    const std::string_view label = std::string_view(part.text).substr(text, part.numbers[k]);
    text += label.size();
    add_pairs(label, part.numbers.data() + k + 2, part.numbers[k + 1]);
  }
}

void sets_output::write_set(const name_span& span, const std::uint32_t* first, const std::uint32_t* last) {
  weight_writer& out = this->out();
  const std::string chromosome = index_.chromosomes().key_of(index_.chromosomes().first_spelling(span.chromosome));
  std::string scratch;
  out.begin_line(encoded(index_.names()[span.name], IN_SET_FILES, scratch));
  const std::string start = std::to_string(span.start), end = std::to_string(span.end);
  if (format_ == sets_format::magma) {
    out.column(chromosome);
    for (std::string_view part : {":", start.c_str(), ":", end.c_str()}) out.append(part);
  } else {
    for (std::string_view part : {" ", chromosome.c_str(), " ", start.c_str(), " "}) out.append(part);
  }
  for (const std::uint32_t* label = first; label != last; ++label) {
    const std::uint32_t begin = *label == 0 ? 0 : label_ends_[*label - 1];
    const std::string_view snp = std::string_view(labels_).substr(begin, label_ends_[*label] - begin);
    if (format_ == sets_format::magma) {
      out.column(encoded(snp, IN_SET_FILES, scratch));
    } else {
      if (label != first) out.append(",");
      out.append(encoded(snp, IN_SET_FILES, scratch));
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
  // The pairs in the order of the sets, each set's in input order: a
  // counting sort, in time and memory linear in the pairs.
  std::vector<std::uint32_t> starts(index_.spans().size() + 1, 0);
  for (const std::uint32_t set : pair_sets_) ++starts[set + 1];
  for (std::size_t k = 1; k < starts.size(); ++k) starts[k] += starts[k - 1];
  large_vector<std::uint32_t> sorted(pair_labels_.size());
  std::vector<std::uint32_t> next(starts.begin(), starts.end() - 1);
  for (std::size_t k = 0; k < pair_sets_.size(); ++k) sorted[next[pair_sets_[k]]++] = pair_labels_[k];
  for (std::size_t set = 0; set + 1 < starts.size(); ++set)
    if (starts[set] < starts[set + 1])
      write_set(index_.spans()[set], sorted.data() + starts[set], sorted.data() + starts[set + 1]);
  return line_output::commit(error);
}
