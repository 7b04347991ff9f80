// snp_weight_genome: snp_weight's weights straight from the field's own
// files. Gives every SNP of a VCF, BCF, PLINK .bim, BED or plain table the
// weight 0.8 when it lies inside a region of its own chromosome (BED,
// GTF/GFF3 or a plain table), else 0.4, for any number of SNPs, and writes
// snp_weight's weight lines in input order.
#include <htslib/hts_log.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "formats.hpp"
#include "genome_run.hpp"
#include "messages.hpp"
#include "cleanup.hpp"

namespace {

constexpr const char* program = "snp_weight_genome";

int usage_error(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", program, message.c_str());
  return GENOME_USAGE;
}

}  // namespace

int main(int argc, char** argv) {
  cleanup::end_on_out_of_memory(program, messages::OUT_OF_MEMORY, GENOME_REFUSED);
  hts_set_log_level(HTS_LOG_OFF);  // every message is the tool's own

  genome_options options;
  std::string snps_format, regions_format;
  CLI::App app{
      "Gives every SNP the weight 0.8 when it lies inside a region on its own chromosome (ends included), "
      "else 0.4, and writes NAME<TAB>WEIGHT lines in input order.",
      program};
  app.add_option("SNPS", options.snps,
                 "VCF or BCF (plain, gzip, BGZF), PLINK .bim, BED, or a table (.txt, .tsv: "
                 "name, chromosome, position)")
      ->required();
  app.add_option("REGIONS", options.regions,
                 "BED, GTF or GFF3, or a table (chromosome, start, end), each plain "
                 "or gzip-compressed")
      ->required();
  app.add_option("--snps-format", snps_format,
                 "the SNPS format, when its name does not say: vcf, bim, bed, table")
      ->check(CLI::IsMember({"vcf", "bim", "bed", "table"}));
  app.add_option("--regions-format", regions_format, "the REGIONS format, likewise: bed, gtf, gff3, table")
      ->check(CLI::IsMember({"bed", "gtf", "gff3", "table"}));
  app.add_option("--feature", options.feature,
                 "the GTF or GFF3 feature type (column 3) whose lines are the regions")
      ->capture_default_str();
  app.add_flag("--exact-chromosome-names", options.exact_chromosome_names,
               "match chromosomes as written (by default chr22 is 22 and chrM is MT)");
  app.add_option("-o,--output", options.output, "the weight file, or - for the standard output")
      ->capture_default_str();
  app.add_flag("--columns", options.columns, "write NAME, CHROMOSOME, POSITION and WEIGHT on each line");
  app.set_version_flag("--version", std::string(program) + " " + SNP_WEIGHT_VERSION);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    return usage_error(std::string(e.what()) + " (see --help)");
  }

  options.snps_format = snps_format.empty() ? snp_format_of(options.snps) : snp_format_named(snps_format);
  if (!options.snps_format)
    return usage_error(messages::unknown_format(options.snps, "--snps-format", "vcf, bim, bed or table"));
  options.regions_format =
      regions_format.empty() ? region_format_of(options.regions) : region_format_named(regions_format);
  if (!options.regions_format)
    return usage_error(
        messages::unknown_format(options.regions, "--regions-format", "bed, gtf, gff3 or table"));

  std::string error;
  std::vector<std::string> warnings;
  const int status = run_genome(options, &error, &warnings);
  // A failure is one line; the warnings are for a run that succeeded.
  if (status != 0) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return status;
  }
  for (const std::string& warning : warnings) std::fprintf(stderr, "%s\n", warning.c_str());
  return 0;
}
