#include "genome_run.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "genome_input.hpp"
#include "messages.hpp"
#include "region_index.hpp"
#include "region_sources.hpp"
#include "result_file.hpp"
#include "snp_sources.hpp"
#include "weight_writer.hpp"

namespace {

// A chromosome of the SNPs, for what is said at the end.
struct snp_chromosome {
  std::string written;  // as the first of its SNPs gave it
  std::uint64_t snps = 0;
  bool has_regions = false;
};

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

}  // namespace

int run_genome(const genome_options& options, std::string* error, std::vector<std::string>* warnings) {
  // Both inputs, then the result, are opened before anything is read, so
  // that a missing file or a result the run may not write is refused first.
  genome_input snp_input, region_input;
  if (!snp_input.open(options.snps, error) || !region_input.open(options.regions, error))
    return GENOME_REFUSED;

  // Each format as the options say, else as the name says, else as the
  // contents say (a VCF or BCF file, a GFF3 file).
  std::optional<snp_format> snps_format = options.snps_format;
  if (!snps_format) snps_format = snp_format_of(options.snps);
  if (!snps_format && snp_input.holds() == input_holds::variants) snps_format = snp_format::vcf;
  if (!snps_format) {
    *error = messages::unknown_format(options.snps, "--snps-format", "vcf, bim, pvar, bed or table");
    return GENOME_USAGE;
  }
  std::optional<region_format> regions_format = options.regions_format;
  if (!regions_format) regions_format = region_format_of(options.regions);
  if (!regions_format && region_input.gff3()) regions_format = region_format::gff3;
  if (!regions_format) {
    *error = messages::unknown_format(options.regions, "--regions-format", "bed, gtf, gff3 or table");
    return GENOME_USAGE;
  }
  // A file of another kind is refused by name: its contents are never
  // followed elsewhere. A .pvar may begin like a VCF.
  *error = other_format(snp_input, *snps_format == snp_format::vcf, format_name(*snps_format));
  if (*snps_format == snp_format::pvar && snp_input.holds() == input_holds::variants) error->clear();
  if (error->empty()) *error = other_format(region_input, false, format_name(*regions_format));
  if (!error->empty()) return GENOME_REFUSED;

  result_file output;
  if (!output.open(options.output, error)) return GENOME_REFUSED;
  for (const genome_input* input : {&snp_input, &region_input})
    if (output.writes_into(input->identity())) {
      *error = messages::about(input->path(), messages::input_is_output());
      return GENOME_REFUSED;
    }

  region_index index(options.exact_chromosome_names, options.names);
  const region_options how{*regions_format,    options.features, options.upstream,
                           options.downstream, options.split,    options.names};
  // A refused line of a damaged gzip file is named as the damage it is.
  const auto refused = [error](genome_input& input) {
    if (std::string damage = input.damage_further_on(); !damage.empty()) *error = damage;
    return GENOME_REFUSED;
  };
  if (!read_regions(region_input, how, index, error)) return refused(region_input);
  index.finish();

  snp_reader snps(snp_input, *snps_format, options.snvs_only, options.snp_columns);
  if (!snps.begin(error)) return refused(snp_input);
  weight_writer writer(output.stream());
  if (options.header) {
    writer.begin_line("name");
    if (options.columns) writer.column("chromosome"), writer.column("position");
    writer.column("weight");
    if (options.names) writer.column("regions");
    writer.end_line();
  }

  // Each SNP is answered and written as it is read: nothing of it is kept
  // but a count for its chromosome.
  std::vector<snp_chromosome> seen;
  std::unordered_map<std::string, std::size_t> seen_by_key;
  std::string last_match, unnamed, names;
  bool looked_up = false;
  std::optional<std::uint32_t> chromosome;
  std::size_t seen_at = 0;
  genome_snp snp{};
  std::string_view match;
  while (snps.next(snp, match, error)) {
    if (!looked_up || match != last_match) {
      looked_up = true;
      last_match = match;
      chromosome = index.chromosomes().find(match);
      const auto [found, added] = seen_by_key.try_emplace(index.chromosomes().key_of(match), seen.size());
      if (added) seen.push_back({std::string(match), 0, chromosome.has_value()});
      seen_at = found->second;
    }
    ++seen[seen_at].snps;
    const bool inside =
        chromosome && index.lookup(*chromosome, snp.position, options.names ? &names : nullptr);
    if (!chromosome) names.clear();
    std::string_view name = snp.name;
    if (name.empty()) {
      unnamed.assign(snp.chromosome);
      unnamed += ':';
      unnamed += std::to_string(snp.position);
      name = unnamed;
    }
    writer.begin_line(name);
    if (options.columns) writer.column(snp.chromosome), writer.column(snp.position);
    writer.weight_column(inside ? options.inside_weight : options.outside_weight);
    if (options.names) writer.column(names.empty() ? std::string_view(".") : std::string_view(names));
    writer.end_line();
  }
  if (!error->empty()) return refused(snp_input);

  // What is said of the whole run, before its result is put in place.
  if (index.size() == 0) {
    warnings->push_back(messages::about(options.regions, messages::no_regions(options.outside_weight)));
  } else {
    const bool shared =
        std::any_of(seen.begin(), seen.end(), [](const snp_chromosome& c) { return c.has_regions; });
    // SNPs on one chromosome that no region names are what a run per
    // chromosome gives; on several, the names most likely do not match.
    if (!shared && seen.size() >= 2) {
      *error = messages::about(options.regions,
                               messages::no_common_chromosome(options.snps, seen.front().written,
                                                              index.chromosomes().first_spelling(0),
                                                              options.exact_chromosome_names));
      return GENOME_REFUSED;
    }
    for (const snp_chromosome& c : seen)
      if (!c.has_regions)
        warnings->push_back(messages::about(
            options.regions, messages::no_region_on(c.written, c.snps, options.outside_weight)));
  }
  return output.commit(writer.finish(), error) ? 0 : GENOME_REFUSED;
}
