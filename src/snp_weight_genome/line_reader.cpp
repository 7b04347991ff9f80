#include "line_reader.hpp"

#include <htslib/hfile.h>
#include <htslib/kseq.h>
#include <htslib/kstring.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "input_format.hpp"
#include "messages.hpp"

hts_input::~hts_input() {
  if (file_ != nullptr) hts_close(file_);
}

bool hts_input::open(const std::string& path, std::string* error) {
  path_ = path;
  const auto refuse = [&](int code) {
    *error = messages::file_failed(
        path, {file_step::open, std::error_code(code, std::generic_category())});
    return false;
  };
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return refuse(EISDIR);
  errno = 0;
  hFILE* stream = hopen(path.c_str(), "r");
  if (stream == nullptr) return refuse(errno != 0 ? errno : EIO);
  unsigned char first[SNIFF_BYTES];
  const ssize_t peeked = hpeek(stream, first, sizeof first);
  const input_kind kind =
      peeked < 0 ? input_kind::text : sniff_input({first, static_cast<std::size_t>(peeked)}).kind;
  if (kind != input_kind::text && kind != input_kind::gzip) {
    hclose_abruptly(stream);
    *error = messages::not_text(path, kind);
    return false;
  }
  file_ = hts_hopen(stream, path.c_str(), "r");
  if (file_ == nullptr) {
    hclose_abruptly(stream);
    return refuse(errno != 0 ? errno : EIO);
  }
  // BGZF blocks are inflated on a second thread while this one parses.
  if (hts_get_format(file_)->compression == bgzf) hts_set_threads(file_, 1);
  return true;
}

line_reader::~line_reader() { ks_free(&text_); }

bool line_reader::next(std::string_view& line, std::string* error) {
  const int length = hts_getline(input_.file(), KS_SEP_LINE, &text_);
  if (length < 0) {
    if (length < -1)
      *error = messages::file_failed(input_.path(),
                                      {file_step::read, std::make_error_code(std::errc::io_error)});
    return false;
  }
  ++line_number_;
  line = std::string_view(text_.s, text_.l);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (std::memchr(line.data(), '\0', line.size()) != nullptr) {
    *error = messages::at_line(input_.path(), line_number_, messages::holds_nul("line"));
    return false;
  }
  return true;
}

std::size_t split_fields(std::string_view line, bool tabs, std::span<std::string_view> fields) {
  std::size_t count = 0;
  const auto store = [&](std::string_view field) {
    if (count < fields.size()) fields[count] = field;
    ++count;
  };
  if (tabs && line.find('\t') != std::string_view::npos) {
    for (std::size_t begin = 0;;) {
      const std::size_t tab = line.find('\t', begin);
      store(line.substr(begin, tab == std::string_view::npos ? std::string_view::npos : tab - begin));
      if (tab == std::string_view::npos) return count;
      begin = tab + 1;
    }
  }
  for (std::size_t begin = line.find_first_not_of(" \t"); begin != std::string_view::npos;) {
    const std::size_t end = line.find_first_of(" \t", begin);
    store(line.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
    begin = end == std::string_view::npos ? end : line.find_first_not_of(" \t", end);
  }
  return count;
}

bool is_comment_line(std::string_view line, bool bed) {
  return line.empty() || line.front() == '#' ||
         (bed && (line.starts_with("track") || line.starts_with("browser")));
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

std::string bounds_problem(std::int64_t start, std::int64_t end, std::string_view start_text,
                           std::int64_t lowest) {
  if (start < lowest) return messages::negative("start", start_text);
  if (end < start) return messages::end_before_start(start, end);
  return {};
}

number_status parse_integer(std::string_view text, std::int64_t& value) {
  constexpr std::int64_t limit = std::int64_t{1} << 62;
  const bool plus = !text.empty() && text.front() == '+';
  if (plus) text.remove_prefix(1);
  if (text.empty() || (plus && text.front() == '-')) return number_status::not_a_number;
  std::int64_t parsed = 0;
  const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (end != text.data() + text.size()) return number_status::not_a_number;
  if (failure == std::errc::result_out_of_range || parsed > limit || parsed < -limit)
    return number_status::out_of_range;
  if (failure != std::errc()) return number_status::not_a_number;
  value = parsed;
  return number_status::stored;
}
