#include "messages.hpp"

#include <algorithm>
#include <charconv>
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
      if (!failure.detail.empty())
        return about(file, "cannot replace: changed by another program during the run; another file it put "
                           "there is left beside it as " + failure.detail);
      return about(file, "cannot replace: changed by another program during the run");
    case file_step::spool:
      return about(file, "cannot make a temporary copy to write it in place: " + failure.reason.message() +
                             "; set TMPDIR (TMP on Windows) to a writable folder");
    case file_step::temporary_removed:
      return about(file, "cannot replace: its temporary file " + failure.detail + " was removed during the run");
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

std::string columns_of_header(std::size_t found, std::size_t named) {
  return std::to_string(found) + (found == 1 ? " column; its header names " : " columns; its header names ") +
         std::to_string(named);
}

std::string empty_field(std::string_view field) { return std::string(field) + " is empty"; }

std::string end_before_start(std::int64_t start, std::int64_t end) {
  return "end " + std::to_string(end) + " is before start " + std::to_string(start);
}

std::string separated_by_spaces(std::string_view what) {
  return std::string(what) + " columns are separated by spaces; VCF separates them by tabs";
}

std::string invalid_record(std::string_view format, std::string_view reason) {
  return "not a valid " + std::string(format) + " record: " + std::string(reason);
}

namespace {

// A weight as people write it: "0.4", "1", "-2.5".
std::string shortest(double weight) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, weight).ptr);
}

// A header's column names, as a list: "SNP, CHR, BP".
std::string column_list(std::string_view header) {
  std::string list;
  const char separator = header.find('\t') != std::string_view::npos  ? '\t'
                         : header.find(',') != std::string_view::npos ? ','
                                                                      : ' ';
  for (std::size_t at = 0, names = 0; at <= header.size() && names < 12;) {
    const std::size_t end = std::min(header.find(separator, at), header.size());
    const std::string_view name = header.substr(at, end - at);
    at = end + 1;
    if (name.empty()) continue;
    list += list.empty() ? "" : ", ";
    list += name.substr(0, 40);
    if (++names == 12 && at <= header.size()) list += ", ...";
  }
  return list;
}

}  // namespace

std::string no_vcf_header() { return "not a VCF or BCF file: no \"#CHROM\" header line"; }

std::string no_fileformat_line() { return "not a VCF file: no \"##fileformat\" line"; }

std::string no_feature_lines(const std::vector<std::string>& features, std::string_view types) {
  std::string wanted;
  for (std::size_t i = 0; i < features.size(); ++i)
    wanted += (i == 0 ? "" : i + 1 == features.size() ? " or " : ", ") + quoted(features[i]);
  if (types.empty()) return "no " + wanted + " lines, nor any other feature";
  return "no " + wanted + " lines; its feature types are " + std::string(types) + " (choose with --feature)";
}

std::string no_common_chromosome(std::string_view snp_file, std::string_view snp_chromosome,
                                 std::string_view region_chromosome, bool exact) {
  return "no chromosome in common with " + std::string(snp_file) + ": its SNPs are on " +
         std::string(snp_chromosome) + ", these regions on " + std::string(region_chromosome) +
         (exact ? " (compared as written)" : "");
}

std::string other_build(std::string_view here, std::string_view there, std::string_view other_file) {
  return std::string(here) + " here but " + std::string(there) + " in " + std::string(other_file) +
         ": the files come from different genome builds; --allow-build-mismatch runs anyway";
}

std::string past_the_end(std::uint64_t snps, std::string_view declared_by, std::string_view first,
                         std::string_view chromosome, std::int64_t position, std::int64_t length) {
  std::string text = std::to_string(snps) + (snps == 1 ? " SNP lies" : " SNPs lie");
  text += " past the end of their chromosome as ";
  text += declared_by;
  text += " declares it; the first is ";
  text += first;
  text += " at ";
  text += chromosome;
  text += ':';
  text += std::to_string(position);
  text += ", past ";
  text += std::to_string(length);
  return text;
}

std::string no_region_on(std::string_view chromosome, std::size_t snps, double weight) {
  return "no region on chromosome " + std::string(chromosome) + " (" + std::to_string(snps) +
         (snps == 1 ? " SNP); it gets " : " SNPs); they get ") + shortest(weight);
}

std::string no_regions(double weight) { return "no regions; every SNP gets " + shortest(weight); }

