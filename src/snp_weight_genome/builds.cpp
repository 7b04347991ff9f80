#include "builds.hpp"

#include <charconv>

#include "messages.hpp"

namespace {

// The primary chromosomes of the human reference, GRCh37 and GRCh38: their
// lengths in bases and the versions of their RefSeq accessions, as NCBI's
// assembly reports give them (GCF_000001405.25 for GRCh37.p13,
// GCF_000001405.40 for GRCh38.p14; patches leave the primary chromosomes as
// they are). UCSC's hg19 chrM is the older mitochondrial sequence, 16571
// bases; the revised one, 16569, is in both builds.
struct chromosome_of_builds {
  const char* key;
  std::int64_t grch37, grch38;
  const char* accession;  // without its version
  int version37, version38;
};
constexpr chromosome_of_builds human[] = {
    {"1", 249250621, 248956422, "NC_000001", 10, 11},   {"2", 243199373, 242193529, "NC_000002", 11, 12},
    {"3", 198022430, 198295559, "NC_000003", 11, 12},   {"4", 191154276, 190214555, "NC_000004", 11, 12},
    {"5", 180915260, 181538259, "NC_000005", 9, 10},    {"6", 171115067, 170805979, "NC_000006", 11, 12},
    {"7", 159138663, 159345973, "NC_000007", 13, 14},   {"8", 146364022, 145138636, "NC_000008", 10, 11},
    {"9", 141213431, 138394717, "NC_000009", 11, 12},   {"10", 135534747, 133797422, "NC_000010", 10, 11},
    {"11", 135006516, 135086622, "NC_000011", 9, 10},   {"12", 133851895, 133275309, "NC_000012", 11, 12},
    {"13", 115169878, 114364328, "NC_000013", 10, 11},  {"14", 107349540, 107043718, "NC_000014", 8, 9},
    {"15", 102531392, 101991189, "NC_000015", 9, 10},   {"16", 90354753, 90338345, "NC_000016", 9, 10},
    {"17", 81195210, 83257441, "NC_000017", 10, 11},    {"18", 78077248, 80373285, "NC_000018", 9, 10},
    {"19", 59128983, 58617616, "NC_000019", 9, 10},     {"20", 63025520, 64444167, "NC_000020", 10, 11},
    {"21", 48129895, 46709983, "NC_000021", 8, 9},      {"22", 51304566, 50818468, "NC_000022", 10, 11},
    {"X", 155270560, 156040895, "NC_000023", 10, 11},   {"Y", 59373566, 57227415, "NC_000024", 9, 10},
};

// "NC_000022.10" split at its dot; false for a name that is none.
bool split_accession(std::string_view written, std::string_view& accession, std::string_view& version) {
  if (!written.starts_with("NC_")) return false;
  const std::size_t dot = written.find('.');
  if (dot == std::string_view::npos || dot + 1 == written.size()) return false;
  accession = written.substr(0, dot);
  version = written.substr(dot + 1);
  return version.find_first_not_of("0123456789") == std::string_view::npos;
}

// "GRCh38" in parentheses, or "".
std::string in_parentheses(std::string_view build) {
  return build.empty() ? std::string() : " (" + std::string(build) + ")";
}

}  // namespace

std::string_view build_of_length(std::string_view key, std::int64_t length) {
  if (key == "M" || key == "MT") return length == 16571 ? "hg19" : "";
  for (const chromosome_of_builds& c : human)
    if (key == c.key) return length == c.grch37 ? "GRCh37" : length == c.grch38 ? "GRCh38" : "";
  return {};
}

std::string_view build_of_accession(std::string_view written) {
  std::string_view accession, version_text;
  int version = 0;
  if (!split_accession(written, accession, version_text) ||
      std::from_chars(version_text.data(), version_text.data() + version_text.size(), version).ec != std::errc())
    return {};
  for (const chromosome_of_builds& c : human)
    if (accession == c.accession) return version == c.version37 ? "GRCh37" : version == c.version38 ? "GRCh38" : "";
  return {};
}

void declared_build::add_length(const std::string& key, std::int64_t length) { lengths_.try_emplace(key, length); }

void declared_build::add_name(std::string_view written) {
  std::string_view accession, version;
  if (split_accession(written, accession, version)) accessions_.try_emplace(std::string(accession), written);
}

std::optional<std::int64_t> declared_build::length_of(const std::string& key) const {
  const auto found = lengths_.find(key);
  if (found == lengths_.end()) return std::nullopt;
  return found->second;
}

std::string declared_build::mismatch(const declared_build& snps, std::string_view snps_file,
                                     const declared_build& regions, std::string_view regions_file) {
  for (const auto& [accession, written] : regions.accessions_) {
    const auto other = snps.accessions_.find(accession);
    if (other != snps.accessions_.end() && other->second != written)
      return messages::about(regions_file, messages::other_build(written + in_parentheses(build_of_accession(written)),
                                                                 other->second + in_parentheses(build_of_accession(other->second)),
                                                                 snps_file));
  }
  for (const auto& [key, length] : regions.lengths_) {
    const auto other = snps.lengths_.find(key);
    if (other == snps.lengths_.end() || other->second == length) continue;
    const std::string here = "chromosome " + key + " is " + std::to_string(length) + " bases long" +
                             in_parentheses(build_of_length(key, length));
    const std::string there = std::to_string(other->second) + in_parentheses(build_of_length(key, other->second));
    return messages::about(regions_file, messages::other_build(here, there, snps_file));
  }
  return {};
}
