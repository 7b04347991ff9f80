#include "fields.hpp"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "eight_bytes.hpp"
#include "messages.hpp"

namespace {

// The first tab in [at, end), or end: eight bytes at a time, since most
// fields are short and a call to memchr costs more than it scans.
const char* find_tab(const char* at, const char* end) {
  constexpr std::uint64_t tabs = eight_bytes::ones * '\t';
  for (; end - at >= 8; at += 8) {
    const std::uint64_t flags =
        eight_bytes::below(eight_bytes::load(reinterpret_cast<const unsigned char*>(at)) ^ tabs, 1);
    if (flags != 0) return at + eight_bytes::first_flagged(flags);
  }
  while (at != end && *at != '\t') ++at;
  return at;
}

std::string bounds_problem(std::int64_t start, std::int64_t end, std::string_view start_text,
                           std::int64_t lowest, std::string_view format) {
  if (start < 0) return messages::negative("start", start_text);
  if (start < lowest) return messages::starts_at_one(format);
  if (end < start) return messages::end_before_start(start, end);
  return {};
}

}  // namespace

namespace {

bool separates(char c, separator by) {
  return by == separator::whitespace ? c == ' ' || c == '\t' : c == (by == separator::tab ? '\t' : ',');
}

// One field that begins with a double quote, RFC 4180's way: it runs to its
// closing quote, separators inside it included, and "" inside it is one
// quote, written into `unquoted`. Returns where the field ends, or npos for
// a field that is no quoted field after all (its closing quote is missing,
// or text follows it), which is then read as written.
std::size_t quoted_field(std::string_view line, std::size_t begin, separator by, std::string& unquoted,
                         std::string_view& field) {
  bool doubled = false;
  std::size_t at = begin + 1;
  for (; at < line.size(); ++at) {
    if (line[at] != '"') continue;
    if (at + 1 < line.size() && line[at + 1] == '"') {
      doubled = true;
      ++at;
      continue;
    }
    break;
  }
  if (at >= line.size() || (at + 1 < line.size() && !separates(line[at + 1], by))) return std::string_view::npos;
  field = line.substr(begin + 1, at - begin - 1);
  if (doubled) {
    const std::size_t first = unquoted.size();
    for (std::size_t k = 0; k < field.size(); ++k) {
      unquoted += field[k];
      if (field[k] == '"') ++k;  // "" is one quote
    }
    field = std::string_view(unquoted).substr(first);
  }
  return at + 1;
}

}  // namespace

std::size_t split_fields(std::string_view line, separator by, std::span<std::string_view> fields,
                         std::string* unquoted) {
  std::size_t count = 0;
  const auto store = [&](std::string_view field) {
    if (count < fields.size()) fields[count] = field;
    ++count;
  };
  if (by == separator::tab && unquoted == nullptr) {
    // Eight bytes at a time: the formats' lines, read most often.
    const char* begin = line.data();
    const char* const end = begin + line.size();
    for (const char* tab; (tab = find_tab(begin, end)) != end; begin = tab + 1)
      store(std::string_view(begin, static_cast<std::size_t>(tab - begin)));
    store(std::string_view(begin, static_cast<std::size_t>(end - begin)));
    return count;
  }
  if (unquoted != nullptr) {
    unquoted->clear();
    unquoted->reserve(line.size());  // views into it must stay where they are
  }
  const bool runs = by == separator::whitespace;  // a run of whitespace is one separator
  std::size_t begin = runs ? line.find_first_not_of(" \t") : 0;
  while (begin != std::string_view::npos) {
    std::string_view field;
    std::size_t end = std::string_view::npos;
    if (unquoted != nullptr && begin < line.size() && line[begin] == '"')
      end = quoted_field(line, begin, by, *unquoted, field);
    if (end == std::string_view::npos) {
      end = begin;
      while (end < line.size() && !separates(line[end], by)) ++end;
      field = line.substr(begin, end - begin);
    }
    store(field);
    if (end >= line.size()) break;
    begin = runs ? line.find_first_not_of(" \t", end) : end + 1;
  }
  return count;
}

separator separator_of(std::string_view header) {
  if (header.find('\t') != std::string_view::npos) return separator::tab;
  if (header.find(',') != std::string_view::npos) return separator::comma;
  return separator::whitespace;
}

number_status parse_integer(std::string_view text, std::int64_t& value) {
  constexpr std::uint64_t limit = std::uint64_t{1} << 62;
  const char* at = text.data();
  const char* const end = at + text.size();
  const bool negative = at != end && *at == '-';
  if (at != end && (*at == '+' || *at == '-')) ++at;
  if (at == end) return number_status::not_a_number;
  while (end - at > 1 && *at == '0') ++at;  // leading zeros change nothing
  // 19 digits fit in 64 unsigned bits whatever they are.
  const bool longer = end - at > 19;
  std::uint64_t magnitude = 0;
  const char* digit = at;
  if (end - digit >= 8 && !longer) {
    // The first eight digits at once.
    const std::uint64_t word = eight_bytes::load(reinterpret_cast<const unsigned char*>(digit));
    const int digits = eight_bytes::leading_digits(word);
    if (digits < 8) return number_status::not_a_number;
    magnitude = eight_bytes::digits_value(word, 8);
    digit += 8;
  }
  for (; digit != end; ++digit) {
    const unsigned d = static_cast<unsigned char>(*digit) - unsigned{'0'};
    if (d > 9) return number_status::not_a_number;
    if (!longer) magnitude = magnitude * 10 + d;
  }
  if (longer || magnitude > limit) return number_status::out_of_range;
  value = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
  return number_status::stored;
}

std::string integer_problem(std::string_view text, const char* what, std::int64_t& value) {
  switch (parse_integer(text, value)) {
    case number_status::stored:
      return {};
    case number_status::not_a_number:
      return messages::not_a_number(what, text);
    case number_status::out_of_range:
      return messages::out_of_range(what, text);
  }
  return {};
}

bool read_bounds(std::string_view start_text, std::string_view end_text, std::optional<std::int64_t> lowest,
                 std::string_view format, std::int64_t& start, std::int64_t& end, std::string& problem) {
  if (parse_integer(start_text, start) == number_status::stored &&
      parse_integer(end_text, end) == number_status::stored &&
      (!lowest || (start >= *lowest && end >= start)))
    return true;
  // Sound bounds are the rule: the words for a fault are found only now.
  problem = integer_problem(start_text, "start", start);
  if (problem.empty()) problem = integer_problem(end_text, "end", end);
  if (problem.empty()) problem = bounds_problem(start, end, start_text, *lowest, format);
  return false;
}

bool names_columns(std::string_view start_text, std::string_view end_text) {
  std::int64_t ignored = 0;
  return parse_integer(start_text, ignored) == number_status::not_a_number &&
         parse_integer(end_text, ignored) == number_status::not_a_number;
}

bool parse_length(std::string_view text, std::int64_t& bases) {
  constexpr double most = static_cast<double>(std::int64_t{1} << 40);
  double unit = 1;
  if (!text.empty() && (text.back() == 'k' || text.back() == 'K')) unit = 1e3;
  if (!text.empty() && text.back() == 'M') unit = 1e6;
  if (unit != 1) text.remove_suffix(1);
  if (text.empty() || text.front() == '-' || text.front() == '+') return false;
  double value = 0;
  const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (failure != std::errc() || end != text.data() + text.size()) return false;
  value *= unit;
  if (!(value >= 0 && value <= most) || value != static_cast<double>(static_cast<std::int64_t>(value)))
    return false;
  bases = static_cast<std::int64_t>(value);
  return true;
}

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
