#include "files.hpp"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "messages.hpp"

std::FILE* open_input(const char* name, std::string* error) {
  std::error_code ignored;
  std::error_code reason;
  std::FILE* stream = nullptr;
  if (std::filesystem::is_directory(name, ignored)) {
    reason = std::make_error_code(std::errc::is_a_directory);
  } else {
    errno = 0;
    stream = std::fopen(name, "rb");
    if (stream == nullptr) reason = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
  }
  if (stream == nullptr) *error = messages::file_failed(name, {file_step::open, reason});
  return stream;
}
