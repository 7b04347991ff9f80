#include "genome_run.hpp"

#include <cstdint>

#include "chromosomes.hpp"
#include "line_reader.hpp"
#include "records.hpp"
#include "messages.hpp"
#include "result_file.hpp"
#include "region_sources.hpp"
#include "snp_sources.hpp"
#include "sweep.hpp"
#include "weight_writer.hpp"

namespace {

// For each chromosome of the SNPs that no region names: a warning line.
void warn_of_lone_chromosomes(const genome_snp_table& snps, const chromosome_names& names,
                              const region_lists& regions, const std::string& region_file,
                              std::vector<std::string>* warnings) {
  std::vector<std::size_t> count(names.chromosomes(), 0);
  for (std::uint32_t spelling : snps.spellings) ++count[names.chromosome(spelling)];
  for (std::uint32_t c = 0; c < names.chromosomes(); ++c)
    if (count[c] > 0 && regions.by_chromosome[c].empty())
      warnings->push_back(
          messages::about(region_file, messages::no_region_on(names.first_spelling(c), count[c])));
}

}  // namespace

int run_genome(const genome_options& options, std::string* error, std::vector<std::string>* warnings) {
  // Both inputs, then the result, are opened before anything is read, so
  // that a missing file or a result the run may not write is refused first.
  hts_input snp_input, region_input;
  if (!snp_input.open(options.snps, error) || !region_input.open(options.regions, error))
    return GENOME_REFUSED;
  result_file output;
  if (!output.open(options.output, error)) return GENOME_REFUSED;

  chromosome_names names(options.exact_chromosome_names);
  genome_snp_table snps;
  if (!read_snps(snp_input, *options.snps_format, names, snps, error)) return GENOME_REFUSED;
  region_lists regions;
  if (!read_regions(region_input, *options.regions_format, options.feature, names, regions, error))
    return GENOME_REFUSED;
  if (snps.size() > 0 && regions.kept == 0 && regions.elsewhere > 0) {
    *error = messages::about(options.regions, messages::no_common_chromosome(
                                                  options.snps, names.written(snps.spellings[0]),
                                                  regions.elsewhere_example, options.exact_chromosome_names));
    return GENOME_REFUSED;
  }
  warn_of_lone_chromosomes(snps, names, regions, options.regions, warnings);

  const std::vector<std::uint8_t> in = sweep_regions(snps, names, regions.by_chromosome);
  regions = {};
  weight_writer writer(output.stream());
  for (std::size_t i = 0; i < snps.size(); ++i) {
    const double weight = in[i] != 0 ? WEIGHT_INSIDE : WEIGHT_OUTSIDE;
    if (options.columns)
      writer.line(snps.name(i), names.written(snps.spellings[i]), snps.positions[i], weight);
    else
      writer.line(snps.name(i), weight);
  }
  return output.commit(writer.finish(), error) ? 0 : GENOME_REFUSED;
}
