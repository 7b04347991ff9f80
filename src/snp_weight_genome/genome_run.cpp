#include "genome_run.hpp"

#include <algorithm>
#include <memory>

#include "genome_input.hpp"
#include "messages.hpp"
#include "region_index.hpp"
#include "region_reader.hpp"
#include "snp_reader.hpp"
#include "snp_weigher.hpp"
#include "weight_output.hpp"

namespace {

using output_list = std::vector<std::unique_ptr<snp_output>>;

// Whether `input` holds what `expected` ("BED") is: "" if so, else why not.
std::string other_format(const genome_input& input, bool variants_expected, const char* expected) {
  if (input.holds() == input_holds::other)
    return messages::about(input.path(), messages::other_format(input.other_name(), expected));
  if (variants_expected && input.holds() != input_holds::variants)
    return messages::about(input.path(), messages::no_fileformat_line());
  if (!variants_expected && input.holds() == input_holds::variants)
    return messages::about(input.path(), messages::other_format("a VCF or BCF file", expected));
  return {};
}

// Each input's format as the options say, else as its name says, else as
// its contents say (a VCF or BCF file, a GFF3 file). A file of another kind
// is refused by name: its contents are never followed elsewhere.
int choose_formats(const genome_options& options, const genome_input& snps, const genome_input& regions,
                   snp_format& snps_format, region_format& regions_format, std::string* error) {
  std::optional<snp_format> snp_choice = options.snps_format;
  if (!snp_choice) snp_choice = snp_format_of(options.snps);
  if (!snp_choice && snps.holds() == input_holds::variants) snp_choice = snp_format::vcf;
  if (!snp_choice) {
    *error = messages::unknown_format(options.snps, "--snps-format", "vcf, bim, pvar, bed or table");
    return GENOME_USAGE;
  }
  std::optional<region_format> region_choice = options.regions_format;
  if (!region_choice) region_choice = region_format_of(options.regions);
  if (!region_choice && regions.first_text().starts_with("##gff-version 3")) region_choice = region_format::gff3;
  if (!region_choice) {
    *error = messages::unknown_format(options.regions, "--regions-format", "bed, gtf, gff3 or table");
    return GENOME_USAGE;
  }
  snps_format = *snp_choice;
  regions_format = *region_choice;
  *error = other_format(snps, snps_format == snp_format::vcf, format_name(snps_format));
  // A .pvar may begin like a VCF.
  if (snps_format == snp_format::pvar && snps.holds() == input_holds::variants) error->clear();
  if (error->empty()) *error = other_format(regions, false, format_name(regions_format));
  return error->empty() ? 0 : GENOME_REFUSED;
}

output_list make_outputs(const genome_options& options, const region_index& index) {
  output_list outputs;
  outputs.push_back(std::make_unique<weight_output>(
      options.output, weight_columns{options.columns, options.names, options.header}, index));
  return outputs;
}

// Opens the results, and refuses an input that one would be written into.
bool open_outputs(const output_list& outputs, const std::vector<const genome_input*>& inputs,
                  std::string* error) {
  for (const auto& output : outputs) {
    if (!output->open(error)) return false;
    for (const genome_input* input : inputs)
      if (output->writes_into(input->identity())) {
        *error = messages::about(input->path(), messages::input_is_output());
        return false;
      }
  }
  return true;
}

bool read_all_regions(const genome_options& options, region_format format, genome_input& input,
                      region_index& index, std::string* error) {
  const region_reading how{format,        {{0, options.features}}, options.upstream, options.downstream,
                           options.split, options.names,           1};
  const std::unique_ptr<byte_source> source = input.text(how.threads, error);
  if (source == nullptr || !read_regions(*source, input.path(), how, index, error)) return false;
  index.finish();
  return true;
}

// Each SNP is answered and written as it is read: nothing of it is kept.
bool weigh_snps(snp_reader& snps, snp_weigher& weigher, const output_list& outputs, std::string* error) {
  for (const auto& output : outputs) output->begin();
  genome_snp snp;
  while (snps.next(snp, error)) {
    const snp_answer& answer = weigher.answer(snp);
    for (const auto& output : outputs) output->write(snp, answer);
  }
  return error->empty();
}

// What is said of the whole run, before its result is put in place.
// Returns false with the message of a run whose SNPs lie on several
// chromosomes, none of which the regions name: the names most likely do
// not match.
bool closing_words(const genome_options& options, const region_index& index,
                   const std::vector<chromosome_tally>& seen, std::vector<std::string>* warnings,
                   std::string* error) {
  if (index.size() == 0) {
    warnings->push_back(messages::about(options.regions, messages::no_regions(options.outside_weight)));
    return true;
  }
  const bool shared =
      std::any_of(seen.begin(), seen.end(), [](const chromosome_tally& c) { return c.has_regions; });
  // SNPs on one chromosome that no region names are what a run per
  // chromosome gives.
  if (!shared && seen.size() >= 2) {
    *error = messages::about(options.regions,
                             messages::no_common_chromosome(options.snps, seen.front().written,
                                                            index.chromosomes().first_spelling(0),
                                                            options.exact_chromosome_names));
    return false;
  }
  for (const chromosome_tally& c : seen)
    if (!c.has_regions)
      warnings->push_back(
          messages::about(options.regions, messages::no_region_on(c.written, c.snps, options.outside_weight)));
  return true;
}

}  // namespace

int run_genome(const genome_options& options, std::string* error, std::vector<std::string>* warnings) {
  // Both inputs, then the results, are opened before anything is read, so
  // that a missing file or a result the run may not write is refused first.
  genome_input snp_input, region_input;
  if (!snp_input.open(options.snps, error) || !region_input.open(options.regions, error)) return GENOME_REFUSED;
  snp_format snps_format{};
  region_format regions_format{};
  if (const int status = choose_formats(options, snp_input, region_input, snps_format, regions_format, error))
    return status;
  // The outputs that name regions need the regions kept, not only merged.
  const bool with_regions = options.names;
  region_index index(options.exact_chromosome_names, with_regions, 1);
  const output_list outputs = make_outputs(options, index);
  if (!open_outputs(outputs, {&snp_input, &region_input}, error)) return GENOME_REFUSED;
  const auto abandon = [&outputs] {
    for (const auto& output : outputs) output->abandon();
    return GENOME_REFUSED;
  };
  if (!read_all_regions(options, regions_format, region_input, index, error)) return abandon();

  const std::unique_ptr<snp_reader> snps =
      make_snp_reader(snp_input, {snps_format, options.snvs_only, options.snp_columns, 1, false}, error);
  if (snps == nullptr) return abandon();
  const class_weights weights{{options.inside_weight}, options.outside_weight};
  snp_weigher weigher(index, weights, with_regions);
  if (!snps->begin(error) || !weigh_snps(*snps, weigher, outputs, error)) {
    // A refused line of a damaged gzip file is named as the damage it is.
    if (std::string damage = snps->damage_further_on(); !damage.empty()) *error = damage;
    return abandon();
  }
  if (!closing_words(options, index, weigher.chromosomes(), warnings, error)) return abandon();
  for (const auto& output : outputs)
    if (!output->commit(error)) return GENOME_REFUSED;
  return 0;
}
