// The record reading loop shared by both input files.
//
// A file is a sequence of records, each a fixed pattern of fields. While a
// byte other than whitespace remains, one record is read into the next row
// and counted. A record that ends early (the input ends, or an integer field
// finds no number) still counts, with its unread fields at their initial
// values, and reading resumes at the byte that stopped it. Input outside the
// tables' data model (too many records, a name too long for its field, an
// integer outside 32 bits, a read error) refuses the whole file.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "text_reader.hpp"

// The fields of one record, taken in pattern order. Once a field is missing
// the record has ended and the later fields are neither read nor stored.
// Defined inline, so that each record pattern compiles into one loop.
class record_fields {
 public:
  explicit record_fields(text_reader& in) : in_(in) {}

  // A stored text field. `what` names it in a refusal ("SNP name").
  record_fields& text(std::span<char> out, std::string_view what);
  // A text field that is read and dropped.
  record_fields& skip_text();
  // A stored integer field, a position of either file.
  record_fields& integer(std::int32_t& out);

  // Empty, or why the input is refused at the field the reader stopped in.
  const std::string& refusal() const { return refusal_; }

 private:
  bool taking() const { return !ended_ && refusal_.empty(); }
  void refuse(std::string_view what, std::string_view why) {
    refusal_ = what;
    refusal_ += why;
  }

  text_reader& in_;
  bool ended_ = false;
  std::string refusal_;
};

// "FILE:LINE: message".
std::string message_at(const text_reader& in, std::int64_t line, std::string_view message);
// "FILE: read error: REASON" when the input ended in a read error, else "".
std::string read_error_message(const text_reader& in);

// Reads every record of `in`: read_record(fields, k) reads record k into row
// k of the caller's table, which has `capacity` rows of `kind` ("SNP
// records"). `count` ends as the number of records read. Returns false with
// a one-line message in `error` when the input is refused.
inline record_fields& record_fields::text(std::span<char> out, std::string_view what) {
  if (!taking()) return *this;
  std::size_t length = 0;
  switch (in_.text_field(out, length)) {
    case field_status::stored:
      // The stored text is terminated, so a NUL byte would cut it short.
      if (std::memchr(out.data(), '\0', length) != nullptr) refuse(what, " holds a NUL byte");
      break;
    case field_status::too_long:
      refuse(what, " longer than " + std::to_string(out.size() - 1) + " characters");
      break;
    case field_status::missing:
    case field_status::out_of_range:
      ended_ = true;
      break;
  }
  return *this;
}

inline record_fields& record_fields::skip_text() {
  if (taking()) ended_ = in_.skip_text_field() != field_status::stored;
  return *this;
}

inline record_fields& record_fields::integer(std::int32_t& out) {
  if (!taking()) return *this;
  switch (in_.integer_field(out)) {
    case field_status::stored:
      break;
    case field_status::out_of_range:
      refuse("position", " out of range");
      break;
    case field_status::missing:
    case field_status::too_long:
      ended_ = true;
      break;
  }
  return *this;
}

template <class ReadRecord>
bool read_records(text_reader& in, int capacity, std::string_view kind, int& count, ReadRecord read_record,
                  std::string* error) {
  count = 0;
  while (in.skip_whitespace()) {
    if (count == capacity) {
      *error = message_at(in, in.line(), "more than " + std::to_string(capacity) + " " + std::string(kind));
      return false;
    }
    record_fields fields(in);
    read_record(fields, count);
    if (!fields.refusal().empty()) {
      *error = message_at(in, in.field_line(), fields.refusal());
      return false;
    }
    ++count;
  }
  *error = read_error_message(in);
  return error->empty();
}
