#include "chromosomes.hpp"

std::string chromosome_names::key_of(std::string_view written) const {
  if (exact_) return std::string(written);
  if (written.size() > 3 && (written[0] == 'c' || written[0] == 'C') &&
      (written[1] == 'h' || written[1] == 'H') && (written[2] == 'r' || written[2] == 'R'))
    written.remove_prefix(3);
  if (written == "M") return "MT";
  return std::string(written);
}

std::uint32_t chromosome_names::spelling(std::string_view written) {
  if (!spellings_.empty() && written == last_written_) return last_spelling_;
  const std::string text(written);
  auto found = spelling_index_.find(text);
  if (found == spelling_index_.end()) {
    const auto index = static_cast<std::uint32_t>(spellings_.size());
    const auto [chromosome, added] =
        chromosome_index_.try_emplace(key_of(written), static_cast<std::uint32_t>(first_spelling_.size()));
    if (added) first_spelling_.push_back(index);
    spellings_.push_back(text);
    chromosome_of_.push_back(chromosome->second);
    found = spelling_index_.emplace(text, index).first;
  }
  last_written_ = text;
  last_spelling_ = found->second;
  return last_spelling_;
}

std::optional<std::uint32_t> chromosome_names::find(std::string_view written) const {
  const auto found = chromosome_index_.find(key_of(written));
  if (found == chromosome_index_.end()) return std::nullopt;
  return found->second;
}
