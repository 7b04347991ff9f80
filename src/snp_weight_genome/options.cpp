#include "options.hpp"

#include <CLI/CLI.hpp>
#include <charconv>

#include "fields.hpp"
#include "messages.hpp"

namespace {

// The option values that are read after CLI11 has split them.
struct option_texts {
  std::vector<std::string> regions;
  std::string snps_format, regions_format, weights, flank, upstream, downstream, format, sets_format;
  std::vector<std::string> snp_columns, class_names;
};

// "1,0.6,0.2": numbers separated by commas, each finite.
bool parse_numbers(std::string_view text, std::vector<double>& numbers) {
  numbers.clear();
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    const std::string_view part = text.substr(at, comma - at);
    double value = 0;
    const auto [end, failure] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (part.empty() || failure != std::errc() || end != part.data() + part.size() || value != value ||
        value - value != 0)
      return false;
    numbers.push_back(value + 0.0);  // -0 is 0
    at = comma + 1;
  }
  return true;
}

void add_inputs(CLI::App& app, genome_options& options, option_texts& texts) {
  app.add_option("SNPS", options.snps,
                 "VCF or BCF (plain, gzip, BGZF), PLINK .bim or .pvar, BED, or a table: summary statistics "
                 "with a header (SNP/ID, CHR/CHROM, BP/POS...), or name, chromosome, position")
      ->required();
  app.add_option("REGIONS", texts.regions,
                 "BED, GTF or GFF3, or a table (chromosome, start, end), each plain or gzip-compressed: one "
                 "class of regions each, in order; FEATURES:FILE takes some feature types of a GTF or GFF3 "
                 "file (exon:genes.gtf)")
      ->required();
  app.add_option("--snps-format", texts.snps_format,
                 "the SNPS format, when its name does not say: vcf, bim, pvar, bed, table")
      ->check(CLI::IsMember({"vcf", "bim", "pvar", "bed", "table"}));
  app.add_option("--regions-format", texts.regions_format, "the REGIONS format, likewise: bed, gtf, gff3, table")
      ->check(CLI::IsMember({"bed", "gtf", "gff3", "table"}));
  app.add_option("--snp-columns", texts.snp_columns,
                 "a table's name, chromosome and position columns, by header name or 1-based number")
      ->delimiter(',')
      ->allow_extra_args(false);
  app.add_option("--feature", options.features,
                 "the GTF or GFF3 feature types (column 3) whose lines are the regions, comma-separated")
      ->delimiter(',')
      ->allow_extra_args(false)
      ->capture_default_str();
  auto* flank = app.add_option("--flank", texts.flank, "widen every region by N bases on both sides (50000, 35k, 1M)");
  app.add_option("--upstream", texts.upstream, "widen every region by N bases before it, on its strand")->excludes(flank);
  app.add_option("--downstream", texts.downstream, "widen every region by N bases after it, on its strand")
      ->excludes(flank);
  app.add_flag("--split", options.split, "the blocks of a BED12 file are the regions (exons, not introns)");
  app.add_flag("--snvs-only", options.snvs_only,
               "VCF and BCF: weigh only the records whose REF and ALTs are single bases");
  app.add_flag("--allow-build-mismatch", options.allow_build_mismatch,
               "run even when the files declare different genome builds (chromosome lengths, RefSeq versions)");
  app.add_option("--threads", options.threads,
                 "read and weigh on N threads (default: one per core; 1: the work of one thread exactly)")
      ->check(CLI::Range(1, 1024))
      ->option_text("N");
  app.add_flag("--exact-chromosome-names", options.exact_chromosome_names,
               "match chromosomes as written (by default chr22, 22 and NC_000022.11 are one, and chrM is MT)");
}

void add_outputs(CLI::App& app, genome_options& options, option_texts& texts) {
  app.add_option("--weights", texts.weights,
                 "the weight of each region class in order, then the weight outside them all")
      ->default_str("0.8,0.4");
  app.add_option("-o,--output", options.output, "the result file, or - for the standard output")
      ->capture_default_str();
  app.add_option("--format", texts.format,
                 "weights (NAME<TAB>WEIGHT), annot (an annotation matrix), score (ID A1 WEIGHT, for plink2 "
                 "--score), vcf or bcf (the input records with INFO/WEIGHT)")
      ->check(CLI::IsMember({"weights", "annot", "score", "vcf", "bcf"}))
      ->default_str("weights");
  app.add_flag("--columns", options.columns, "write the chromosome and position after the name");
  app.add_flag("--names", options.names, "name the regions that hold each SNP");
  app.add_flag("--header", options.header, "write a first line naming the columns");
  app.add_flag("--thin", options.thin, "an annotation matrix of the class columns alone");
  app.add_option("--class-names", texts.class_names, "the region classes' names, in order, comma-separated")
      ->delimiter(',')
      ->allow_extra_args(false);
  app.add_option("--sets", options.sets, "also write each region name's SNPs to this file");
  app.add_option("--sets-format", texts.sets_format, "magma (MAGMA's gene annotation) or regenie (--set-list)")
      ->check(CLI::IsMember({"magma", "regenie"}))
      ->default_str("magma");
}

