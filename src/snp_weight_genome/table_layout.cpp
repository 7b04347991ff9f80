#include "table_layout.hpp"

#include <algorithm>
#include <cctype>

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

// A missing name: "." (VCF, PLINK) or "NA" (R, the GWAS Catalog).
std::string_view named(std::string_view name) { return name == "." || name == "NA" ? std::string_view{} : name; }

// A column's name as matched: lower case, without a leading '#'.
std::string column_key(std::string_view name) {
  if (name.starts_with('#')) name.remove_prefix(1);
  std::string key(name);
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

// The names that summary statistics give the columns, in the order in
// which one is preferred over another.
constexpr std::string_view name_columns[] = {"snp",   "id",    "rsid",       "markerid", "markername",
                                             "snpid", "rs_id", "variant_id", "marker",   "variant"};
constexpr std::string_view chromosome_columns[] = {"chr", "chrom", "chromosome"};
constexpr std::string_view position_columns[] = {"bp", "pos", "genpos", "base_pair_location", "position"};
// The allele a score is for: the effect (or tested, ALT) allele.
constexpr std::string_view alt_columns[] = {"effect_allele", "ea",     "a1",           "allele1",
                                            "alt",           "tested_allele", "alt_allele"};
constexpr std::string_view centimorgan_columns[] = {"cm"};

template <std::size_t N>
int find_column(const std::vector<std::string>& keys, const std::string_view (&names)[N]) {
  for (std::string_view name : names)
    for (std::size_t i = 0; i < keys.size(); ++i)
      if (keys[i] == name) return static_cast<int>(i);
  return -1;
}

}  // namespace

bool table_layout::names_table_columns(std::string_view line) {
  static constexpr std::string_view others[] = {
      "a2",   "allele0", "allele2", "other_allele", "p",    "pval", "p_value", "p-value", "beta",   "b",
      "se",   "stderr",  "z",       "zscore",       "n",    "freq", "af",      "a1freq",  "effect", "or",
      "chisq", "log10p"};
  std::vector<std::string_view> fields;
  std::string unquoted;
  const separator by = separator_of(line);
  fields.resize(split_fields(line, by, fields, &unquoted));
  split_fields(line, by, fields, &unquoted);
  int known = 0;
  for (std::string_view field : fields) {
    const std::string key = column_key(field);
    const auto in = [&key](const auto& list) { return std::find(std::begin(list), std::end(list), key) != std::end(list); };
    known += in(name_columns) || in(chromosome_columns) || in(position_columns) || in(alt_columns) || in(others);
  }
  return known >= 2;
}

table_layout::table_layout(snp_format format, bool plink_codes)
    : format_(format), plink_codes_(plink_codes || format == snp_format::bim || format == snp_format::pvar) {
  if (format == snp_format::bim || format == snp_format::pvar) take_plink_columns();
  if (format == snp_format::bed) {
    separator_ = separator::tab, name_column_ = 3, chromosome_column_ = 0, position_column_ = -1;
    columns_needed_ = 3, exact_columns_ = false;
  }
  count_columns_read();
}

void table_layout::count_columns_read() {
  const int widest =
      std::max({name_column_, chromosome_column_, position_column_, alt_column_, centimorgan_column_});
  columns_read_ = std::max(columns_needed_, static_cast<std::size_t>(widest) + 1);
}

void table_layout::take_plink_columns() {
  name_column_ = 1, chromosome_column_ = 0, centimorgan_column_ = 2, position_column_ = 3, alt_column_ = 4;
  columns_needed_ = 4, exact_columns_ = false;
}

bool table_layout::before_first_line(std::string_view line) const {
  if (line.empty() || line.starts_with("##")) return true;
  return format_ == snp_format::table && line.starts_with('#') && !line.starts_with("#CHROM") &&
         !line.starts_with("#chrom");
}

