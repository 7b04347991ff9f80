#include "table_reader.hpp"

#include "messages.hpp"

table_reader::table_reader(std::unique_ptr<byte_source> source, std::string path, const snp_reading& how)
    : path_(std::move(path)), how_(how), layout_(how.format, how.plink_codes), source_(std::move(source)) {}

bool table_reader::begin(std::string* error) {
  error->clear();
  lines_.emplace(*source_, path_, format_name(how_.format));
  if (!layout_.needs_first_line()) return true;
  // The first line that is no "##" comment says which columns hold what.
  std::string_view line;
  do {
    if (!lines_->next(line, error)) return error->empty();  // an empty file
    if (line.starts_with("##contig=<")) note_contig(line);
  } while (layout_.before_first_line(line));
  bool header = false;
  std::string problem;
  if (!layout_.choose(line, how_.columns, header, &problem)) {
    *error = messages::at_line(path_, lines_->line_number(), problem);
    return false;
  }
  has_pending_ = !header;
  pending_.assign(line);
  pending_number_ = lines_->line_number();
  return true;
}

void table_reader::note_contig(std::string_view line) {
  // ##contig=<ID=1,length=248956422>, as plink2 writes it from a VCF.
  const auto value = [line](std::string_view key) {
    const std::size_t at = line.find(key);
    if (at == std::string_view::npos) return std::string_view{};
    const std::string_view rest = line.substr(at + key.size());
    return rest.substr(0, rest.find_first_of(",>"));
  };
  const std::string_view id = value("<ID=");
  std::int64_t length = 0;
  if (parse_integer(value(",length="), length) != number_status::stored || length < 0) length = 0;
  if (!id.empty()) contigs_.push_back({std::string(id), length});
}

std::optional<std::string> table_reader::pending_line() const {
  if (!has_pending_) return std::nullopt;
  return pending_;
}

line_reading table_line_reader::read(std::string_view line, std::int64_t number, genome_snp& snp,
                                     std::string* error) {
  const line_reading got = layout_.read(line, number, fields_, snp, &problem_);
  if (got == line_reading::refused) *error = messages::at_line(path_, number, problem_);
  return got;
}

bool table_reader::next(genome_snp& snp, std::string* error) {
  if (!lines_) return false;  // an empty table
  for (;;) {
    std::string_view line;
    std::int64_t number = 0;
    if (has_pending_) {
      has_pending_ = false;
      line = pending_;
      number = pending_number_;
    } else if (lines_->next(line, error)) {
      number = lines_->line_number();
    } else {
      return false;
    }
    switch (line_reader_.read(line, number, snp, error)) {
      case line_reading::snp:
        return true;
      case line_reading::skipped:
        continue;
      case line_reading::refused:
        return false;
    }
  }
}

std::string table_reader::allele_problem() const {
  if (layout_.has_alleles()) return {};
  if (!layout_.named_columns())
    return messages::about(path_, messages::no_allele_column(how_.format == snp_format::bed
                                                                 ? "BED"
                                                                 : "a table of name, chromosome and position"));
  return messages::at_line(path_, pending_number_, messages::no_allele_column_among(pending_));
}

std::string table_reader::damage_further_on() { return lines_ ? lines_->damage_further_on() : std::string(); }
