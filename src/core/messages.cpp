#include "messages.hpp"

#include <system_error>

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

std::string file_failed(std::string_view file, const ::file_failure& failure) {
  switch (failure.step) {
    case file_step::open:
      return about(file, "cannot open: " + failure.reason.message());
    case file_step::read:
      return about(file, "read error: " + failure.reason.message());
    case file_step::write:
      return about(file, "write error: " + failure.reason.message());
    case file_step::replace:
      return about(file, "cannot replace: " + failure.reason.message());
    case file_step::changed:
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

namespace {

std::string quoted(std::string_view text) {
  // Long enough to recognize, short enough for one line.
  constexpr std::size_t longest = 40;
  std::string out = "\"";
  out += text.substr(0, longest);
  if (text.size() > longest) out += "...";
  out += '"';
  return out;
}

}  // namespace

std::string not_a_number(std::string_view field, std::string_view text) {
  return std::string(field) + " is not a number: " + quoted(text);
}

std::string negative(std::string_view field, std::string_view text) {
  return std::string(field) + " is negative: " + quoted(text);
}

std::string out_of_range(std::string_view field, std::string_view text) {
  return std::string(field) + " out of range: " + quoted(text);
}

std::string columns(std::size_t found, std::string_view format, std::size_t needed, bool at_least) {
  return std::to_string(found) + (found == 1 ? " column; " : " columns; ") + std::string(format) + " needs " +
         (at_least ? "at least " : "") + std::to_string(needed);
}

std::string end_before_start(std::int64_t start, std::int64_t end) {
  return "end " + std::to_string(end) + " is before start " + std::to_string(start);
}

std::string invalid_record(std::string_view format, std::string_view reason) {
  return "not a valid " + std::string(format) + " record: " + std::string(reason);
}

std::string no_vcf_header() { return "not a VCF or BCF file: no \"#CHROM\" header line"; }

std::string no_feature_lines(std::string_view feature, std::string_view types) {
  if (types.empty()) return "no " + quoted(feature) + " lines, nor any other feature";
  return "no " + quoted(feature) + " lines; its feature types are " + std::string(types) +
         " (choose one with --feature)";
}

std::string no_common_chromosome(std::string_view snp_file, std::string_view snp_chromosome,
                                 std::string_view region_chromosome, bool exact) {
  return "no chromosome in common with " + std::string(snp_file) + ": its SNPs are on " +
         std::string(snp_chromosome) + ", these regions on " + std::string(region_chromosome) +
         (exact ? " (compared as written)" : "");
}

std::string no_region_on(std::string_view chromosome, std::size_t snps) {
  return "no region on chromosome " + std::string(chromosome) + " (" + std::to_string(snps) +
         (snps == 1 ? " SNP); it gets 0.4" : " SNPs); they get 0.4");
}

std::string unknown_format(std::string_view file, std::string_view option, std::string_view choices) {
  return "cannot tell the format of " + std::string(file) + " from its name; give " + std::string(option) +
         " (" + std::string(choices) + ")";
}

}  // namespace messages
