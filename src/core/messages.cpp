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

std::vector<std::string> snp_weight_genome_examples() {
  using platform::file_step;
  return {
      "snp_weight_genome: " + unknown_format("snps.dat", "--snps-format", "vcf, bim, bed or table"),
      file_failure("snps.vcf", {file_step::open, std::make_error_code(std::errc::no_such_file_or_directory)}),
      not_text("genes.gtf", input_kind::xz),
      about("snps.vcf", no_vcf_header()),
      at_line("snps.vcf", 31, invalid_record("VCF", "fewer than 8 columns")),
      at_line("snps.vcf", 31, not_a_number("POS", "12e5")),
      at_line("regions.bed", 12, not_a_number("start", "exon")),
      at_line("regions.bed", 12, negative("start", "-5")),
      at_line("regions.bed", 12, out_of_range("end", "99999999999999999999")),
      at_line("regions.bed", 12, columns(2, "BED", 3, true)),
      at_line("genes.gtf", 7, columns(8, "GTF", 9, false)),
      at_line("regions.bed", 12, end_before_start(200, 100)),
      at_line("snps.txt", 3, holds_nul("line")),
      about("genes.gtf", no_feature_lines("gene", "CDS, exon")),
      about("regions.bed", no_common_chromosome("snps.vcf", "22", "chrX", false)),
      about("regions.bed", no_region_on("chrY", 3)),
      file_failure("weight.txt", {file_step::write, std::make_error_code(std::errc::no_space_on_device)}),
      std::string("snp_weight_genome: ") + OUT_OF_MEMORY,
  };
}

}  // namespace messages
