// snp_weight_genome: snp_weight's weights straight from the field's own
// files. Gives every SNP of a VCF, BCF, PLINK .bim or .pvar, BED or table
// (summary statistics among them) the weight 0.8 when it lies inside a
// region of its own chromosome (BED, GTF/GFF3 or a plain table), else 0.4,
// for any number of SNPs, and writes snp_weight's weight lines in input
// order.
#include <htslib/hts_log.h>

#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "cleanup.hpp"
#include "fields.hpp"
#include "formats.hpp"
#include "genome_run.hpp"
#include "messages.hpp"
#include "os.hpp"
#include "records.hpp"

namespace {

constexpr const char* program = "snp_weight_genome";

int usage_error(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", program, message.c_str());
  return GENOME_USAGE;
}

// "0.8,0.4": the weights inside and outside the regions.
bool parse_weights(const std::string& text, double& inside, double& outside) {
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos) return false;
  const auto number = [](std::string_view part, double& value) {
    const auto [end, failure] = std::from_chars(part.data(), part.data() + part.size(), value);
    return !part.empty() && failure == std::errc() && end == part.data() + part.size() && value == value &&
           value - value == 0;  // finite
  };
  const std::string_view all(text);
  return number(all.substr(0, comma), inside) && number(all.substr(comma + 1), outside);
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything can allocate.
  cleanup::end_on_out_of_memory(program, messages::OUT_OF_MEMORY, GENOME_REFUSED);
  os::keep_freed_memory();
  hts_set_log_level(HTS_LOG_OFF);  // every message is the tool's own

  genome_options options;
  options.inside_weight = WEIGHT_INSIDE;
  options.outside_weight = WEIGHT_OUTSIDE;
  std::string snps_format, regions_format, weights, flank, upstream, downstream;
  std::vector<std::string> snp_columns;
  CLI::App app{
      "Gives every SNP the weight 0.8 when it lies inside a region on its own chromosome (ends included), "
      "else 0.4, and writes NAME<TAB>WEIGHT lines in input order. Either input may be - for the standard "
      "input.",
      program};
  app.add_option("SNPS", options.snps,
                 "VCF or BCF (plain, gzip, BGZF), PLINK .bim or .pvar, BED, or a table: summary statistics "
                 "with a header (SNP/ID, CHR/CHROM, BP/POS...), or name, chromosome, position")
      ->required();
  app.add_option("REGIONS", options.regions,
                 "BED, GTF or GFF3, or a table (chromosome, start, end), each plain or gzip-compressed")
      ->required();
  app.add_option("--snps-format", snps_format,
                 "the SNPS format, when its name does not say: vcf, bim, pvar, bed, table")
      ->check(CLI::IsMember({"vcf", "bim", "pvar", "bed", "table"}));
  app.add_option("--regions-format", regions_format, "the REGIONS format, likewise: bed, gtf, gff3, table")
      ->check(CLI::IsMember({"bed", "gtf", "gff3", "table"}));
  app.add_option("--snp-columns", snp_columns,
                 "a table's name, chromosome and position columns, by header name or 1-based number")
      ->delimiter(',')
      ->expected(3);
  app.add_option("--feature", options.features,
                 "the GTF or GFF3 feature types (column 3) whose lines are the regions, comma-separated")
      ->delimiter(',')
      ->capture_default_str();
  auto* flank_option =
      app.add_option("--flank", flank, "widen every region by N bases on both sides (50000, 35k, 1M)");
  app.add_option("--upstream", upstream, "widen every region by N bases before it, on its strand")
      ->excludes(flank_option);
  app.add_option("--downstream", downstream, "widen every region by N bases after it, on its strand")
      ->excludes(flank_option);
  app.add_flag("--split", options.split, "the blocks of a BED12 file are the regions (exons, not introns)");
  app.add_flag("--snvs-only", options.snvs_only,
               "VCF and BCF: weigh only the records whose REF and ALTs are single bases");
  app.add_flag(
      "--exact-chromosome-names", options.exact_chromosome_names,
      "match chromosomes as written (by default chr22, 22 and NC_000022.11 are one, and chrM is MT)");
  app.add_option("--weights", weights, "the weights inside and outside the regions, INSIDE,OUTSIDE")
      ->default_str("0.8,0.4");
  app.add_option("-o,--output", options.output, "the weight file, or - for the standard output")
      ->capture_default_str();
  app.add_flag("--columns", options.columns, "write the chromosome and position after the name");
  app.add_flag("--names", options.names,
               "write the names of the regions that hold each SNP in a last column");
  app.add_flag("--header", options.header, "write a first line naming the columns");
  app.set_version_flag("--version", std::string(program) + " " + SNP_WEIGHT_VERSION);

  // The command line in UTF-8, whatever the console's code page.
  std::vector<std::string> arguments = os::arguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  try {
    app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    return usage_error(std::string(e.what()) + " (see --help)");
  }

  if (!snps_format.empty()) options.snps_format = snp_format_named(snps_format);
  if (!regions_format.empty()) options.regions_format = region_format_named(regions_format);
  if (options.snps == "-" && options.regions == "-") return usage_error(messages::one_standard_input());
  if (options.output.empty()) return usage_error(messages::empty_output_name());
  if (!weights.empty() && !parse_weights(weights, options.inside_weight, options.outside_weight))
    return usage_error(messages::bad_weights(weights));
  const auto length = [](const std::string& text, const char* option, std::int64_t& bases) {
    if (text.empty() || parse_length(text, bases)) return true;
    usage_error(messages::bad_length(option, text));
    return false;
  };
  if (!length(flank, "--flank", options.upstream) || !length(flank, "--flank", options.downstream) ||
      !length(upstream, "--upstream", options.upstream) ||
      !length(downstream, "--downstream", options.downstream))
    return GENOME_USAGE;
  if (!snp_columns.empty()) options.snp_columns = {snp_columns[0], snp_columns[1], snp_columns[2]};

  std::string error;
  std::vector<std::string> warnings;
  const int status = run_genome(options, &error, &warnings);
  // A failure is one line; the warnings are for a run that succeeded.
  if (status == GENOME_USAGE) return usage_error(error);
  if (status != 0) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return status;
  }
  for (const std::string& warning : warnings) std::fprintf(stderr, "%s\n", warning.c_str());
  return 0;
}
