// The rules for the fields of the text formats: how a line splits into
// fields, and what a number is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class separator {
  tab,         // BED, GTF, GFF3, VCF-like tables: every tab ends a field
  whitespace,  // .bim and plain tables: runs of spaces and tabs
  comma,       // CSV: commas, outside double quotes
};

// Splits `line` into fields, storing the first fields.size() of them, and
// returns how many there are in all. With `unquoted` (tables, as R's
// write.table and spreadsheets write them), a field that begins with a
// double quote is read RFC 4180's way: to its closing quote, separators
// inside it included, the quotes dropped, and "" inside it one quote, the
// field then held in *unquoted.
std::size_t split_fields(std::string_view line, separator by, std::span<std::string_view> fields,
                         std::string* unquoted = nullptr);

// The separator of a table whose header line is `header`: tabs, else commas,
// else runs of whitespace.
separator separator_of(std::string_view header);

// Whether a line holds no record: it is empty or a "#" comment, or, in BED,
// a "track" or "browser" line.
inline bool is_comment_line(std::string_view line, bool bed) {
  return line.empty() || line.front() == '#' ||
         (bed && (line.starts_with("track") || line.starts_with("browser")));
}

enum class number_status { stored, not_a_number, out_of_range };

// A whole field as a decimal integer with an optional sign, from -2^62 to
// 2^62: room for any genome, and for the arithmetic of the formats' bounds.
number_status parse_integer(std::string_view text, std::int64_t& value);

// The same for a field named `what` ("start"): "" with the value stored, or
// why the field is refused, for messages::at_line().
std::string integer_problem(std::string_view text, const char* what, std::int64_t& value);

// An interval's start and end. Those of a format (BED, GTF, GFF3: `lowest`
// given, 0 or 1) hold no start below `lowest` and no end before the start;
// a table's are taken as they are. False, with why in `problem` (worded for
// messages::at_line(), `format` the format's name), when they are unsound.
bool read_bounds(std::string_view start_text, std::string_view end_text, std::optional<std::int64_t> lowest,
                 std::string_view format, std::int64_t& start, std::int64_t& end, std::string& problem);

// Whether a BED line's start and end are both no numbers: a first line that
// names the columns ("chrom start end").
bool names_columns(std::string_view start_text, std::string_view end_text);

// A length in bases: "50000", "35k", "1M" or "1.5k" (k = 1,000, M =
// 1,000,000), not negative, at most 2^40. False when it is none.
bool parse_length(std::string_view text, std::int64_t& bases);

// The value of attribute `key` in a GTF attribute column (key "value"; ...,
// a ';' inside the quotes being part of the value) or a GFF3 one
// (key=value;...), or "".
std::string_view attribute(std::string_view attributes, std::string_view key, bool gff3);

// A BED12 line's blocks: a comma-separated list of `count` numbers, none
// negative, a trailing comma allowed. False when it is not.
bool block_list(std::string_view text, std::size_t count, std::vector<std::int64_t>& numbers);
