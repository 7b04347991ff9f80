#include "messages.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <vector>

#include "records.hpp"

namespace {

const std::string source = SNP_WEIGHT_SOURCE_DIR;

// The ".B message" right after each ".TP" of a manual page's DIAGNOSTICS,
// with its "\-" read as "-".
std::vector<std::string> manual_diagnostics(const std::string& page) {
  std::ifstream in(source + "/doc/" + page);
  std::vector<std::string> found;
  bool inside = false, after_tp = false;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(".SH ")) inside = line == ".SH DIAGNOSTICS";
    if (inside && after_tp && line.starts_with(".B ")) {
      std::string message = line.substr(3);
      for (std::size_t at; (at = message.find("\\-")) != std::string::npos;) message.erase(at, 1);
      found.push_back(message);
    }
    after_tp = line == ".TP";
  }
  return found;
}

// One example of every message snp_weight prints, in the order in which its
// manual page lists them.
std::vector<std::string> snp_weight_examples() {
  using namespace messages;
  const auto failure = [](file_step step, int code) {
    return ::file_failure{step, std::error_code(code, std::generic_category())};
  };
  return {
      file_failed(SNP_FILE_NAME, failure(file_step::open, ENOENT)),
      file_failed(WEIGHT_FILE_NAME, failure(file_step::open, EACCES)),
      not_text(REGION_FILE_NAME, input_kind::gzip),
      not_text(SNP_FILE_NAME, input_kind::utf16),
      at_line(SNP_FILE_NAME, 12, too_long(SNP_NAME_FIELD, MAX_SNP_NAME_LENGTH)),
      at_line(REGION_FILE_NAME, 7, too_long(FIELD_1, MAX_DROPPED_FIELD_LENGTH)),
      at_line(SNP_FILE_NAME, 12, holds_nul(SNP_NAME_FIELD)),
      at_line(SNP_FILE_NAME, 2001, too_many(MAX_SNPS, SNP_RECORDS)),
      at_line(REGION_FILE_NAME, MAX_REGIONS + 1, too_many(MAX_REGIONS, REGION_RECORDS)),
      at_line(REGION_FILE_NAME, 17, out_of_range(POSITION_FIELD)),
      at_line(SNP_FILE_NAME, 3, whitespace_run(MAX_WHITESPACE_RUN)),
      file_failed(SNP_FILE_NAME, failure(file_step::read, EIO)),
      file_failed(WEIGHT_FILE_NAME, failure(file_step::spool, EACCES)),
      file_failed(WEIGHT_FILE_NAME, failure(file_step::write, ENOSPC)),
      file_failed(WEIGHT_FILE_NAME, failure(file_step::replace, EACCES)),
      file_failed(WEIGHT_FILE_NAME, failure(file_step::changed, 0)),
      file_failed(WEIGHT_FILE_NAME, {file_step::changed, {}, "weight.txt.8c1e04f2.tmp"}),
      file_failed(WEIGHT_FILE_NAME, {file_step::temporary_removed, {}, "weight.txt.8c1e04f2.tmp"}),
      std::string("snp_weight: ") + OUT_OF_MEMORY,
  };
}

// The same for snp_weight_genome.
std::vector<std::string> snp_weight_genome_examples() {
  using namespace messages;
  const std::string usage = "snp_weight_genome: ";
  return {
      usage + unknown_format("snps.dat", "--snps-format", "vcf, bim, pvar, bed or table"),
      usage + one_standard_input(),
      usage + bad_weights("1;2"),
      usage + bad_weights("1,0", 3),
      usage + bad_class_names(2, 3),
      usage + too_many_classes(70, 64),
      usage + goes_with("--thin", "--format annot"),
      usage + bad_snp_columns(2),
      usage + about("exon:regions.bed", features_of_annotation_only()),
      usage + bad_length("--flank", "5kb"),
      usage + empty_output_name(),
      file_failed("snps.vcf", {file_step::open, std::make_error_code(std::errc::no_such_file_or_directory)}),
      not_text("genes.gtf", input_kind::xz),
      about("genes.gtf.gz", compressed_twice("gzip", "gzip")),
      about("regions.bed", other_format("a CRAM file", "BED")),
      at_line("regions.bed", 1, control_byte(0x01, "BED")),
      about("snps.vcf.gz", damaged("BGZF", "after line 81920")),
      about("snps.vcf.gz", no_eof_block()),
      about("snps.vcf", no_fileformat_line()),
      about("snps.vcf", no_vcf_header()),
      at_line("snps.vcf", 31, invalid_record("VCF", "fewer than 8 columns")),
      at_line("snps.vcf", 2, separated_by_spaces("the #CHROM line's")),
      at_line("snps.vcf", 31, not_a_number("POS", "12e5")),
      at_line("snps.tsv", 1, no_known_columns("MARKER\tP\tBETA", true)),
      at_line("snps.tsv", 1, no_such_column("BP", "SNP\tCHR\tPOS")),
      at_line("regions.bed", 12, not_a_number("start", "exon")),
      at_line("regions.bed", 12, negative("start", "-5")),
      at_line("genes.gtf", 7, starts_at_one("GTF")),
      at_line("regions.bed", 12, out_of_range("end", "99999999999999999999")),
      at_line("regions.bed", 12, columns(2, "BED", 3, true)),
      at_line("genes.gtf", 7, columns(8, "GTF", 9, false)),
      at_line("gwas.csv", 12, columns_of_header(5, 4)),
      at_line("regions.bed", 12, empty_field("chromosome")),
      at_line("regions.bed", 12, end_before_start(200, 100)),
      at_line("regions.bed", 12, bad_blocks()),
      at_line("regions.bed", 12, block_outside(2)),
      at_line("snps.txt", 3, holds_nul("line")),
      at_line("snps.txt", 3, line_too_long(16777216)),
      about("genes.gtf", no_feature_lines({"gene"}, "CDS, exon")),
      about("regions.bed", no_common_chromosome("snps.vcf", "22", "chrX", false)),
      about("genes.gff3", other_build("chromosome 22 is 50818468 bases long (GRCh38)", "51304566 (GRCh37)", "snps.vcf")),
      about("snps.vcf", past_the_end(531, "genes.gff3", "rs123", "22", 51244000, 50818468)),
      about("regions.bed", no_region_on("chrY", 3, 0.4)),
      about("snps.bed", no_allele_column("BED")),
      at_line("gwas.tsv", 1, no_allele_column_among("SNP\tCHR\tBP\tP")),
      about("snps.bed", needs_variants("vcf")),
      about("snps.vcf", info_declared_otherwise("WEIGHT", "Type=Integer", "Float")),
      about("snps.vcf", undeclared_contig("chr7")),
      no_region_names(),
      about("regions.bed", no_regions(0.4)),
      about("exon:genes.gtf", no_regions_in_class()),
      about("snps.txt", input_is_output()),
      file_failed("weight.txt", {file_step::changed, {}}),
      file_failed("weight.txt", {file_step::write, std::make_error_code(std::errc::no_space_on_device)}),
      usage + OUT_OF_MEMORY,
  };
}

// Both commands' manual pages list exactly the messages the code words, in
// one order.
TEST(MessagesTest, ManualPagesListEveryMessage) {
  if (!std::ifstream(source + "/doc/snp_weight.1.in")) GTEST_SKIP() << "the sources are not at " << source;
  EXPECT_EQ(manual_diagnostics("snp_weight.1.in"), snp_weight_examples());
  EXPECT_EQ(manual_diagnostics("snp_weight_genome.1.in"), snp_weight_genome_examples());
}

}  // namespace
