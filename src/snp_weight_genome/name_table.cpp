#include "name_table.hpp"

#include <algorithm>

std::string_view encoded(std::string_view name, std::string_view special, std::string& scratch) {
  const auto needs = [special](char c) { return c == '%' || special.find(c) != std::string_view::npos; };
  if (std::none_of(name.begin(), name.end(), needs)) return name;
  static constexpr char hex[] = "0123456789ABCDEF";
  scratch.clear();
  for (const char c : name) {
    if (!needs(c)) {
      scratch += c;
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    scratch += '%';
    scratch += hex[byte >> 4];
    scratch += hex[byte & 15];
  }
  return scratch;
}

std::uint32_t name_table::add(std::string_view name) {
  if (last_ != NO_NAME && (*this)[last_] == name) return last_;
  text_ += name;
  starts_.push_back(text_.size());
  last_ = static_cast<std::uint32_t>(size() - 1);
  return last_;
}

namespace {

// Sorts `keys` by their high 32 bits, keeping the order of equal ones: a
// radix sort, three passes of 11 bits, which takes a fraction of what a
// comparison sort does over a million names.
void sort_by_high_half(large_vector<std::uint64_t>& keys) {
  large_vector<std::uint64_t> other(keys.size());
  for (int shift = 32; shift < 64; shift += 11) {
    std::vector<std::size_t> starts(2049, 0);
    for (const std::uint64_t key : keys) ++starts[(key >> shift & 2047) + 1];
    for (std::size_t k = 1; k < starts.size(); ++k) starts[k] += starts[k - 1];
    for (const std::uint64_t key : keys) other[starts[key >> shift & 2047]++] = key;
    keys.swap(other);
  }
}

}  // namespace

void name_table::finish() {
  // Each id keyed by 32 bits of its name's hash above the id itself: sorted,
  // the ids of equal names lie together, in order.
  large_vector<std::uint64_t> keys;
  keys.reserve(size());
  for (std::uint32_t id = 0; id < size(); ++id)
    keys.push_back(std::hash<std::string_view>{}((*this)[id]) >> 32 << 32 | id);
  sort_by_high_half(keys);
  first_.resize(size());
  std::vector<std::uint32_t> seen;  // the distinct names of one hash
  for (std::size_t k = 0; k < keys.size();) {
    const std::uint64_t hash = keys[k] >> 32;
    seen.clear();
    for (; k < keys.size() && keys[k] >> 32 == hash; ++k) {
      const auto id = static_cast<std::uint32_t>(keys[k]);
      std::uint32_t same = id;
      for (const std::uint32_t earlier : seen)
        if ((*this)[earlier] == (*this)[id]) {
          same = earlier;
          break;
        }
      if (same == id) seen.push_back(id);
      first_[id] = same;
    }
  }
}
