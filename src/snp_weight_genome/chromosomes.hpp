// Chromosome names: the chromosomes the regions name, each under the key
// that spellings are matched by. By default a leading "chr" is dropped,
// "M" is "MT", and NCBI's RefSeq accessions of the human chromosomes
// (NC_000001 to NC_000024, NC_012920, any version) are 1 to 22, X, Y and
// MT, so "chr22", "22" and "NC_000022.11" match; with exact names every
// spelling is a chromosome of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class chromosome_names {
 public:
  explicit chromosome_names(bool exact) : exact_(exact) {}

  // The chromosome `written` names, added when it is new.
  std::uint32_t add(std::string_view written);
  // The chromosome `written` names, if any added so far does.
  std::optional<std::uint32_t> find(std::string_view written) const;
  // How many chromosomes, and the first spelling of each.
  std::size_t size() const { return first_spelling_.size(); }
  std::string_view first_spelling(std::uint32_t chromosome) const { return first_spelling_[chromosome]; }

  // The key that `written` is matched by.
  std::string key_of(std::string_view written) const;

 private:
  bool exact_;
  std::vector<std::string> first_spelling_;
  std::unordered_map<std::string, std::uint32_t> index_;
};
