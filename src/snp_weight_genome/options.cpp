#include "options.hpp"

#include <CLI/CLI.hpp>
#include <charconv>

#include "fields.hpp"
#include "messages.hpp"
#include "os.hpp"

namespace {

// The option values that are read after CLI11 has split them.
struct option_texts {
  std::string snps_format, regions_format, weights, flank, upstream, downstream;
  std::vector<std::string> snp_columns;
};

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

void add_inputs(CLI::App& app, genome_options& options, option_texts& texts) {
  app.add_option("SNPS", options.snps,
                 "VCF or BCF (plain, gzip, BGZF), PLINK .bim or .pvar, BED, or a table: summary statistics "
                 "with a header (SNP/ID, CHR/CHROM, BP/POS...), or name, chromosome, position")
      ->required();
  app.add_option("REGIONS", options.regions,
                 "BED, GTF or GFF3, or a table (chromosome, start, end), each plain or gzip-compressed")
      ->required();
  app.add_option("--snps-format", texts.snps_format,
                 "the SNPS format, when its name does not say: vcf, bim, pvar, bed, table")
      ->check(CLI::IsMember({"vcf", "bim", "pvar", "bed", "table"}));
  app.add_option("--regions-format", texts.regions_format, "the REGIONS format, likewise: bed, gtf, gff3, table")
      ->check(CLI::IsMember({"bed", "gtf", "gff3", "table"}));
  app.add_option("--snp-columns", texts.snp_columns,
                 "a table's name, chromosome and position columns, by header name or 1-based number")
      ->delimiter(',')
      ->expected(3);
  app.add_option("--feature", options.features,
                 "the GTF or GFF3 feature types (column 3) whose lines are the regions, comma-separated")
      ->delimiter(',')
      ->capture_default_str();
  auto* flank = app.add_option("--flank", texts.flank, "widen every region by N bases on both sides (50000, 35k, 1M)");
  app.add_option("--upstream", texts.upstream, "widen every region by N bases before it, on its strand")->excludes(flank);
  app.add_option("--downstream", texts.downstream, "widen every region by N bases after it, on its strand")
      ->excludes(flank);
  app.add_flag("--split", options.split, "the blocks of a BED12 file are the regions (exons, not introns)");
  app.add_flag("--snvs-only", options.snvs_only,
               "VCF and BCF: weigh only the records whose REF and ALTs are single bases");
  app.add_flag("--exact-chromosome-names", options.exact_chromosome_names,
               "match chromosomes as written (by default chr22, 22 and NC_000022.11 are one, and chrM is MT)");
}

void add_outputs(CLI::App& app, genome_options& options, option_texts& texts) {
  app.add_option("--weights", texts.weights, "the weights inside and outside the regions, INSIDE,OUTSIDE")
      ->default_str("0.8,0.4");
  app.add_option("-o,--output", options.output, "the weight file, or - for the standard output")
      ->capture_default_str();
  app.add_flag("--columns", options.columns, "write the chromosome and position after the name");
  app.add_flag("--names", options.names, "write the names of the regions that hold each SNP in a last column");
  app.add_flag("--header", options.header, "write a first line naming the columns");
}

// What CLI11 leaves as text, checked and read into `options`.
bool read_texts(const option_texts& texts, genome_options& options, std::string* message) {
  if (!texts.snps_format.empty()) options.snps_format = snp_format_named(texts.snps_format);
  if (!texts.regions_format.empty()) options.regions_format = region_format_named(texts.regions_format);
  if (options.snps == "-" && options.regions == "-") return *message = messages::one_standard_input(), false;
  if (options.output.empty()) return *message = messages::empty_output_name(), false;
  if (!texts.weights.empty() && !parse_weights(texts.weights, options.inside_weight, options.outside_weight))
    return *message = messages::bad_weights(texts.weights), false;
  const auto length = [message](const std::string& text, const char* option, std::int64_t& bases) {
    if (text.empty() || parse_length(text, bases)) return true;
    *message = messages::bad_length(option, text);
    return false;
  };
  if (!length(texts.flank, "--flank", options.upstream) || !length(texts.flank, "--flank", options.downstream) ||
      !length(texts.upstream, "--upstream", options.upstream) ||
      !length(texts.downstream, "--downstream", options.downstream))
    return false;
  if (!texts.snp_columns.empty())
    options.snp_columns = {texts.snp_columns[0], texts.snp_columns[1], texts.snp_columns[2]};
  return true;
}

}  // namespace

command_line parse_command_line(int argc, char** argv, genome_options& options, std::string* message) {
  constexpr const char* program = "snp_weight_genome";
  CLI::App app{
      "Gives every SNP the weight 0.8 when it lies inside a region on its own chromosome (ends included), "
      "else 0.4, and writes NAME<TAB>WEIGHT lines in input order. Either input may be - for the standard "
      "input.",
      program};
  option_texts texts;
  add_inputs(app, options, texts);
  add_outputs(app, options, texts);
  app.set_version_flag("--version", std::string(program) + " " + SNP_WEIGHT_VERSION);
  // The command line in UTF-8, whatever the console's code page.
  std::vector<std::string> arguments = os::arguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  try {
    app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() != 0) {
      *message = std::string(e.what()) + " (see --help)";
      return command_line::bad;
    }
    app.exit(e);  // --help, --version
    return command_line::shown;
  }
  return read_texts(texts, options, message) ? command_line::run : command_line::bad;
}
