#include "messages.hpp"

#include <cerrno>
#include <system_error>

#include "records.hpp"

namespace messages {

std::string at_line(std::string_view file, std::int64_t line, std::string_view what) {
  std::string text(file);
  text += ':';
  text += std::to_string(line);
  text += ": ";
  text += what;
  return text;
}

std::string about(std::string_view file, std::string_view what) {
  std::string text(file);
  text += ": ";
  text += what;
  return text;
}

std::string file_failure(std::string_view file, const platform::file_failure& failure) {
  switch (failure.step) {
    case platform::file_step::open:
      return about(file, "cannot open: " + failure.reason.message());
    case platform::file_step::read:
      return about(file, "read error: " + failure.reason.message());
    case platform::file_step::write:
      return about(file, "write error: " + failure.reason.message());
    case platform::file_step::replace:
      return about(file, "cannot replace: " + failure.reason.message());
    case platform::file_step::changed:
      return about(file, "cannot replace: changed by another program during the run");
  }
  return about(file, failure.reason.message());
}

std::string not_text(std::string_view file, input_kind kind) {
  const std::string name = input_kind_name(kind);
  if (kind == input_kind::utf16 || kind == input_kind::utf32)
    return about(file, name + " text; save it as plain text");
  return about(file, "compressed (" + name + "); decompress it first");
}

std::string too_long(std::string_view field, std::uint64_t limit) {
  return std::string(field) + " longer than " + std::to_string(limit) + " characters";
}

std::string holds_nul(std::string_view field) { return std::string(field) + " holds a NUL byte"; }

std::string out_of_range(std::string_view field) { return std::string(field) + " out of range"; }

std::string too_many(std::int64_t capacity, std::string_view records) {
  return "more than " + std::to_string(capacity) + " " + std::string(records);
}

std::string whitespace_run(std::uint64_t limit) {
  return "more than " + std::to_string(limit) + " characters of whitespace in a row";
}

std::vector<std::string> snp_weight_examples() {
  using platform::file_step;
  const auto failure = [](file_step step, int code) {
    return platform::file_failure{step, std::error_code(code, std::generic_category())};
  };
  return {
      file_failure(SNP_FILE_NAME, failure(file_step::open, ENOENT)),
      file_failure(WEIGHT_FILE_NAME, failure(file_step::open, EACCES)),
      not_text(REGION_FILE_NAME, input_kind::gzip),
      not_text(SNP_FILE_NAME, input_kind::utf16),
      at_line(SNP_FILE_NAME, 12, too_long(SNP_NAME_FIELD, MAX_SNP_NAME_LENGTH)),
      at_line(REGION_FILE_NAME, 7, too_long(FIELD_1, MAX_DROPPED_FIELD_LENGTH)),
      at_line(SNP_FILE_NAME, 12, holds_nul(SNP_NAME_FIELD)),
      at_line(SNP_FILE_NAME, 2001, too_many(MAX_SNPS, SNP_RECORDS)),
      at_line(REGION_FILE_NAME, MAX_REGIONS + 1, too_many(MAX_REGIONS, REGION_RECORDS)),
      at_line(REGION_FILE_NAME, 17, out_of_range(POSITION_FIELD)),
      at_line(SNP_FILE_NAME, 3, whitespace_run(MAX_WHITESPACE_RUN)),
      file_failure(SNP_FILE_NAME, failure(file_step::read, EIO)),
      file_failure(WEIGHT_FILE_NAME, failure(file_step::write, ENOSPC)),
      file_failure(WEIGHT_FILE_NAME, failure(file_step::replace, EACCES)),
      file_failure(WEIGHT_FILE_NAME, failure(file_step::changed, 0)),
      std::string("snp_weight: ") + OUT_OF_MEMORY,
  };
}

}  // namespace messages