bool table_layout::choose(std::string_view first_line, const std::optional<std::array<std::string, 3>>& chosen,
                          bool& header, std::string* problem) {
  header = false;
  if (format_ == snp_format::pvar) {
    if (!first_line.starts_with("#CHROM")) return true;  // a .pvar without a header line: a .bim's columns
    separator_ = separator::tab;
  } else {
    separator_ = separator_of(first_line);
    unquote_ = true;
  }
  std::string unquoted;
  std::vector<std::string_view> found;
  const std::size_t count = split_fields(first_line, separator_, found, unquote_ ? &unquoted : nullptr);
  found.resize(count);  // any width
  split_fields(first_line, separator_, found, unquote_ ? &unquoted : nullptr);
  std::vector<std::string> keys;
  for (std::string_view field : found) keys.push_back(column_key(field));
  exact_columns_ = false;
  alt_column_ = find_column(keys, alt_columns);
  // SAIGE's Allele2 is the allele its effect is for, its Allele1 the other.
  if (const int saige = find_column(keys, {"allele2"}); saige >= 0 && find_column(keys, {"markerid"}) >= 0)
    alt_column_ = saige;
  centimorgan_column_ = find_column(keys, centimorgan_columns);
  if (chosen) {
    if (!choose_by_number(*chosen, keys, first_line, found, header, problem)) return false;
  } else {
    chromosome_column_ = find_column(keys, chromosome_columns);
    position_column_ = find_column(keys, position_columns);
    name_column_ = find_column(keys, name_columns);
    header = chromosome_column_ >= 0 && position_column_ >= 0;
    if (!header) {
      alt_column_ = centimorgan_column_ = -1;
      std::int64_t number = 0;
      const bool any_number = std::any_of(found.begin(), found.end(), [&number](std::string_view field) {
        return parse_integer(field, number) == number_status::stored;
      });
      if (format_ == snp_format::table && count == 3 && any_number) {
        // No header: name, chromosome and position.
        name_column_ = 0, chromosome_column_ = 1, position_column_ = 2, exact_columns_ = true;
      } else {
        *problem = any_number ? messages::columns(count, format_name(format_), 3, false)
                              : messages::no_known_columns(first_line, format_ == snp_format::table);
        return false;
      }
    }
  }
  columns_needed_ =
      static_cast<std::size_t>(std::max({name_column_, chromosome_column_, position_column_})) + 1;
  named_columns_ = header;
  header_columns_ = header ? count : 0;
  count_columns_read();
  return true;
}

bool table_layout::choose_by_number(const std::array<std::string, 3>& chosen,
                                    const std::vector<std::string>& keys, std::string_view line,
                                    const std::vector<std::string_view>& found, bool& header,
                                    std::string* problem) {
  // --snp-columns: each a 1-based number or a header's name.
  int* targets[] = {&name_column_, &chromosome_column_, &position_column_};
  bool by_name = false;
  std::int64_t number = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string& wanted = chosen[i];
    if (parse_integer(wanted, number) == number_status::stored && number >= 1 && number <= 4096) {
      *targets[i] = static_cast<int>(number - 1);
      continue;
    }
    const auto at = std::find(keys.begin(), keys.end(), column_key(wanted));
    if (at == keys.end()) {
      *problem = messages::no_such_column(wanted, line);
      return false;
    }
    *targets[i] = static_cast<int>(at - keys.begin());
    by_name = true;
  }
  // Numbers alone: the first line is a header when its position is no
  // number.
  header = by_name || static_cast<std::size_t>(position_column_) >= found.size() ||
           parse_integer(found[static_cast<std::size_t>(position_column_)], number) != number_status::stored;
  return true;
}

line_reading table_layout::read(std::string_view line, std::int64_t line_number, line_fields& scratch,
                                genome_snp& snp, std::string* problem) const {
  const bool bed = format_ == snp_format::bed;
  if (is_comment_line(line, bed)) return line_reading::skipped;
  auto& fields = scratch.fields;
  if (fields.size() != columns_read_) fields.resize(columns_read_);
  std::size_t count = split_fields(line, separator_, fields, unquote_ ? &scratch.unquoted : nullptr);
  // A BED line without a tab is split at whitespace.
  if (bed && count == 1) count = split_fields(line, separator::whitespace, fields);
  if (header_columns_ > 0 && count != header_columns_) {
    *problem = messages::columns_of_header(count, header_columns_);
    return line_reading::refused;
  }
  if (exact_columns_ ? count != columns_needed_ : count < columns_needed_) {
    *problem = messages::columns(count, format_name(format_), columns_needed_, !exact_columns_);
    return line_reading::refused;
  }
  const auto column = [&](int k) {
    return k >= 0 && static_cast<std::size_t>(k) < count ? fields[static_cast<std::size_t>(k)]
                                                          : std::string_view{};
  };
  snp.chromosome = column(chromosome_column_);
  if (snp.chromosome.empty()) {
    *problem = messages::empty_field("chromosome");
    return line_reading::refused;
  }
  snp.name = named(column(name_column_));
  snp.alt = column(alt_column_);
  snp.centimorgans = column(centimorgan_column_);
  snp.variant = nullptr;
  if (bed) {
    if (line_number == 1 && names_columns(fields[1], fields[2])) return line_reading::skipped;
    std::int64_t end = 0;
    if (!read_bounds(fields[1], fields[2], 0, "BED", snp.position, end, *problem))
      return line_reading::refused;
    ++snp.position;  // 0-based start to 1-based first base
  } else {
    // Sound numbers are the rule: the words for a fault are found only then.
    const std::string_view position = column(position_column_);
    if (parse_integer(position, snp.position) != number_status::stored) {
      *problem = integer_problem(position, "position", snp.position);
      return line_reading::refused;
    }
  }
  snp.match = plink_codes_ ? plink_chromosome(snp.chromosome) : snp.chromosome;
  return line_reading::snp;
}
