#include "formats.hpp"

#include <algorithm>
#include <cctype>
#include <string>

namespace {

// The last extension of `name` in lower case, after any compression's.
std::string extension_of(std::string_view name) {
  const auto ends_with = [&name](std::string_view suffix) {
    return name.size() >= suffix.size() &&
           std::equal(suffix.rbegin(), suffix.rend(), name.rbegin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
  };
  for (std::string_view compressed : {".gz", ".bgz"})
    if (ends_with(compressed)) name.remove_suffix(compressed.size());
  const std::size_t dot = name.find_last_of("./\\");
  if (dot == std::string_view::npos || name[dot] != '.') return {};
  std::string extension(name.substr(dot + 1));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

bool is_table(const std::string& extension) {
  return extension == "txt" || extension == "tsv" || extension == "tab";
}

// What PLINK 1.9 and 2 and REGENIE name their association results.
constexpr std::string_view plink_tables[] = {"assoc", "qassoc", "linear", "logistic", "hybrid",
                                             "firth", "model",  "fisher", "regenie"};

// Association results and summary statistics: PLINK 1.9 and 2, REGENIE,
// GCTA, BOLT-LMM, METAL, LDSC and CSV files.
bool is_snp_table(const std::string& extension) {
  static constexpr std::string_view others[] = {"csv", "mlma", "stats", "tbl", "sumstats", "ma"};
  return is_table(extension) ||
         std::find(std::begin(plink_tables), std::end(plink_tables), extension) != std::end(plink_tables) ||
         std::find(std::begin(others), std::end(others), extension) != std::end(others);
}

}  // namespace

std::optional<snp_format> snp_format_of(std::string_view file_name) {
  const std::string extension = extension_of(file_name);
  if (extension == "vcf" || extension == "bcf") return snp_format::vcf;
  if (extension == "bim") return snp_format::bim;
  if (extension == "pvar") return snp_format::pvar;
  if (extension == "bed") return snp_format::bed;
  if (is_snp_table(extension)) return snp_format::table;
  return std::nullopt;
}

std::optional<region_format> region_format_of(std::string_view file_name) {
  const std::string extension = extension_of(file_name);
  if (extension == "bed") return region_format::bed;
  if (extension == "gtf") return region_format::gtf;
  if (extension == "gff" || extension == "gff3") return region_format::gff3;
  if (is_table(extension)) return region_format::table;
  return std::nullopt;
}

bool written_by_plink(std::string_view file_name) {
  const std::string extension = extension_of(file_name);
  return std::find(std::begin(plink_tables), std::end(plink_tables), extension) != std::end(plink_tables);
}

std::optional<snp_format> snp_format_named(std::string_view name) {
  if (name == "vcf") return snp_format::vcf;
  if (name == "bim") return snp_format::bim;
  if (name == "pvar") return snp_format::pvar;
  if (name == "bed") return snp_format::bed;
  if (name == "table") return snp_format::table;
  return std::nullopt;
}

std::optional<region_format> region_format_named(std::string_view name) {
  if (name == "bed") return region_format::bed;
  if (name == "gtf") return region_format::gtf;
  if (name == "gff3") return region_format::gff3;
  if (name == "table") return region_format::table;
  return std::nullopt;
}

const char* format_name(snp_format format) {
  switch (format) {
    case snp_format::vcf:
      return "VCF or BCF";
    case snp_format::bim:
      return "a .bim file";
    case snp_format::pvar:
      return "a .pvar file";
    case snp_format::bed:
      return "BED";
    case snp_format::table:
      return "a table of SNPs";
  }
  return "";
}

const char* format_name(region_format format) {
  switch (format) {
    case region_format::bed:
      return "BED";
    case region_format::gtf:
      return "GTF";
    case region_format::gff3:
      return "GFF3";
    case region_format::table:
      return "a table of regions";
  }
  return "";
}
