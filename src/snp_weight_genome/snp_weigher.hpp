// One SNP answered: the regions' classes at its position (the regions
// themselves where an output names them), its weight, and its label; and a
// tally of its chromosome, for what the run says at its end. A weigher
// keeps the caller's lookup cursor: one per thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "region_index.hpp"
#include "snp_output.hpp"

// The weight of each class, in class order, and the weight outside every
// class.
struct class_weights {
  std::vector<double> inside;
  double outside;
};

// A chromosome of the SNPs, for what is said at the end.
struct chromosome_tally {
  std::string written;  // as the first of its SNPs gave it (PLINK's 26 as MT)
  std::uint64_t snps = 0;
  bool has_regions = false;
  // SNPs past the chromosome's declared end, and the first of them.
  std::uint64_t past_end = 0;
  std::string first_past_end;
  std::int64_t first_past_end_position = 0;
  std::int64_t declared_end = 0;
  std::uint64_t first_past_end_order = 0;  // its place among all SNPs
};

class snp_weigher {
 public:
  // `ends`: the declared length of each chromosome of the index, 0 where
  // none is declared (or empty).
  snp_weigher(const region_index& index, const class_weights& weights, bool with_regions,
              const std::vector<std::int64_t>& ends);

  // A weigher like this one, with nothing answered: one per thread.
  snp_weigher fresh() const { return snp_weigher(index_, weights_, with_regions_, ends_); }

  const snp_answer& answer(const genome_snp& snp);
  // The chromosomes of the SNPs answered, in the order first seen.
  const std::vector<chromosome_tally>& chromosomes() const { return tally_; }
  // How many SNPs were answered.
  std::uint64_t answered() const { return answered_; }
  // Hands over the chromosomes of the SNPs answered so far and starts
  // afresh, as for the next part of the SNPs (threads).
  std::vector<chromosome_tally> take_chromosomes();
  // Adds the chromosomes of a later part of the SNPs, of which `before`
  // came first, to those taken from the parts before.
  void add_chromosomes(std::vector<chromosome_tally>&& part, std::uint64_t before);

 private:
  // Notes a SNP past its chromosome's declared end.
  void note_past_end(const genome_snp& snp);
  // The chromosome of `snp` in the index, and its tally: SNPs come
  // chromosome by chromosome, so mostly that of the SNP before.
  void find_chromosome(const genome_snp& snp) {
    if (!looked_up_ || snp.match != last_match_) look_up_chromosome(snp);
  }
  void look_up_chromosome(const genome_snp& snp);

  const region_index& index_;
  const class_weights& weights_;
  bool with_regions_;
  const std::vector<std::int64_t>& ends_;
  std::uint64_t answered_ = 0;
  index_cursor cursor_;
  distinct_names distinct_;
  snp_answer answer_;
  std::string label_;
  // The last chromosome looked up: SNPs come chromosome by chromosome.
  std::string last_match_;
  bool looked_up_ = false;
  std::optional<std::uint32_t> chromosome_;
  std::size_t tally_at_ = 0;
  std::vector<chromosome_tally> tally_;
  std::unordered_map<std::string, std::size_t> tally_by_key_;
};
