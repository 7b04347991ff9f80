#include "files.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

std::FILE* open_input(const char* name, std::string* error) {
  std::error_code ignored;
  if (std::filesystem::is_directory(name, ignored)) {
    *error = cannot_open_message(name, std::make_error_code(std::errc::is_a_directory).message());
    return nullptr;
  }
  std::FILE* stream = std::fopen(name, "rb");
  if (stream == nullptr) *error = cannot_open_message(name, std::strerror(errno));
  return stream;
}

std::string cannot_open_message(const char* name, const std::string& reason) {
  return std::string(name) + ": cannot open: " + reason;
}

std::string write_error_message(const char* name) {
  const char* reason = errno != 0 ? std::strerror(errno) : "output failed";
  return std::string(name) + ": write error: " + reason;
}
