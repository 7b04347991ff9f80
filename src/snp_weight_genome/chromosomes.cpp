#include "chromosomes.hpp"

#include <charconv>

namespace {

bool starts_with_chr(std::string_view written) {
  return written.size() > 3 && (written[0] == 'c' || written[0] == 'C') &&
         (written[1] == 'h' || written[1] == 'H') && (written[2] == 'r' || written[2] == 'R');
}

// NCBI's RefSeq accession of a human chromosome, "NC_0000NN" with or
// without ".VERSION": its number, X, Y or MT; else "".
std::string_view refseq_chromosome(std::string_view written) {
  if (!written.starts_with("NC_")) return {};
  written.remove_prefix(3);
  const std::size_t dot = written.find('.');
  const std::string_view accession = written.substr(0, dot);
  if (accession.size() != 6) return {};
  if (dot != std::string_view::npos &&
      written.find_first_not_of("0123456789", dot + 1) != std::string_view::npos)
    return {};
  if (accession == "012920") return "MT";
  int number = 0;
  const auto [end, failure] = std::from_chars(accession.data(), accession.data() + accession.size(), number);
  if (failure != std::errc() || end != accession.data() + accession.size() || !accession.starts_with("0000"))
    return {};
  static constexpr const char* names[] = {"1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",
                                          "9",  "10", "11", "12", "13", "14", "15", "16",
                                          "17", "18", "19", "20", "21", "22", "X",  "Y"};
  return number >= 1 && number <= 24 ? names[number - 1] : std::string_view{};
}

}  // namespace

std::string chromosome_names::key_of(std::string_view written) const {
  if (exact_) return std::string(written);
  if (const std::string_view refseq = refseq_chromosome(written); !refseq.empty()) return std::string(refseq);
  if (starts_with_chr(written)) written.remove_prefix(3);
  if (written == "M") return "MT";
  if (written == "XY") return "X";  // PLINK's pseudo-autosomal X: positions on X
  return std::string(written);
}

std::uint32_t chromosome_names::add(std::string_view written) {
  const auto [found, added] =
      index_.try_emplace(key_of(written), static_cast<std::uint32_t>(first_spelling_.size()));
  if (added) first_spelling_.emplace_back(written);
  return found->second;
}

std::optional<std::uint32_t> chromosome_names::find(std::string_view written) const {
  const auto found = index_.find(key_of(written));
  if (found == index_.end()) return std::nullopt;
  return found->second;
}
