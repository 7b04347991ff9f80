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
// error: REASON", "FILE: cannot replace: REASON", "FILE: cannot replace:
// changed by another program during the run" (and where it left a file of
// its own), "FILE: cannot replace: its temporary file NAME was removed
// during the run", "FILE: cannot make a temporary copy to write it in
// place: REASON; set TMPDIR (TMP on Windows) to a writable folder".
std::string file_failed(std::string_view file, const ::file_failure& failure);

// "FILE: compressed (gzip); decompress it first", "FILE: UTF-16 text; save
// it as plain text".
std::string not_text(std::string_view file, input_kind kind);

// What is wrong at a line, for at_line(): "SNP name longer than 19
// characters", "field 2 holds a NUL byte", "position out of range", "more
// than 2000 SNP records", "more than 16777216 characters of whitespace in a
// row".
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
// "5 columns; its header names 4".
std::string columns_of_header(std::size_t found, std::size_t named);
std::string end_before_start(std::int64_t start, std::int64_t end);
// "chromosome is empty".
std::string empty_field(std::string_view field);
std::string invalid_record(std::string_view format, std::string_view reason);
// "the #CHROM line's columns are separated by spaces; VCF separates them by
// tabs".
std::string separated_by_spaces(std::string_view what);
// "not a VCF or BCF file: no \"#CHROM\" header line"; "not a VCF file: no
// \"##fileformat\" line".
std::string no_vcf_header();
std::string no_fileformat_line();
// "no \"gene\" lines; its feature types are CDS, exon (choose with
// --feature)", or "no \"exon\" or \"CDS\" lines; ...".
std::string no_feature_lines(const std::vector<std::string>& features, std::string_view types);
// "no chromosome in common with snps.vcf: its SNPs are on 22, these regions
// on chrX" (exact: "... compared as written").
std::string no_common_chromosome(std::string_view snp_file, std::string_view snp_chromosome,
                                 std::string_view region_chromosome, bool exact);
// Two genome builds: "chromosome 22 is 50818468 bases long (GRCh38) here
// but 51304566 (GRCh37) in snps.vcf: the files come from different genome
// builds; --allow-build-mismatch runs anyway", and the like for "NC_000022.11
// (GRCh38)" against "NC_000022.10 (GRCh37)".
std::string other_build(std::string_view here, std::string_view there, std::string_view other_file);
// A warning: "531 SNPs lie past the end of their chromosome as genes.gff3
// declares it; the first is rs123 at 22:51244000, past 50818468".
std::string past_the_end(std::uint64_t snps, std::string_view declared_by, std::string_view first,
                         std::string_view chromosome, std::int64_t position, std::int64_t length);
// Warnings: "no region on chromosome chrY (3 SNPs); they get 0.4", "no
// regions; every SNP gets 0.4".
std::string no_region_on(std::string_view chromosome, std::size_t snps, double weight);
std::string no_regions(double weight);
// Bad usage: "cannot tell the format of snps.dat from its name or contents;
// give --snps-format (vcf, bim, pvar, bed or table)".
std::string unknown_format(std::string_view file, std::string_view option, std::string_view choices);

// Other bad usage: "- (the standard input) can stand for one input only",
// "--output: the file name is empty", "--weights: 1;2 is not two numbers,
// INSIDE,OUTSIDE (0.8,0.4)", "--flank: 5kb is not a length in bases
// (50000, 35k, 1M)".
std::string one_standard_input();
// "is also the standard output; write the result to another file".
std::string input_is_output();
std::string empty_output_name();
// For several classes: "--weights: 1,0 is not 4 numbers, one for each of
// the 3 region classes and then OUTSIDE".
std::string bad_weights(std::string_view text, std::size_t classes = 1);
// "--class-names: 2 names for 3 region classes", "64 region classes at the
// most (70 given)", "--thin goes with --format annot".
std::string bad_class_names(std::size_t names, std::size_t classes);
// "--snp-columns: 2 columns given; it takes NAME,CHROM,POS".
std::string bad_snp_columns(std::size_t given);
std::string too_many_classes(std::size_t given, std::size_t most);
std::string goes_with(std::string_view option, std::string_view other);
// Where an input does not fit the output asked for: "exon:regions.bed:
// feature types are chosen in GTF and GFF3 files only", "no allele column
// for --format score (BED has none)", "no allele column for --format score
// among SNP, CHR, BP (A1, ALT, ALLELE1, EA, effect_allele...)", "--format
// vcf needs VCF or BCF input", "its header declares INFO/WEIGHT otherwise
// (Type=Integer); --format vcf writes a Float", "--sets: no region has a
// name".
std::string features_of_annotation_only();
std::string no_allele_column(std::string_view format);
std::string no_allele_column_among(std::string_view header);
std::string needs_variants(std::string_view format);
std::string info_declared_otherwise(std::string_view id, std::string_view declared, std::string_view written);
std::string no_region_names();
// "chromosome chr7 has no ##contig line in the header, which BCF needs
// (write VCF)".
std::string undeclared_contig(std::string_view chromosome);
// A warning for one of several classes: "no regions; no SNP is in this
// class".
std::string no_regions_in_class();
std::string bad_length(std::string_view option, std::string_view text);

// An input that is not what it should be, or not whole: "truncated or
// corrupt BGZF data after line 81920; the file is damaged or incomplete"
// (`place`: "after line 81920", "after record 7"), "no
// BGZF end-of-file block; the file is truncated or incomplete",
// "compressed twice (gzip inside gzip); decompress it first", "a CRAM file,
// not BED", "not text: byte 0x01 (BED is text)", "line longer than
// 16777216 characters", "start is 0; GTF positions start at 1".
std::string damaged(std::string_view compression, std::string_view place);
std::string no_eof_block();
std::string compressed_twice(std::string_view inner, std::string_view outer);
std::string other_format(std::string_view what, std::string_view expected);
std::string control_byte(unsigned char byte, std::string_view format);
std::string line_too_long(std::size_t limit);
std::string starts_at_one(std::string_view format);
// "BED12 blocks that do not agree with blockCount", "BED12 block 2 lies
// outside the line's start and end".
std::string bad_blocks();
std::string block_outside(std::size_t block);
// A table's header: "no name, chromosome or position column among MARKER,
// P (give --snp-columns NAME,CHROM,POS)"; "no column \"BP\" among SNP, CHR,
// POS".
std::string no_known_columns(std::string_view header, bool table);
std::string no_such_column(std::string_view wanted, std::string_view header);

// After "PROGRAM: ". A constant: printing it must not allocate.
inline constexpr const char* OUT_OF_MEMORY = "out of memory";

}  // namespace messages
