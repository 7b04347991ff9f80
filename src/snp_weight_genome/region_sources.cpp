#include "region_sources.hpp"

#include <algorithm>
#include <array>

#include "fields.hpp"
#include "messages.hpp"
#include "text_lines.hpp"

namespace {

// The feature types a GTF or GFF3 file holds, in the order first seen.
struct feature_types {
  std::vector<std::string> seen;
  void add(std::string_view type) {
    if (seen.size() < 32 && std::find(seen.begin(), seen.end(), type) == seen.end()) seen.emplace_back(type);
  }
  std::string list() const {
    std::string text;
    for (const auto& type : seen) text += (text.empty() ? "" : ", ") + type;
    return text;
  }
};

// The value of attribute `key` in a GTF attribute column (key "value"; ...)
// or a GFF3 one (key=value;...), or "".
std::string_view attribute(std::string_view attributes, std::string_view key, bool gff3) {
  std::size_t at = 0;
  while (at < attributes.size()) {
    const std::size_t end = std::min(attributes.find(';', at), attributes.size());
    std::string_view pair = attributes.substr(at, end - at);
    at = end + 1;
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    const char separator = gff3 ? '=' : ' ';
    if (!pair.starts_with(key) || pair.size() <= key.size() || pair[key.size()] != separator) continue;
    std::string_view value = pair.substr(key.size() + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return {};
}

// A BED12 line's blocks: a comma-separated list of `count` numbers, a
// trailing comma allowed.
bool block_list(std::string_view text, std::size_t count, std::vector<std::int64_t>& numbers) {
  numbers.clear();
  if (!text.empty() && text.back() == ',') text.remove_suffix(1);
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    std::int64_t value = 0;
    if (parse_integer(text.substr(at, comma - at), value) != number_status::stored || value < 0) return false;
    numbers.push_back(value);
    at = comma + 1;
  }
  return numbers.size() == count;
}

}  // namespace

bool read_regions(genome_input& input, const region_options& options, region_index& index,
                  std::string* error) {
  error->clear();
  const std::string& path = input.path();
  const region_format format = options.format;
  const bool bed = format == region_format::bed;
  const bool gff3 = format == region_format::gff3;
  const bool annotation = format == region_format::gtf || gff3;
  const char* format_words = format_name(format);
  BGZF* text = input.text(error);
  if (text == nullptr) return false;
  text_lines lines(text, path, format_words);
  std::array<std::string_view, 12> fields;
  std::vector<std::int64_t> sizes, starts;
  std::string_view line;
  feature_types types;
  bool feature_seen = false;
  // Regions come chromosome by chromosome: the last lookup is reused.
  std::string last_written;
  std::uint32_t last_chromosome = 0;
  bool looked_up = false;
  const auto add = [&](std::string_view chromosome, std::int64_t start, std::int64_t end, char strand,
                       std::string_view name) {
    if (!looked_up || chromosome != last_written) {
      looked_up = true;
      last_written = chromosome;
      last_chromosome = index.chromosomes().add(chromosome);
    }
    if (start <= end && (options.upstream > 0 || options.downstream > 0)) {
      const std::int64_t larger = std::max(options.upstream, options.downstream);
      start -= strand == '+' ? options.upstream : strand == '-' ? options.downstream : larger;
      end += strand == '+' ? options.downstream : strand == '-' ? options.upstream : larger;
      start = std::max<std::int64_t>(start, 1);
    }
    const std::uint32_t name_index =
        options.names && !name.empty() && name != "." ? index.add_name(name) : NO_NAME;
    index.add(last_chromosome, start, end, name_index);
  };
  while (lines.next(line, error)) {
    if (gff3 && line.starts_with("##FASTA")) break;
    if (is_comment_line(line, bed)) continue;
    const auto refuse = [&](const std::string& what) {
      *error = messages::at_line(path, lines.line_number(), what);
      return false;
    };
    // BED, GTF and GFF3 are split at tabs; a BED line without one, and a
    // table, at whitespace.
    std::size_t count =
        split_fields(line, bed || annotation ? separator::tab : separator::whitespace, fields);
    if (bed && count == 1) count = split_fields(line, separator::whitespace, fields);
    std::string_view chromosome, start_text, end_text, name;
    char strand = '.';
    if (annotation) {
      if (count < 9) return refuse(messages::columns(count, format_words, 9, false));
      if (std::find(options.features.begin(), options.features.end(), fields[2]) == options.features.end()) {
        if (!feature_seen) types.add(fields[2]);
        continue;
      }
      feature_seen = true;
      chromosome = fields[0], start_text = fields[3], end_text = fields[4];
      strand = fields[6].size() == 1 ? fields[6][0] : '.';
      if (options.names) {
        name = attribute(fields[8], gff3 ? "Name" : "gene_name", gff3);
        if (name.empty()) name = attribute(fields[8], gff3 ? "ID" : "gene_id", gff3);
      }
    } else {
      if (bed ? count < 3 : count != 3) return refuse(messages::columns(count, format_words, 3, bed));
      chromosome = fields[0], start_text = fields[1], end_text = fields[2];
      if (bed && count >= 4) name = fields[3];
      if (bed && count >= 6 && fields[5].size() == 1) strand = fields[5][0];
    }
    if (bed && lines.line_number() == 1 && names_columns(start_text, end_text)) continue;
    std::int64_t start = 0, end = 0;
    std::string problem;
    std::optional<std::int64_t> lowest;  // a table's bounds are taken as they are
    if (bed || annotation) lowest = bed ? 0 : 1;
    if (!read_bounds(start_text, end_text, lowest, format_words, start, end, problem)) return refuse(problem);
    if (bed && options.split && count >= 12) {
      // BED12: the blocks, each relative to the start, are the regions.
      std::int64_t blocks = 0;
      if (parse_integer(fields[9], blocks) != number_status::stored || blocks < 1 || blocks > 100000 ||
          !block_list(fields[10], static_cast<std::size_t>(blocks), sizes) ||
          !block_list(fields[11], static_cast<std::size_t>(blocks), starts))
        return refuse(messages::bad_blocks());
      for (std::size_t b = 0; b < sizes.size(); ++b)
        if (sizes[b] > 0) add(chromosome, start + starts[b] + 1, start + starts[b] + sizes[b], strand, name);
      continue;
    }
    if (bed) ++start;  // 0-based, half-open to 1-based, inclusive
    add(chromosome, start, end, strand, name);
  }
  if (!error->empty()) return false;
  if (annotation && !feature_seen) {
    *error = messages::about(path, messages::no_feature_lines(options.features, types.list()));
    return false;
  }
  return true;
}
