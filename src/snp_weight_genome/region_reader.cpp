#include "region_reader.hpp"

#include <algorithm>
#include <array>

#include "fields.hpp"
#include "messages.hpp"
#include "text_lines.hpp"

namespace {

// The feature types of the lines that fed no class, in the order first seen.
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

// The value of attribute `key` in a GTF attribute column (key "value"; ...,
// a ';' inside the quotes being part of the value) or a GFF3 one
// (key=value;...), or "".
std::string_view attribute(std::string_view attributes, std::string_view key, bool gff3) {
  std::size_t at = 0;
  while (at < attributes.size()) {
    while (at < attributes.size() && attributes[at] == ' ') ++at;
    const std::size_t key_end = std::min(attributes.find(gff3 ? '=' : ' ', at), attributes.size());
    const bool wanted = attributes.substr(at, key_end - at) == key;
    std::size_t value_begin = std::min(key_end + 1, attributes.size());
    while (!gff3 && value_begin < attributes.size() && attributes[value_begin] == ' ') ++value_begin;
    std::size_t value_end = 0;
    std::size_t next = 0;
    if (!gff3 && value_begin < attributes.size() && attributes[value_begin] == '"') {
      ++value_begin;
      value_end = std::min(attributes.find('"', value_begin), attributes.size());
      next = std::min(attributes.find(';', value_end), attributes.size()) + 1;
    } else {
      value_end = std::min(attributes.find(';', value_begin), attributes.size());
      next = value_end + 1;
      while (value_end > value_begin && attributes[value_end - 1] == ' ') --value_end;
    }
    if (wanted && key_end < attributes.size()) return attributes.substr(value_begin, value_end - value_begin);
    at = next;
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

// One line of a region file, in its columns.
struct region_line {
  std::array<std::string_view, 12> fields;
  std::size_t count = 0;
  std::string_view chromosome, start_text, end_text, name;
  std::uint32_t name_id = NO_NAME;  // in the index's name table
  char strand = '.';
};

class region_file {
 public:
  region_file(const std::string& path, const region_reading& how, region_index& index)
      : path_(path), how_(how), index_(index), fed_(how.classes.size(), false) {
    format_ = format_name(how.format);
    bed_ = how.format == region_format::bed;
    gff3_ = how.format == region_format::gff3;
    annotation_ = how.format == region_format::gtf || gff3_;
  }
  // Reads one line that is no comment: false with why in `problem`.
  bool take(std::string_view line, std::int64_t line_number, std::string* problem);
  // After the last line: the class that no line fed, worded, or "".
  std::string unfed() const;

 private:
  // Splits the line into its columns; false with why in `problem`.
  bool split(std::string_view line, region_line& out, std::string* problem) const;
  // The classes a GTF or GFF3 line feeds (all of them for other formats).
  bool feeds(std::string_view feature, unsigned k) const;
  bool take_blocks(const region_line& line, std::int64_t start, std::int64_t end, unsigned class_id,
                   std::string* problem);
  void add(const region_line& line, std::int64_t start, std::int64_t end, unsigned class_id);
  // The index's chromosome for a name as written.
  std::uint32_t chromosome_of(std::string_view chromosome);

  const std::string& path_;
  const region_reading& how_;
  region_index& index_;
  std::string_view format_;  // "BED", for messages
  bool bed_, gff3_, annotation_;
  std::vector<bool> fed_;
  feature_types types_;
  std::vector<std::int64_t> sizes_, starts_;
  region_line line_;  // the line being read, kept to save clearing its fields
  // Regions come chromosome by chromosome: the last lookup is reused.
  std::string last_written_;
  std::uint32_t last_chromosome_ = 0;
  bool looked_up_ = false;
};

bool region_file::split(std::string_view line, region_line& out, std::string* problem) const {
  const std::string_view format = format_;
  // BED, GTF and GFF3 are split at tabs; a BED line without one, and a
  // table, at whitespace.
  out.count = split_fields(line, bed_ || annotation_ ? separator::tab : separator::whitespace, out.fields);
  if (bed_ && out.count == 1) out.count = split_fields(line, separator::whitespace, out.fields);
  const auto& f = out.fields;
  if (annotation_) {
    if (out.count < 9) return *problem = messages::columns(out.count, format, 9, false), false;
    out.chromosome = f[0], out.start_text = f[3], out.end_text = f[4];
    out.strand = f[6].size() == 1 ? f[6][0] : '.';
    if (how_.names) {
      out.name = attribute(f[8], gff3_ ? "Name" : "gene_name", gff3_);
      if (out.name.empty()) out.name = attribute(f[8], gff3_ ? "ID" : "gene_id", gff3_);
    }
    return true;
  }
  if (bed_ ? out.count < 3 : out.count != 3) return *problem = messages::columns(out.count, format, 3, bed_), false;
  out.chromosome = f[0], out.start_text = f[1], out.end_text = f[2];
  if (bed_ && out.count >= 4 && how_.names) out.name = f[3];
  if (bed_ && out.count >= 6 && f[5].size() == 1) out.strand = f[5][0];
  return true;
}

bool region_file::feeds(std::string_view feature, unsigned k) const {
  if (!annotation_) return true;
  const auto& features = how_.classes[k].features;
  return std::find(features.begin(), features.end(), feature) != features.end();
}

bool region_file::take(std::string_view line, std::int64_t line_number, std::string* problem) {
  region_line& fields = line_;
  fields.name = {};
  fields.strand = '.';
  if (!split(line, fields, problem)) return false;
  if (fields.chromosome.empty()) return *problem = messages::empty_field("chromosome"), false;
  const std::string_view feature = annotation_ ? fields.fields[2] : std::string_view{};
  if (annotation_) {
    bool fed_any = false;
    for (unsigned k = 0; k < how_.classes.size(); ++k) fed_any = fed_any || feeds(feature, k);
    if (!fed_any) {
      types_.add(feature);
      return true;
    }
  }
  if (bed_ && line_number == 1 && names_columns(fields.start_text, fields.end_text)) return true;
  std::int64_t start = 0, end = 0;
  std::optional<std::int64_t> lowest;  // a table's bounds are taken as they are
  if (bed_ || annotation_) lowest = bed_ ? 0 : 1;
  if (!read_bounds(fields.start_text, fields.end_text, lowest, format_, start, end, *problem))
    return false;
  fields.name_id = how_.names && !fields.name.empty() && fields.name != "." ? index_.names().add(fields.name)
                                                                                : NO_NAME;
  if (how_.spans && fields.name_id != NO_NAME)
    index_.note_span(fields.name_id, chromosome_of(fields.chromosome), bed_ ? start + 1 : start, end);
  for (unsigned k = 0; k < how_.classes.size(); ++k) {
    if (!feeds(feature, k)) continue;
    fed_[k] = true;
    if (bed_ && how_.split && fields.count >= 12) {
      if (!take_blocks(fields, start, end, how_.classes[k].id, problem)) return false;
      continue;
    }
    add(fields, bed_ ? start + 1 : start, end, how_.classes[k].id);  // BED: 0-based, half-open
  }
  return true;
}

bool region_file::take_blocks(const region_line& line, std::int64_t start, std::int64_t end, unsigned class_id,
                              std::string* problem) {
  // BED12: the blocks, each relative to the start, are the regions.
  const auto& f = line.fields;
  std::int64_t blocks = 0;
  if (parse_integer(f[9], blocks) != number_status::stored || blocks < 1 || blocks > 100000 ||
      !block_list(f[10], static_cast<std::size_t>(blocks), sizes_) ||
      !block_list(f[11], static_cast<std::size_t>(blocks), starts_)) {
    *problem = messages::bad_blocks();
    return false;
  }
  // Each block lies within the line's own start and end, as bedtools and
  // the UCSC tools take it; checked without a sum that could overflow.
  const std::int64_t span = end - start;
  for (std::size_t b = 0; b < sizes_.size(); ++b)
    if (starts_[b] > span || sizes_[b] > span - starts_[b]) {
      *problem = messages::block_outside(b + 1);
      return false;
    }
  for (std::size_t b = 0; b < sizes_.size(); ++b)
    if (sizes_[b] > 0) add(line, start + starts_[b] + 1, start + starts_[b] + sizes_[b], class_id);
  return true;
}

std::uint32_t region_file::chromosome_of(std::string_view chromosome) {
  if (!looked_up_ || chromosome != last_written_) {
    looked_up_ = true;
    last_written_ = chromosome;
    last_chromosome_ = index_.chromosomes().add(chromosome);
    if (how_.declared != nullptr) how_.declared->add_name(chromosome);
  }
  return last_chromosome_;
}

void region_file::add(const region_line& line, std::int64_t start, std::int64_t end, unsigned class_id) {
  chromosome_of(line.chromosome);
  if (start <= end && (how_.upstream > 0 || how_.downstream > 0)) {
    const std::int64_t larger = std::max(how_.upstream, how_.downstream);
    const char strand = line.strand;
    start -= strand == '+' ? how_.upstream : strand == '-' ? how_.downstream : larger;
    end += strand == '+' ? how_.downstream : strand == '-' ? how_.upstream : larger;
    start = std::max<std::int64_t>(start, 1);
  }
  index_.add(last_chromosome_, start, end, line.name_id, class_id);
}

std::string region_file::unfed() const {
  if (!annotation_) return {};
  for (unsigned k = 0; k < how_.classes.size(); ++k)
    if (!fed_[k]) return messages::about(path_, messages::no_feature_lines(how_.classes[k].features, types_.list()));
  return {};
}

// "##sequence-region SEQID START END": a GFF3 file's chromosome and its
// length.
void note_sequence_region(std::string_view line, const region_index& index, const region_reading& how) {
  std::array<std::string_view, 5> fields;
  std::int64_t start = 0, end = 0;
  if (split_fields(line, separator::whitespace, fields) == 4 &&
      parse_integer(fields[2], start) == number_status::stored && start == 1 &&
      parse_integer(fields[3], end) == number_status::stored && end > 0)
    how.declared->add_length(index.chromosomes().key_of(fields[1]), end);
}

}  // namespace

bool read_regions(byte_source& source, const std::string& path, const region_reading& how, region_index& index,
                  std::string* error) {
  error->clear();
  text_lines lines(source, path, format_name(how.format));
  region_file file(path, how, index);
  std::string_view line;
  std::string problem;
  while (lines.next(line, error)) {
    if (how.format == region_format::gff3 && line.starts_with("##FASTA")) {
      // The sequences end the annotation, but the file is read whole: a cut
      // among them is refused like any other.
      *error = lines.read_to_end();
      break;
    }
    if (how.declared != nullptr && line.starts_with("##sequence-region")) note_sequence_region(line, index, how);
    if (is_comment_line(line, how.format == region_format::bed)) continue;
    if (!file.take(line, lines.line_number(), &problem)) {
      *error = messages::at_line(path, lines.line_number(), problem);
      break;
    }
  }
  if (!error->empty()) {
    // A refused line of a damaged gzip file is named as the damage it is.
    if (std::string damage = lines.damage_further_on(); !damage.empty()) *error = damage;
    return false;
  }
  *error = file.unfed();
  return error->empty();
}
