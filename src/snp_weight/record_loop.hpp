// The record reading loop shared by both input files.
//
// A file is a sequence of records, each a fixed pattern of fields. While a
// byte other than whitespace remains, one record is read into the next row
// and counted. A record that ends early (the input ends, or an integer field
// finds no number) still counts, with its unread fields at their initial
// values, and reading resumes at the byte that stopped it. Input outside the
// tables' data model refuses the whole file: too many records, a name too
// long for its field, a NUL byte in any field, an endless field or run of
// whitespace, an integer outside 32 bits, a file that is not text, a read
// error.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "messages.hpp"
#include "text_reader.hpp"

// The fields of one record, taken in pattern order. Once a field is missing
// the record has ended and the later fields are neither read nor stored.
// Defined inline, so that each record pattern compiles into one loop.
class record_fields {
 public:
  explicit record_fields(text_reader& in) : in_(in) {}

  // A stored text field. `field` names it in a refusal ("SNP name").
  record_fields& text(std::span<char> out, const char* field);
  // A text field that is read and dropped.
  record_fields& skip_text(const char* field);
  // A stored integer field, a position of either file.
  record_fields& integer(std::int32_t& out);

  // Empty, or why the input is refused at the field the reader stopped in.
  const std::string& refusal() const { return refusal_; }

 private:
  bool taking() const { return !ended_ && refusal_.empty(); }
  // Ends the record at a missing field, or refuses the input.
  void take(field_status status, const char* field, std::uint64_t limit);

  text_reader& in_;
  bool ended_ = false;
  std::string refusal_;
};

// Why the input ended early, as a message ("FILE: read error: REASON"), or
// "" when it ended at its end.
std::string input_stop_message(const text_reader& in);

// Reads every record of `in`: read_record(fields, k) reads record k into row
// k of the caller's table, which has `capacity` rows of `records` ("SNP
// records"). `count` ends as the number of records read. Returns false with
// a one-line message in `error` when the input is refused.
template <class ReadRecord>
bool read_records(text_reader& in, int capacity, const char* records, int& count, ReadRecord read_record,
                  std::string* error);

// Implementation details follow.

inline void record_fields::take(field_status status, const char* field, std::uint64_t limit) {
  switch (status) {
    case field_status::stored:
      break;
    case field_status::missing:
      ended_ = true;
      break;
    case field_status::too_long:
      refusal_ = messages::too_long(field, limit);
      break;
    case field_status::holds_nul:
      refusal_ = messages::holds_nul(field);
      break;
    case field_status::out_of_range:
      refusal_ = messages::out_of_range(field);
      break;
  }
}

inline record_fields& record_fields::text(std::span<char> out, const char* field) {
  std::size_t length = 0;
  if (taking()) take(in_.text_field(out, length), field, out.size() - 1);
  return *this;
}

inline record_fields& record_fields::skip_text(const char* field) {
  if (taking()) take(in_.skip_text_field(), field, MAX_DROPPED_FIELD_LENGTH);
  return *this;
}

inline record_fields& record_fields::integer(std::int32_t& out) {
  if (taking()) take(in_.integer_field(out), messages::POSITION_FIELD, 0);
  return *this;
}

template <class ReadRecord>
bool read_records(text_reader& in, int capacity, const char* records, int& count, ReadRecord read_record,
                  std::string* error) {
  count = 0;
  while (in.skip_whitespace()) {
    if (count == capacity) {
      *error = messages::at_line(in.file_name(), in.line(), messages::too_many(capacity, records));
      return false;
    }
    record_fields fields(in);
    read_record(fields, count);
    if (!fields.refusal().empty()) {
      *error = messages::at_line(in.file_name(), in.field_line(), fields.refusal());
      return false;
    }
    ++count;
  }
  *error = input_stop_message(in);
  return error->empty();
}
