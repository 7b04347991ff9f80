// snp_weight_genome's record types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// snp_weight_genome's region: 1-based, both ends inside, on the chromosome
// whose list holds it. 64 bits: some genomes have chromosomes longer than
// 2^31 bases.
struct genome_region {
  std::int64_t start;
  std::int64_t end;
};

// snp_weight_genome's SNPs in input order, as columns: its name, the
// chromosome as it was written (an index into a chromosome_names table) and
// its 1-based position.
struct genome_snp_table {
  std::string names;                     // every name, one after another
  std::vector<std::size_t> name_ends;    // where each one ends in `names`
  std::vector<std::uint32_t> spellings;  // the chromosome as written
  std::vector<std::int64_t> positions;

  std::size_t size() const { return positions.size(); }
  std::string_view name(std::size_t k) const {
    const std::size_t begin = k == 0 ? 0 : name_ends[k - 1];
    return std::string_view(names).substr(begin, name_ends[k] - begin);
  }
};
