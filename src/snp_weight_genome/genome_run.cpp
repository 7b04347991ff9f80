#include "genome_run.hpp"

#include <algorithm>
#include <list>
#include <memory>
#include <thread>

#include "annot_output.hpp"
#include "snp_weighing.hpp"
#include "genome_input.hpp"
#include "messages.hpp"
#include "region_index.hpp"
#include "region_reader.hpp"
#include "score_output.hpp"
#include "sets_output.hpp"
#include "snp_reader.hpp"
#include "snp_weigher.hpp"
#include "table_layout.hpp"
#include "vcf_output.hpp"
#include "weight_output.hpp"

namespace {

using output_list = std::vector<std::unique_ptr<snp_output>>;

// A region file of the run, read once whatever number of classes it feeds.
struct region_file_input {
  std::string path;
  genome_input input;
  region_format format{};
  std::vector<region_class_of_file> classes;
};
using region_files = std::list<region_file_input>;  // a list: its inputs stay where they are

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

// Opens the SNP file and each region file once, before anything is read.
bool open_inputs(const genome_options& options, genome_input& snps, region_files& files, std::string* error) {
  if (!snps.open(options.snps, error)) return false;
  for (unsigned k = 0; k < options.classes.size(); ++k) {
    const region_class& c = options.classes[k];
    auto file = std::find_if(files.begin(), files.end(), [&c](const region_file_input& f) { return f.path == c.path; });
    if (file == files.end()) {
      file = files.emplace(files.end());
      file->path = c.path;
      if (!file->input.open(c.path, error)) return false;
    }
    file->classes.push_back({k, c.features.empty() ? options.features : c.features});
  }
  return true;
}

// Each region file's format as the options say, else as its name says,
// else as its contents say (a GFF3 file).
int choose_region_formats(const genome_options& options, region_files& files, std::string* error) {
  for (region_file_input& file : files) {
    std::optional<region_format> choice = options.regions_format;
    if (!choice) choice = region_format_of(file.path);
    if (!choice && file.input.first_text().starts_with("##gff-version 3")) choice = region_format::gff3;
    if (!choice) {
      *error = messages::unknown_format(file.path, "--regions-format", "bed, gtf, gff3 or table");
      return GENOME_USAGE;
    }
    file.format = *choice;
    const bool annotation = file.format == region_format::gtf || file.format == region_format::gff3;
    for (const region_class& c : options.classes)
      if (c.path == file.path && !c.features.empty() && !annotation) {
        *error = messages::about(c.features.front() + ":" + c.path, messages::features_of_annotation_only());
        return GENOME_USAGE;
      }
    *error = other_format(file.input, false, format_name(file.format));
    if (!error->empty()) return GENOME_REFUSED;
  }
  return 0;
}

// The SNP file's format, likewise (a VCF or BCF file by its contents). A
// file of another kind is refused by name: its contents are never followed
// elsewhere.
int choose_snp_format(const genome_options& options, const genome_input& snps, snp_format& format,
                      std::string* error) {
  std::optional<snp_format> choice = options.snps_format;
  if (!choice) choice = snp_format_of(options.snps);
  if (!choice && snps.holds() == input_holds::variants) choice = snp_format::vcf;
  // A table whose header names summary statistics' columns, whatever its name.
  if (!choice && snps.holds() == input_holds::text) {
    std::string_view first = snps.first_text();
    while (first.starts_with('#') && !first.starts_with("#CHROM") && first.find('\n') != std::string_view::npos)
      first.remove_prefix(first.find('\n') + 1);
    first = first.substr(0, first.find('\n'));
    if (first.ends_with('\r')) first.remove_suffix(1);
    if (table_layout::names_table_columns(first)) choice = snp_format::table;
  }
  if (!choice) {
    *error = messages::unknown_format(options.snps, "--snps-format", "vcf, bim, pvar, bed or table");
    return GENOME_USAGE;
  }
  format = *choice;
  *error = other_format(snps, format == snp_format::vcf, format_name(format));
  // A .pvar may begin like a VCF.
  if (format == snp_format::pvar && snps.holds() == input_holds::variants) error->clear();
  return error->empty() ? 0 : GENOME_REFUSED;
}

output_list make_outputs(const genome_options& options, const region_index& index) {
  output_list outputs;
  std::vector<std::string> class_names;
  for (const region_class& c : options.classes) class_names.push_back(c.name);
  switch (options.format) {
    case output_format::weights:
      outputs.push_back(std::make_unique<weight_output>(
          options.output, weight_columns{options.columns, options.names, options.header}, index.names()));
      break;
    case output_format::annot:
      outputs.push_back(std::make_unique<annot_output>(options.output, class_names, options.thin));
      break;
    case output_format::score:
      outputs.push_back(std::make_unique<score_output>(options.output));
      break;
    case output_format::vcf:
    case output_format::bcf:
      outputs.push_back(std::make_unique<vcf_output>(options.output, options.format == output_format::bcf,
                                                     options.names, index.names()));
      break;
  }
  if (!options.sets.empty())
    outputs.push_back(std::make_unique<sets_output>(options.sets, options.sets_as, index, options.upstream,
                                                    options.downstream));
  return outputs;
}

// Opens the results, and refuses an input that one would be written into.
bool open_outputs(const output_list& outputs, const genome_input& snps, const region_files& files,
                  std::string* error) {
  std::vector<const genome_input*> inputs{&snps};
  for (const region_file_input& file : files) inputs.push_back(&file.input);
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

bool read_all_regions(const genome_options& options, region_files& files, region_index& index, bool names,
                      declared_build& declared, unsigned threads, std::string* error) {
  for (region_file_input& file : files) {
    const region_reading how{file.format,
                             file.classes,
                             options.upstream,
                             options.downstream,
                             options.split,
                             names,
                             !options.sets.empty(),
                             &declared};
    const std::unique_ptr<byte_source> source = file.input.text(error);
    // A GTF line's attributes cost more to read than the line costs to hand
    // over and add to the index; a BED line or a table's, less (a million
    // BED regions: 0.087 s on one thread, 0.100 s on two).
    const unsigned workers = file.format == region_format::gtf ? threads : 1;
    if (source == nullptr || !read_regions(*source, file.path, how, index, parallel_plan{workers}, error))
      return false;
  }
  index.finish();
  return true;
}

// Each SNP is answered and written as it is read: nothing of it is kept.
bool begin_and_weigh(snp_reader& snps, snp_weigher& weigher, const output_list& outputs, unsigned threads,
                     std::string* error) {
  for (const auto& output : outputs)
    if (!output->begin(snps, error)) return false;
  return weigh_snps(snps, weigher, outputs, parallel_plan{threads}, error);
}

// The threads a run uses: as asked, else one per core.
unsigned threads_of(const genome_options& options) {
  if (options.threads > 0) return options.threads;
  return std::max(1U, std::thread::hardware_concurrency());
}

// What the SNP file's header declares of its build.
declared_build declared_by(const snp_reader& snps, const chromosome_names& chromosomes) {
  declared_build declared;
  for (const declared_contig& contig : snps.contigs()) {
    declared.add_name(contig.name);
    if (contig.length > 0) declared.add_length(chromosomes.key_of(contig.name), contig.length);
  }
  return declared;
}

// The declared length of each chromosome of the index (the regions' word
// first), 0 where none is; `regions_declare` tells whether any came from the
// region files.
std::vector<std::int64_t> declared_ends(const region_index& index, const declared_build& regions,
                                        const declared_build& snps, bool& regions_declare) {
  const chromosome_names& chromosomes = index.chromosomes();
  std::vector<std::int64_t> ends(chromosomes.size(), 0);
  regions_declare = false;
  for (std::uint32_t c = 0; c < chromosomes.size(); ++c) {
    const std::string key = chromosomes.key_of(chromosomes.first_spelling(c));
    const std::optional<std::int64_t> length = regions.length_of(key);
    regions_declare = regions_declare || length.has_value();
    ends[c] = length.value_or(snps.length_of(key).value_or(0));
  }
  return ends;
}

// The region files' names, for what is said of them together.
std::string names_of(const region_files& files) {
  std::string names;
  for (const region_file_input& file : files) names += (names.empty() ? "" : ", ") + file.path;
  return names;
}

// What is said of the whole run, before its result is put in place.
// Returns false with the message of a run whose SNPs lie on several
// chromosomes, none of which the regions name: the names most likely do
// not match.
bool closing_words(const genome_options& options, const region_files& files, const region_index& index,
                   const std::vector<chromosome_tally>& seen, std::vector<std::string>* warnings,
                   std::string* error) {
  const std::string regions = names_of(files);
  if (index.size() == 0) {
    warnings->push_back(messages::about(regions, messages::no_regions(options.outside_weight)));
    return true;
  }
  for (unsigned k = 0; k < options.classes.size() && options.classes.size() > 1; ++k)
    if (index.size_of_class(k) == 0) {
      const region_class& c = options.classes[k];
      const std::string word = c.features.empty() ? c.path : c.features.front() + ":" + c.path;
      warnings->push_back(messages::about(word, messages::no_regions_in_class()));
    }
  const bool shared =
      std::any_of(seen.begin(), seen.end(), [](const chromosome_tally& c) { return c.has_regions; });
  // SNPs on one chromosome that no region names are what a run per
  // chromosome gives.
  if (!shared && seen.size() >= 2) {
    *error = messages::about(regions, messages::no_common_chromosome(options.snps, seen.front().written,
                                                                     index.chromosomes().first_spelling(0),
                                                                     options.exact_chromosome_names));
    return false;
  }
  for (const chromosome_tally& c : seen)
    if (!c.has_regions)
      warnings->push_back(messages::about(regions, messages::no_region_on(c.written, c.snps, options.outside_weight)));
  return true;
}

// SNPs past the end of their chromosome, as the files declare it: the
// count and the first.
void past_end_warning(const genome_options& options, const std::vector<chromosome_tally>& seen,
                      const std::string& declared_by, std::vector<std::string>* warnings) {
  std::uint64_t past = 0;
  const chromosome_tally* first = nullptr;
  for (const chromosome_tally& c : seen) {
    past += c.past_end;
    if (c.past_end > 0 && (first == nullptr || c.first_past_end_order < first->first_past_end_order)) first = &c;
  }
  if (first != nullptr)
    warnings->push_back(messages::about(options.snps,
                                        messages::past_the_end(past, declared_by, first->first_past_end,
                                                               first->written, first->first_past_end_position,
                                                               first->declared_end)));
}

// A run's inputs, index and outputs, from their opening to the commit.
class genome_run {
 public:
  explicit genome_run(const genome_options& options)
      : options_(options),
        vcf_(options.format == output_format::vcf || options.format == output_format::bcf),
        names_(options.names && (options.format == output_format::weights || vcf_)),
        with_regions_(names_ || !options.sets.empty()),
        threads_(threads_of(options)),
        index_(options.exact_chromosome_names, with_regions_, static_cast<unsigned>(options.classes.size())) {}

  // The inputs, then the results, are opened before anything is read, so
  // that a missing file or a result the run may not write is refused first.
  int open(std::string* error);
  int run(std::string* error, std::vector<std::string>* warnings);

 private:
  // A refusal part way: what is written so far goes, or stays where it is.
  int abandon() {
    for (const auto& output : outputs_) output->abandon();
    return GENOME_REFUSED;
  }
  // Refuses files of two builds, unless told to go on.
  bool builds_agree(const declared_build& snps, std::string* error) const {
    if (options_.allow_build_mismatch) return true;
    *error = declared_build::mismatch(snps, options_.snps, regions_declared_, names_of(files_));
    return error->empty();
  }

  const genome_options& options_;
  bool vcf_, names_, with_regions_;
  unsigned threads_;
  genome_input snp_input_;
  region_files files_;
  snp_format snps_format_{};
  region_index index_;
  output_list outputs_;
  declared_build regions_declared_;
};

int genome_run::open(std::string* error) {
  if (!open_inputs(options_, snp_input_, files_, error)) return GENOME_REFUSED;
  if (const int status = choose_snp_format(options_, snp_input_, snps_format_, error)) return status;
  if (const int status = choose_region_formats(options_, files_, error)) return status;
  outputs_ = make_outputs(options_, index_);
  return open_outputs(outputs_, snp_input_, files_, error) ? 0 : GENOME_REFUSED;
}

int genome_run::run(std::string* error, std::vector<std::string>* warnings) {
  if (!read_all_regions(options_, files_, index_, with_regions_, regions_declared_, threads_, error))
    return abandon();
  const snp_reading how{snps_format_, options_.snvs_only, options_.snp_columns, vcf_,
                        written_by_plink(options_.snps)};
  const std::unique_ptr<snp_reader> snps = make_snp_reader(snp_input_, how, error);
  if (snps == nullptr || !snps->begin(error)) return abandon();
  declared_build snps_declared = declared_by(*snps, index_.chromosomes());
  if (!builds_agree(snps_declared, error)) return abandon();
  bool regions_declare = false;
  const std::vector<std::int64_t> ends = declared_ends(index_, regions_declared_, snps_declared, regions_declare);
  const class_weights weights{options_.class_weights, options_.outside_weight};
  snp_weigher weigher(index_, weights, with_regions_, ends);
  if (!begin_and_weigh(*snps, weigher, outputs_, threads_, error)) return abandon();
  // The SNPs' own chromosome names: RefSeq accessions say their build too.
  for (const chromosome_tally& c : weigher.chromosomes()) snps_declared.add_name(c.written);
  if (!builds_agree(snps_declared, error)) return abandon();
  if (!closing_words(options_, files_, index_, weigher.chromosomes(), warnings, error)) return abandon();
  past_end_warning(options_, weigher.chromosomes(), regions_declare ? names_of(files_) : options_.snps, warnings);
  for (const auto& output : outputs_)
    if (!output->commit(error)) return GENOME_REFUSED;
  return 0;
}

}  // namespace

int run_genome(const genome_options& options, std::string* error, std::vector<std::string>* warnings) {
  genome_run run(options);
  if (const int status = run.open(error)) return status;
  return run.run(error, warnings);
}
