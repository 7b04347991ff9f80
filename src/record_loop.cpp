#include "record_loop.hpp"

#include <cstring>

record_fields& record_fields::text(std::span<char> out, std::string_view what) {
  if (!taking()) return *this;
  std::size_t length = 0;
  switch (in_.text_field(out, length)) {
    case field_status::stored:
      // The stored text is terminated, so a NUL byte would cut it short.
      if (std::memchr(out.data(), '\0', length) != nullptr)
        refusal_ = std::string(what) + " holds a NUL byte";
      break;
    case field_status::too_long:
      refusal_ = std::string(what) + " longer than " + std::to_string(out.size() - 1) + " characters";
      break;
    case field_status::missing:
    case field_status::out_of_range:
      ended_ = true;
      break;
  }
  return *this;
}

record_fields& record_fields::skip_text() {
  if (taking()) ended_ = in_.skip_text_field() != field_status::stored;
  return *this;
}

record_fields& record_fields::integer(std::int32_t& out) {
  if (!taking()) return *this;
  switch (in_.integer_field(out)) {
    case field_status::stored:
      break;
    case field_status::out_of_range:
      refusal_ = "position out of range";
      break;
    case field_status::missing:
    case field_status::too_long:
      ended_ = true;
      break;
  }
  return *this;
}

std::string message_at(const text_reader& in, long line, std::string_view message) {
  std::string text(in.file_name());
  text += ':';
  text += std::to_string(line);
  text += ": ";
  text += message;
  return text;
}

std::string read_error_message(const text_reader& in) {
  if (!in.read_failed()) return {};
  return std::string(in.file_name()) + ": read error: " + std::strerror(in.read_error());
}
