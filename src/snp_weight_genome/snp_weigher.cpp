#include "snp_weigher.hpp"

#include <bit>

snp_weigher::snp_weigher(const region_index& index, const class_weights& weights, bool with_regions,
                         const std::vector<std::int64_t>& ends)
    : index_(index), weights_(weights), with_regions_(with_regions), ends_(ends) {}

void snp_weigher::note_past_end(const genome_snp& snp) {
  chromosome_tally& tally = tally_[tally_at_];
  if (tally.past_end++ > 0) return;
  tally.first_past_end = answer_.label;
  tally.first_past_end_position = snp.position;
  tally.first_past_end_order = answered_;
  tally.declared_end = ends_[*chromosome_];
}

std::vector<chromosome_tally> snp_weigher::take_chromosomes() {
  std::vector<chromosome_tally> taken = std::move(tally_);
  tally_.clear();
  tally_by_key_.clear();
  looked_up_ = false;
  answered_ = 0;
  return taken;
}

void snp_weigher::add_chromosomes(std::vector<chromosome_tally>&& part, std::uint64_t before) {
  for (chromosome_tally& c : part) {
    c.first_past_end_order += before;
    const auto [found, added] = tally_by_key_.try_emplace(index_.chromosomes().key_of(c.written), tally_.size());
    if (added) {
      tally_.push_back(std::move(c));
      continue;
    }
    chromosome_tally& seen = tally_[found->second];
    seen.snps += c.snps;
    if (seen.past_end == 0 && c.past_end > 0) {
      seen.first_past_end = std::move(c.first_past_end);
      seen.first_past_end_position = c.first_past_end_position;
      seen.first_past_end_order = c.first_past_end_order;
      seen.declared_end = c.declared_end;
    }
    seen.past_end += c.past_end;
  }
}

void snp_weigher::look_up_chromosome(const genome_snp& snp) {
  looked_up_ = true;
  last_match_ = snp.match;
  chromosome_ = index_.chromosomes().find(snp.match);
  const auto [found, added] = tally_by_key_.try_emplace(index_.chromosomes().key_of(snp.match), tally_.size());
  if (added) {
    tally_.emplace_back();
    tally_.back().written = snp.match;
    tally_.back().has_regions = chromosome_.has_value();
  }
  tally_at_ = found->second;
}

const snp_answer& snp_weigher::answer(const genome_snp& snp) {
  find_chromosome(snp);
  ++tally_[tally_at_].snps;
  answer_.classes = chromosome_ ? index_.classes_at(*chromosome_, snp.position, cursor_) : 0;
  answer_.chromosome = chromosome_.value_or(0);
  answer_.regions.clear();
  answer_.names.clear();
  if (with_regions_ && answer_.classes != 0) {
    index_.regions_at(*chromosome_, snp.position, answer_.regions);
    distinct_.pick(answer_.regions, [this](std::uint32_t id) { return index_.name_of(id); }, answer_.names);
  }
  // The first class that holds it decides.
  answer_.weight = answer_.classes == 0 ? weights_.outside
                                        : weights_.inside[static_cast<std::size_t>(std::countr_zero(answer_.classes))];
  answer_.label = snp.name;
  if (snp.name.empty()) {
    label_.assign(snp.chromosome);
    label_ += ':';
    label_ += std::to_string(snp.position);
    answer_.label = label_;
  }
  ++answered_;
  if (chromosome_ && *chromosome_ < ends_.size() && ends_[*chromosome_] > 0 && snp.position > ends_[*chromosome_])
    note_past_end(snp);
  return answer_;
}
