// Chromosome names: each spelling as written, and the chromosome (its key)
// that spellings are matched by. By default a leading "chr" is dropped and
// "M" is "MT", so "chr22" matches "22" and "chrM" matches "MT"; with exact
// names every spelling is a chromosome of its own.
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

  // The index of `written` among the spellings, added when it is new.
  std::uint32_t spelling(std::string_view written);
  // The chromosome of `written`, if any spelling added so far names it.
  std::optional<std::uint32_t> find(std::string_view written) const;

  std::string_view written(std::uint32_t spelling) const { return spellings_[spelling]; }
  std::uint32_t chromosome(std::uint32_t spelling) const { return chromosome_of_[spelling]; }
  // How many chromosomes, and the first spelling of each.
  std::size_t chromosomes() const { return first_spelling_.size(); }
  std::string_view first_spelling(std::uint32_t chromosome) const {
    return spellings_[first_spelling_[chromosome]];
  }

 private:
  std::string key_of(std::string_view written) const;

  bool exact_;
  std::vector<std::string> spellings_;
  std::vector<std::uint32_t> chromosome_of_;
  std::vector<std::uint32_t> first_spelling_;
  std::unordered_map<std::string, std::uint32_t> spelling_index_;
  std::unordered_map<std::string, std::uint32_t> chromosome_index_;
  // Files list their lines chromosome by chromosome: the last one is asked
  // again far more often than any other.
  std::string last_written_;
  std::uint32_t last_spelling_ = 0;
};
