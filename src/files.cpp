#include "files.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

std::string cannot_open(const char* name, const std::string& reason) {
  return std::string(name) + ": cannot open: " + reason;
}

}  // namespace

std::FILE* open_input(const char* name, std::string* error) {
  std::error_code ignored;
  if (std::filesystem::is_directory(name, ignored)) {
    *error = cannot_open(name, std::make_error_code(std::errc::is_a_directory).message());
    return nullptr;
  }
  std::FILE* stream = std::fopen(name, "rb");
  if (stream == nullptr) *error = cannot_open(name, std::strerror(errno));
  return stream;
}

std::FILE* create_output(const char* name, std::string* error) {
  std::FILE* stream = std::fopen(name, "w");
  if (stream == nullptr) *error = cannot_open(name, std::strerror(errno));
  return stream;
}

bool close_output(std::FILE* stream, const char* name, std::string* error) {
  // Flushed apart from the close: a C runtime may report a close whose final
  // flush failed as a success (wine's msvcrt does).
  errno = 0;
  const bool flushed = std::fflush(stream) == 0 && std::ferror(stream) == 0;
  const int flush_errno = errno;
  const bool closed = std::fclose(stream) == 0;
  if (flushed && closed) return true;
  if (!flushed) errno = flush_errno;
  *error = write_error_message(name);
  return false;
}

std::string write_error_message(const char* name) {
  const char* reason = errno != 0 ? std::strerror(errno) : "output failed";
  return std::string(name) + ": write error: " + reason;
}
