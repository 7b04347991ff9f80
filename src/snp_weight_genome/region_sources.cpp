#include "region_sources.hpp"

#include <algorithm>
#include <array>

#include "messages.hpp"

namespace {

// The feature types a GTF or GFF3 file holds, in the order first seen.
struct feature_types {
  std::vector<std::string> seen;
  void add(std::string_view type) {
    if (seen.size() < 32 && std::find(seen.begin(), seen.end(), type) == seen.end()) seen.emplace_back(type);
  }
  std::string list() const {
    std::string text;
    for (const auto& type : seen) text += (text.empty() ? "" : ", ") + type;
    return text;
  }
};

}  // namespace

bool read_regions(hts_input& input, region_format format, const std::string& feature,
                  const chromosome_names& names, region_lists& regions, std::string* error) {
  error->clear();
  regions.by_chromosome.assign(names.chromosomes(), {});
  const std::string& path = input.path();
  const bool bed = format == region_format::bed;
  const bool annotation = format == region_format::gtf || format == region_format::gff3;
  const char* format_name = bed                             ? "BED"
                            : format == region_format::gtf  ? "GTF"
                            : format == region_format::gff3 ? "GFF3"
                                                            : "a table of regions";
  line_reader lines(input);
  std::array<std::string_view, 9> fields;
  std::string_view line;
  feature_types types;
  bool feature_seen = false;
  // Regions come chromosome by chromosome: the last lookup is reused.
  bool looked_up = false;
  std::string last_written;
  std::optional<std::uint32_t> last_chromosome;
  while (lines.next(line, error)) {
    if (format == region_format::gff3 && line.starts_with("##FASTA")) break;
    if (is_comment_line(line, bed)) continue;
    const auto refuse = [&](const std::string& what) {
      *error = messages::at_line(path, lines.line_number(), what);
      return false;
    };
    const std::size_t count = split_fields(line, bed || annotation, fields);
    std::string_view chromosome, start_text, end_text;
    if (annotation) {
      if (count < 9) return refuse(messages::columns(count, format_name, 9, false));
      if (fields[2] != feature) {
        if (!feature_seen) types.add(fields[2]);
        continue;
      }
      feature_seen = true;
      chromosome = fields[0], start_text = fields[3], end_text = fields[4];
    } else {
      if (bed ? count < 3 : count != 3) return refuse(messages::columns(count, format_name, 3, bed));
      chromosome = fields[0], start_text = fields[1], end_text = fields[2];
    }
    genome_region region{};
    std::string problem = integer_problem(start_text, "start", region.start);
    if (problem.empty()) problem = integer_problem(end_text, "end", region.end);
    // BED, GTF and GFF3 allow no negative bound and no end before the start.
    if (problem.empty() && (bed || annotation))
      problem = bounds_problem(region.start, region.end, start_text, bed ? 0 : 1);
    if (!problem.empty()) return refuse(problem);
    if (bed) ++region.start;  // 0-based, half-open to 1-based, inclusive
    if (!looked_up || chromosome != last_written) {
      looked_up = true;
      last_written = chromosome;
      last_chromosome = names.find(chromosome);
    }
    if (!last_chromosome) {
      if (regions.elsewhere++ == 0) regions.elsewhere_example = chromosome;
      continue;
    }
    ++regions.kept;
    regions.by_chromosome[*last_chromosome].push_back(region);
  }
  if (!error->empty()) return false;
  if (annotation && !feature_seen) {
    *error = messages::about(path, messages::no_feature_lines(feature, types.list()));
    return false;
  }
  return true;
}