bool read_classes(const option_texts& texts, genome_options& options, std::string* message) {
  for (const std::string& word : texts.regions) options.classes.push_back(class_of_word(word));
  const std::size_t classes = options.classes.size();
  if (classes > 64) return *message = messages::too_many_classes(classes, 64), false;
  if (!texts.class_names.empty() && texts.class_names.size() != classes)
    return *message = messages::bad_class_names(texts.class_names.size(), classes), false;
  for (std::size_t k = 0; k < classes; ++k)
    options.classes[k].name = texts.class_names.empty() ? default_class_name(options.classes[k]) : texts.class_names[k];
  options.class_weights.assign(classes, WEIGHT_INSIDE);
  std::vector<double> weights;
  if (texts.weights.empty()) return true;
  if (!parse_numbers(texts.weights, weights) || weights.size() != classes + 1)
    return *message = messages::bad_weights(texts.weights, classes), false;
  options.outside_weight = weights.back();
  weights.pop_back();
  options.class_weights = weights;
  return true;
}

// What CLI11 leaves as text, checked and read into `options`.
bool read_texts(const option_texts& texts, genome_options& options, std::string* message) {
  if (!texts.snps_format.empty()) options.snps_format = snp_format_named(texts.snps_format);
  if (!texts.regions_format.empty()) options.regions_format = region_format_named(texts.regions_format);
  static constexpr std::pair<std::string_view, output_format> formats[] = {{"weights", output_format::weights},
      {"annot", output_format::annot}, {"score", output_format::score}, {"vcf", output_format::vcf},
      {"bcf", output_format::bcf}};
  for (const auto& [name, format] : formats)
    if (texts.format == name) options.format = format;
  if (texts.sets_format == "regenie") options.sets_as = sets_format::regenie;
  if (!read_classes(texts, options, message)) return false;
  int standard_inputs = options.snps == "-";
  for (const region_class& c : options.classes) standard_inputs += c.path == "-";
  if (standard_inputs > 1) return *message = messages::one_standard_input(), false;
  if (options.output.empty()) return *message = messages::empty_output_name(), false;
  if (options.thin && options.format != output_format::annot)
    return *message = messages::goes_with("--thin", "--format annot"), false;
  const auto length = [message](const std::string& text, const char* option, std::int64_t& bases) {
    if (text.empty() || parse_length(text, bases)) return true;
    *message = messages::bad_length(option, text);
    return false;
  };
  if (!length(texts.flank, "--flank", options.upstream) || !length(texts.flank, "--flank", options.downstream) ||
      !length(texts.upstream, "--upstream", options.upstream) ||
      !length(texts.downstream, "--downstream", options.downstream))
    return false;
  if (!texts.snp_columns.empty() && texts.snp_columns.size() != 3)
    return *message = messages::bad_snp_columns(texts.snp_columns.size()), false;
  if (!texts.snp_columns.empty())
    options.snp_columns = {texts.snp_columns[0], texts.snp_columns[1], texts.snp_columns[2]};
  return true;
}

}  // namespace

region_class class_of_word(std::string_view word) {
  const std::size_t colon = word.find(':');
  const std::string_view features = word.substr(0, colon);
  const bool is_class = colon != std::string_view::npos && colon >= 2 && colon + 1 < word.size() &&
                        features.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                   "0123456789_-,") == std::string_view::npos;
  region_class region;
  if (!is_class) {
    region.path = word;
    return region;
  }
  region.path = word.substr(colon + 1);
  for (std::size_t at = 0; at <= features.size();) {
    const std::size_t comma = std::min(features.find(',', at), features.size());
    if (comma > at) region.features.emplace_back(features.substr(at, comma - at));
    at = comma + 1;
  }
  return region;
}

std::string default_class_name(const region_class& region) {
  if (!region.features.empty()) {
    std::string name;
    for (const std::string& feature : region.features) name += (name.empty() ? "" : "_") + feature;
    return name;
  }
  if (region.path == "-") return "stdin";
  std::string_view name = region.path;
  name.remove_prefix(std::min(name.size(), name.find_last_of("/\\:") + 1));  // a folder, a drive
  name = name.substr(0, name.find('.'));
  return name.empty() ? region.path : std::string(name);
}

command_line parse_command_line(std::vector<std::string> arguments, genome_options& options, std::string* message) {
  constexpr const char* program = "snp_weight_genome";
  CLI::App app{
      "Gives every SNP the weight of the first class of regions on its own chromosome that holds it (ends "
      "included: 0.8 by default), else 0.4, and writes NAME<TAB>WEIGHT lines in input order, or an "
      "annotation matrix, a score file or the VCF. Either input may be - for the standard input.",
      program};
  option_texts texts;
  add_inputs(app, options, texts);
  add_outputs(app, options, texts);
  app.set_version_flag("--version", std::string(program) + " " + SNP_WEIGHT_VERSION);
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
