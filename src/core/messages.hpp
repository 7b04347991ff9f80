// Every message the tool prints, worded here and nowhere else. Each is one
// line, without its line end: "FILE:LINE: message" or "FILE: message".
// Lower layers report what failed (a step and an error code, a field and
// why); only this unit turns that into words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "file_failure.hpp"
#include "input_format.hpp"

namespace messages {

// What messages call the fields and records of the two input files. The
// dropped text fields are called by their place in the record.
inline constexpr const char* SNP_NAME_FIELD = "SNP name";
inline constexpr const char* POSITION_FIELD = "position";
inline constexpr const char* FIELD_1 = "field 1";
inline constexpr const char* FIELD_2 = "field 2";
inline constexpr const char* FIELD_3 = "field 3";
inline constexpr const char* SNP_RECORDS = "SNP records";
inline constexpr const char* REGION_RECORDS = "gene regions";

// "FILE:LINE: what" and "FILE: what".
std::string at_line(std::string_view file, std::int64_t line, std::string_view what);
std::string about(std::string_view file, std::string_view what);

// "FILE: cannot open: REASON", "FILE: read error: REASON", "FILE: write
// error: REASON", "FILE: cannot replace: REASON", and "FILE: cannot
// replace: changed by another program during the run".
std::string file_failed(std::string_view file, const ::file_failure& failure);

// "FILE: compressed (gzip); decompress it first", "FILE: UTF-16 text; save
// it as plain text".
std::string not_text(std::string_view file, input_kind kind);

// What is wrong at a line, for at_line(): "SNP name longer than 19
// characters", "field 2 holds a NUL byte", "position out of range", "more
// than 2000 SNP records", "more than 4294967296 characters of whitespace in
// a row".
std::string too_long(std::string_view field, std::uint64_t limit);
std::string holds_nul(std::string_view field);
std::string out_of_range(std::string_view field);
std::string too_many(std::int64_t capacity, std::string_view records);
std::string whitespace_run(std::uint64_t limit);

// snp_weight_genome's words on its formats, for at_line() or about():
// "start is not a number: \"exon\"", "start is negative: \"-5\"", "POS out
// of range: \"99999999999999999999\"", "2 columns; BED needs at least 3",
// "end 100 is before start 200", "not a valid VCF record: REASON".
std::string not_a_number(std::string_view field, std::string_view text);
std::string negative(std::string_view field, std::string_view text);
std::string out_of_range(std::string_view field, std::string_view text);
std::string columns(std::size_t found, std::string_view format, std::size_t needed, bool at_least);
std::string end_before_start(std::int64_t start, std::int64_t end);
std::string invalid_record(std::string_view format, std::string_view reason);
// "not a VCF or BCF file: no \"#CHROM\" header line".
std::string no_vcf_header();
// "no \"gene\" lines; its feature types are CDS, exon (choose one with
// --feature)".
std::string no_feature_lines(std::string_view feature, std::string_view types);
// "no chromosome in common with snps.vcf: its SNPs are on 22, these regions
// on chrX" (exact: "... compared as written").
std::string no_common_chromosome(std::string_view snp_file, std::string_view snp_chromosome,
                                 std::string_view region_chromosome, bool exact);
// A warning: "no region on chromosome chrY (3 SNPs); they get 0.4".
std::string no_region_on(std::string_view chromosome, std::size_t snps);
// Bad usage: "cannot tell the format of snps.dat from its name; give
// --snps-format (vcf, bim, bed or table)".
std::string unknown_format(std::string_view file, std::string_view option, std::string_view choices);

// After "PROGRAM: ". A constant: printing it must not allocate.
inline constexpr const char* OUT_OF_MEMORY = "out of memory";

}  // namespace messages
