#include "snp_sources.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "messages.hpp"

namespace {

// PLINK's numeric codes for the chromosomes that have no number.
std::string_view plink_chromosome(std::string_view code) {
  if (code == "23") return "X";
  if (code == "24") return "Y";
  if (code == "25") return "XY";
  if (code == "26") return "MT";
  return code;
}

std::string_view named(std::string_view name) { return name == "." ? std::string_view{} : name; }

// A column's name as matched: lower case, without a leading '#'.
std::string column_key(std::string_view name) {
  if (name.starts_with('#')) name.remove_prefix(1);
  std::string key(name);
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

// The names that summary statistics give the three columns, in the order
// in which one is preferred over another.
constexpr std::string_view name_columns[] = {"snp",   "id",    "rsid",       "markerid", "markername",
                                             "snpid", "rs_id", "variant_id", "marker",   "variant"};
constexpr std::string_view chromosome_columns[] = {"chr", "chrom", "chromosome"};
constexpr std::string_view position_columns[] = {"bp", "pos", "genpos", "base_pair_location", "position"};

template <std::size_t N>
int find_column(const std::vector<std::string>& keys, const std::string_view (&names)[N]) {
  for (std::string_view name : names)
    for (std::size_t i = 0; i < keys.size(); ++i)
      if (keys[i] == name) return static_cast<int>(i);
  return -1;
}

// What htslib found wrong with a record, in words.
const char* record_problem(int errcode) {
  if (errcode & BCF_ERR_NCOLS) return "fewer than 8 columns";
  if (errcode & BCF_ERR_CHAR) return "an invalid character";
  if (errcode & BCF_ERR_CTG_INVALID) return "an invalid CHROM";
  if (errcode & BCF_ERR_LIMITS) return "a value beyond htslib's limits";
  return nullptr;
}

// The checks htslib leaves to its callers on a VCF line: at least 8
// columns, and POS all digits ("" names a POS that is not a number).
const char* text_record_problem(std::string_view line, std::string_view& pos) {
  std::size_t columns = 1;
  std::size_t pos_begin = 0, pos_end = line.size();
  for (std::size_t i = 0; i < line.size() && columns < 8; ++i) {
    if (line[i] != '\t') continue;
    ++columns;
    if (columns == 2) pos_begin = i + 1;
    if (columns == 3) pos_end = i;
  }
  if (columns < 8) return "fewer than 8 columns";
  pos = line.substr(pos_begin, pos_end - pos_begin);
  if (pos.empty() || pos.find_first_not_of("0123456789") != std::string_view::npos) return "";
  return nullptr;
}

}  // namespace

snp_reader::snp_reader(genome_input& input, snp_format format, bool snvs_only,
                       const std::optional<std::array<std::string, 3>>& columns)
    : input_(input), format_(format), snvs_only_(snvs_only), chosen_(columns) {}

snp_reader::~snp_reader() {
  if (record_ != nullptr) bcf_destroy(record_);
  if (header_ != nullptr) bcf_hdr_destroy(header_);
  ks_free(&line_);
}

std::string snp_reader::at_line(const std::string& what) const {
  return messages::at_line(input_.path(), lines_->line_number(), what);
}

bool snp_reader::begin(std::string* error) {
  error->clear();
  if (format_ == snp_format::vcf) {
    file_ = input_.variants(error);
    if (file_ == nullptr) return false;
    header_ = bcf_hdr_read(file_);
    if (header_ == nullptr) {
      *error = file_->format.compression != no_compression ? damage_of(file_->fp.bgzf, input_.path()) : "";
      if (error->empty()) *error = messages::about(input_.path(), messages::no_vcf_header());
      return false;
    }
    text_ = file_->format.format == vcf;
    record_ = bcf_init();
    // CHROM, POS, ID, REF and ALT are all a weight needs: the rest of a
    // line, its samples above all, is not parsed.
    record_->max_unpack = BCF_UN_STR;
    return true;
  }
  BGZF* text = input_.text(error);
  if (text == nullptr) return false;
  lines_.emplace(text, input_.path(), format_name(format_));
  switch (format_) {
    case snp_format::bim:
      name_column_ = 1, chromosome_column_ = 0, position_column_ = 3, columns_needed_ = 4,
      exact_columns_ = false;
      break;
    case snp_format::bed:
      separator_ = separator::tab, name_column_ = 3, chromosome_column_ = 0, columns_needed_ = 3;
      exact_columns_ = false;
      break;
    case snp_format::pvar:
    case snp_format::table: {
      // The first line that is no "##" comment says which columns hold what.
      std::string_view line;
      for (;;) {
        if (!lines_->next(line, error)) return error->empty();  // an empty file
        if (line.empty() || line.starts_with("##")) continue;
        if (format_ == snp_format::table && line.starts_with('#') && !line.starts_with("#CHROM") &&
            !line.starts_with("#chrom"))
          continue;
        break;
      }
      bool header = false;
      if (!choose_columns(line, header, error)) return false;
      has_pending_ = !header;
      pending_ = line;
      break;
    }
    case snp_format::vcf:
      break;
  }
  // Room for every column read; BED's name is optional.
  fields_.resize(std::max(columns_needed_, static_cast<std::size_t>(name_column_ + 1)));
  return true;
}

bool snp_reader::choose_columns(std::string_view line, bool& header, std::string* error) {
  if (format_ == snp_format::pvar) {
    if (!line.starts_with("#CHROM")) {
      // A .pvar without a header line has a .bim's columns.
      name_column_ = 1, chromosome_column_ = 0, position_column_ = 3, columns_needed_ = 4,
      exact_columns_ = false;
      return true;
    }
    separator_ = separator::tab;
  } else {
    separator_ = separator_of(line);
    unquote_ = true;
  }
  std::vector<std::string_view> found(256);
  const std::size_t count = split_fields(line, separator_, found, unquote_);
  found.resize(std::min(count, found.size()));
  std::vector<std::string> keys;
  for (std::string_view field : found) keys.push_back(column_key(field));
  std::int64_t number = 0;
  const bool any_number = std::any_of(found.begin(), found.end(), [&number](std::string_view field) {
    return parse_integer(field, number) == number_status::stored;
  });
  exact_columns_ = false;
  if (chosen_) {
    // --snp-columns: each a 1-based number or a header's name.
    int* targets[] = {&name_column_, &chromosome_column_, &position_column_};
    bool by_name = false;
    for (std::size_t i = 0; i < 3; ++i) {
      const std::string& wanted = (*chosen_)[i];
      if (parse_integer(wanted, number) == number_status::stored && number >= 1 && number <= 4096) {
        *targets[i] = static_cast<int>(number - 1);
        continue;
      }
      const auto at = std::find(keys.begin(), keys.end(), column_key(wanted));
      if (at == keys.end()) {
        *error =
            messages::at_line(input_.path(), lines_->line_number(), messages::no_such_column(wanted, line));
        return false;
      }
      *targets[i] = static_cast<int>(at - keys.begin());
      by_name = true;
    }
    // Numbers alone: the first line is a header when its position is no
    // number.
    header =
        by_name || static_cast<std::size_t>(position_column_) >= found.size() ||
        parse_integer(found[static_cast<std::size_t>(position_column_)], number) != number_status::stored;
  } else {
    chromosome_column_ = find_column(keys, chromosome_columns);
    position_column_ = find_column(keys, position_columns);
    name_column_ = find_column(keys, name_columns);
    header = chromosome_column_ >= 0 && position_column_ >= 0;
    if (!header) {
      if (format_ == snp_format::table && count == 3 && any_number) {
        // No header: name, chromosome and position.
        name_column_ = 0, chromosome_column_ = 1, position_column_ = 2, exact_columns_ = true;
      } else if (any_number) {
        *error = at_line(messages::columns(count, format_name(format_), 3, false));
        return false;
      } else {
        *error = at_line(messages::no_known_columns(line, format_ == snp_format::table));
        return false;
      }
    }
  }
  columns_needed_ =
      static_cast<std::size_t>(std::max({name_column_, chromosome_column_, position_column_})) + 1;
  return true;
}

bool snp_reader::next(genome_snp& snp, std::string_view& match, std::string* error) {
  error->clear();
  if (format_ == snp_format::vcf) {
    if (!next_variant(snp, error)) return false;
    match = snp.chromosome;
    return true;
  }
  return next_line(snp, match, error);
}

bool snp_reader::next_line(genome_snp& snp, std::string_view& match, std::string* error) {
  if (!lines_) return false;  // an empty table
  std::string_view line;
  for (;;) {
    if (has_pending_) {
      line = pending_;
      has_pending_ = false;
    } else if (!lines_->next(line, error)) {
      return false;
    }
    if (!is_comment_line(line, format_ == snp_format::bed)) break;
  }
  std::size_t count = split_fields(line, separator_, fields_, unquote_);
  // A BED line without a tab is split at whitespace.
  if (format_ == snp_format::bed && count == 1) count = split_fields(line, separator::whitespace, fields_);
  if (exact_columns_ ? count != columns_needed_ : count < columns_needed_) {
    *error = at_line(messages::columns(count, format_name(format_), columns_needed_, !exact_columns_));
    return false;
  }
  snp.chromosome = fields_[static_cast<std::size_t>(chromosome_column_)];
  snp.name = name_column_ >= 0 && static_cast<std::size_t>(name_column_) < count
                 ? named(fields_[static_cast<std::size_t>(name_column_)])
                 : std::string_view{};
  if (format_ == snp_format::bed) {
    if (lines_->line_number() == 1 && names_columns(fields_[1], fields_[2]))
      return next_line(snp, match, error);
    std::int64_t end = 0;
    std::string problem;
    if (!read_bounds(fields_[1], fields_[2], 0, "BED", snp.position, end, problem)) {
      *error = at_line(problem);
      return false;
    }
    ++snp.position;  // 0-based start to 1-based first base
  } else {
    // Sound numbers are the rule: the words for a fault are found only then.
    const std::string_view position = fields_[static_cast<std::size_t>(position_column_)];
    if (parse_integer(position, snp.position) != number_status::stored) {
      *error = at_line(integer_problem(position, "position", snp.position));
      return false;
    }
  }
  const bool plink = format_ == snp_format::bim || format_ == snp_format::pvar;
  match = plink ? plink_chromosome(snp.chromosome) : snp.chromosome;
  return true;
}

bool snp_reader::next_variant(genome_snp& snp, std::string* error) {
  const std::string& path = input_.path();
  for (;;) {
    std::int64_t place = 0;  // the line of a VCF, the record of a BCF
    const char* problem = nullptr;
    if (text_) {
      const int got = hts_getline(file_, KS_SEP_LINE, &line_);
      if (file_->format.compression != no_compression) {
        // A line cut short by damage is no line: the damage is told.
        *error = damage_of(file_->fp.bgzf, path);
        if (!error->empty()) return false;
      }
      if (got == -1) return false;
      if (got < -1) {
        const int code = errno != 0 ? errno : EIO;
        *error =
            messages::file_failed(path, {file_step::read, std::error_code(code, std::generic_category())});
        return false;
      }
      place = file_->lineno;
      const std::string_view line(line_.s, line_.l);
      if (line.empty()) continue;
      if (std::memchr(line.data(), '\0', line.size()) != nullptr) {
        *error = messages::at_line(path, place, messages::holds_nul("line"));
        return false;
      }
      std::string_view pos;
      problem = text_record_problem(line, pos);
      if (problem != nullptr && *problem == '\0') {
        *error = messages::at_line(path, place, messages::not_a_number("POS", pos));
        return false;
      }
      if (problem == nullptr && vcf_parse(&line_, header_, record_) < 0)
        problem = record_problem(record_->errcode) != nullptr ? record_problem(record_->errcode)
                                                              : "htslib cannot read it";
    } else {
      const int got = bcf_read(file_, header_, record_);
      *error = damage_of(file_->fp.bgzf, path);
      if (!error->empty()) return false;
      if (got == -1) return false;
      place = ++records_;
      if (got < -1) problem = "htslib cannot read it";
    }
    if (problem == nullptr) problem = record_problem(record_->errcode);
    const char* chromosome = problem == nullptr ? bcf_seqname(header_, record_) : nullptr;
    if (problem == nullptr && chromosome == nullptr) problem = "an invalid CHROM";
    if (problem != nullptr) {
      *error = messages::at_line(path, place, messages::invalid_record(text_ ? "VCF" : "BCF", problem));
      return false;
    }
    bcf_unpack(record_, BCF_UN_STR);
    if (snvs_only_ && bcf_get_variant_types(record_) != VCF_SNP) continue;
    snp.chromosome = chromosome;
    snp.position = record_->pos + 1;
    snp.name = record_->d.id == nullptr ? std::string_view{} : named(record_->d.id);
    return true;
  }
}
