// Gene -> SNP sets, beside the main output: a line per region name that
// holds at least one SNP, in the order of the region files, its SNPs in
// input order. A name's regions on each chromosome make one set, spanning
// them before any window.
//  - magma: MAGMA's gene annotation, "NAME<TAB>CHR:START:END<TAB>SNP<TAB>
//    SNP...", after comment lines that give the window;
//  - regenie: REGENIE's --set-list, "NAME CHR START SNP,SNP,...".
// Memory grows with the pairs of a name and a SNP, not with the SNPs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "line_result.hpp"
#include "options.hpp"
#include "region_index.hpp"
#include "snp_output.hpp"

class sets_output final : public line_output {
 public:
  sets_output(std::string path, sets_format format, const region_index& index, std::int64_t upstream,
              std::int64_t downstream);

  bool wants_regions() const override { return true; }
  // Refuses regions that have no names.
  bool begin(const snp_reader& snps, std::string* error) override;
  void write(const genome_snp& snp, const snp_answer& answer) override;
  bool writes_parts() const override { return true; }
  void write_part(const genome_snp& snp, const snp_answer& answer, output_part& part) const override;
  void take_part(output_part& part) override;
  bool commit(std::string* error) override;

 private:
  // One set's line: `pairs`, from first to last, are its SNPs.
  // Notes a SNP labelled `label` in the sets `sets`.
  void add_pairs(std::string_view label, const std::uint32_t* sets, std::size_t count);
  void write_set(const name_span& span, const std::uint32_t* first, const std::uint32_t* last);

  sets_format format_;
  const region_index& index_;
  std::int64_t upstream_, downstream_;
  // The pairs of a set and a SNP, in input order: the set, and where the
  // SNP's label begins in labels_.
  large_vector<std::uint32_t> pair_sets_;
  large_vector<std::uint32_t> pair_labels_;
  large_string labels_;  // each label once, with its end
  large_vector<std::uint32_t> label_ends_;
  std::vector<std::uint32_t> sets_;  // the sets of the SNP being written
};
