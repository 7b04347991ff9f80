#include "record_loop.hpp"

#include <cstring>

std::string message_at(const text_reader& in, std::int64_t line, std::string_view message) {
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