std::string unknown_format(std::string_view file, std::string_view option, std::string_view choices) {
  return "cannot tell the format of " + std::string(file) + " from its name or contents; give " +
         std::string(option) + " (" + std::string(choices) + ")";
}

std::string one_standard_input() { return "- (the standard input) can stand for one input only"; }

std::string input_is_output() { return "is also the standard output; write the result to another file"; }

std::string empty_output_name() { return "--output: the file name is empty"; }

std::string bad_weights(std::string_view text, std::size_t classes) {
  if (classes == 1) return "--weights: " + std::string(text) + " is not two numbers, INSIDE,OUTSIDE (0.8,0.4)";
  return "--weights: " + std::string(text) + " is not " + std::to_string(classes + 1) +
         " numbers, one for each of the " + std::to_string(classes) + " region classes and then OUTSIDE";
}

std::string bad_class_names(std::size_t names, std::size_t classes) {
  return "--class-names: " + std::to_string(names) + (names == 1 ? " name for " : " names for ") +
         std::to_string(classes) + (classes == 1 ? " region class" : " region classes");
}

std::string bad_snp_columns(std::size_t given) {
  return "--snp-columns: " + std::to_string(given) + (given == 1 ? " column" : " columns") +
         " given; it takes NAME,CHROM,POS";
}

std::string too_many_classes(std::size_t given, std::size_t most) {
  return std::to_string(most) + " region classes at the most (" + std::to_string(given) + " given)";
}

std::string goes_with(std::string_view option, std::string_view other) {
  return std::string(option) + " goes with " + std::string(other);
}

std::string features_of_annotation_only() { return "feature types are chosen in GTF and GFF3 files only"; }

std::string no_allele_column(std::string_view format) {
  return "no allele column for --format score (" + std::string(format) + " has none)";
}

std::string no_allele_column_among(std::string_view header) {
  return "no allele column for --format score among " + column_list(header) +
         " (A1, ALT, ALLELE1, EA, effect_allele...)";
}

std::string needs_variants(std::string_view format) {
  return "--format " + std::string(format) + " needs VCF or BCF input";
}

std::string info_declared_otherwise(std::string_view id, std::string_view declared, std::string_view written) {
  return "its header declares INFO/" + std::string(id) + " otherwise (" + std::string(declared) +
         "); --format vcf writes " + std::string(written);
}

std::string no_region_names() { return "--sets: no region has a name"; }

std::string undeclared_contig(std::string_view chromosome) {
  return "chromosome " + std::string(chromosome) + " has no ##contig line in the header, which BCF needs (write VCF)";
}

std::string no_regions_in_class() { return "no regions; no SNP is in this class"; }

std::string bad_length(std::string_view option, std::string_view text) {
  return std::string(option) + ": " + std::string(text) + " is not a length in bases (50000, 35k, 1M)";
}

std::string damaged(std::string_view compression, std::string_view place) {
  return "truncated or corrupt " + std::string(compression) + " data " + std::string(place) +
         "; the file is damaged or incomplete";
}

std::string no_eof_block() { return "no BGZF end-of-file block; the file is truncated or incomplete"; }

std::string compressed_twice(std::string_view inner, std::string_view outer) {
  return "compressed twice (" + std::string(inner) + " inside " + std::string(outer) +
         "); decompress it first";
}

std::string other_format(std::string_view what, std::string_view expected) {
  return std::string(what) + ", not " + std::string(expected);
}

std::string control_byte(unsigned char byte, std::string_view format) {
  static constexpr char hex[] = "0123456789ABCDEF";
  return std::string("not text: byte 0x") + hex[byte >> 4] + hex[byte & 15] + " (" + std::string(format) +
         " is text)";
}

std::string line_too_long(std::size_t limit) {
  return "line longer than " + std::to_string(limit) + " characters";
}

std::string starts_at_one(std::string_view format) {
  return "start is 0; " + std::string(format) + " positions start at 1";
}

std::string bad_blocks() { return "BED12 blocks that do not agree with blockCount"; }

std::string block_outside(std::size_t block) {
  return "BED12 block " + std::to_string(block) + " lies outside the line's start and end";
}

std::string no_known_columns(std::string_view header, bool table) {
  return "no name, chromosome or position column among " + column_list(header) +
         (table ? " (give --snp-columns NAME,CHROM,POS)" : "");
}

std::string no_such_column(std::string_view wanted, std::string_view header) {
  return "no column " + quoted(wanted) + " among " + column_list(header);
}

}  // namespace messages
