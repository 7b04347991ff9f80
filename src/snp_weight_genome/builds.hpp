// Genome builds: what files declare of the genome their positions belong
// to, so that positions of one build are never silently matched with
// regions of another. A VCF's ##contig lines and a .pvar's give each
// chromosome's length, a GFF3's ##sequence-region lines likewise, and a
// RefSeq accession's version names the build (NC_000001.10 is GRCh37's
// chromosome 1, NC_000001.11 GRCh38's).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

// What one file declares, by chromosome key (see chromosome_names::key_of).
class declared_build {
 public:
  // Notes the length a header line gives `key`'s chromosome.
  void add_length(const std::string& key, std::int64_t length);
  // Notes a chromosome as the file names it: a RefSeq accession gives its
  // version.
  void add_name(std::string_view written);
  std::optional<std::int64_t> length_of(const std::string& key) const;
  bool declares_anything() const { return !lengths_.empty() || !accessions_.empty(); }

  // Where `snps` and `regions` disagree: two lengths of one chromosome, or
  // two versions of one accession. Returns the message (about
  // `regions_file`, naming `snps_file` and the builds each looks like),
  // or "".
  static std::string mismatch(const declared_build& snps, std::string_view snps_file,
                              const declared_build& regions, std::string_view regions_file);

 private:
  std::unordered_map<std::string, std::int64_t> lengths_;
  std::unordered_map<std::string, std::string> accessions_;  // "NC_000022" -> "NC_000022.10"
};

// The human build whose chromosome `key` ("22", "X", "MT") has `length`
// bases, or whose RefSeq accession is `accession` ("NC_000022.10"):
// "GRCh37" or "GRCh38"; "" when neither says.
std::string_view build_of_length(std::string_view key, std::int64_t length);
std::string_view build_of_accession(std::string_view accession);
