// The names of regions. A region holds the id of its name, and once
// finish() has run, regions of one name hold one id (that of the name's
// first line), so that "each name once" is a test of ids.
//
// Names are only stored while a file is read: a hash table probed at
// every line costs a cache miss per line, so equal names are found once,
// at the end, by sorting their hashes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "large_table.hpp"

inline constexpr std::uint32_t NO_NAME = 0xFFFFFFFF;

class name_table {
 public:
  // An id for `name`: the last name's when it is the same (files repeat a
  // name line after line), else a new one. A view operator[] gave may not
  // outlive the next add().
  std::uint32_t add(std::string_view name);
  std::string_view operator[](std::uint32_t id) const {
    return std::string_view(text_).substr(starts_[id], starts_[id + 1] - starts_[id]);
  }
  std::size_t size() const { return starts_.size() - 1; }
  // Finds the ids of equal names; once, after the last add().
  void finish();
  // The first id of the name that `id` stands for (after finish()).
  std::uint32_t first(std::uint32_t id) const { return first_[id]; }

 private:
  large_string text_;                   // every name, one after another
  large_vector<std::uint64_t> starts_{0};  // where each begins, and one past the last
  large_vector<std::uint32_t> first_;   // by id, the first id of the same name
  std::uint32_t last_ = NO_NAME;
};

// `name` with '%' and each byte of `special` written as %XX, as VCF writes
// its INFO values, so that names joined by one of them can be split back
// (then %XX read as the byte it stands for): `name` itself when it holds
// none, else `scratch` holding the encoded name.
std::string_view encoded(std::string_view name, std::string_view special, std::string& scratch);

// What the outputs encode in a name: in a comma-separated list; in a VCF's
// INFO value; in the columns of a set file.
inline constexpr std::string_view IN_A_LIST = ",";
inline constexpr std::string_view IN_VCF_INFO = ",;= \t";
inline constexpr std::string_view IN_SET_FILES = ", \t";

// The distinct names of some regions, in the order of their first region:
// a mark per name, so that k regions cost O(k).
class distinct_names {
 public:
  // `names` gets the distinct names of the regions `ids` (in file order),
  // `name_of(id)` giving each region's name (NO_NAME for none).
  template <class NameOf>
  void pick(const std::vector<std::uint32_t>& ids, NameOf name_of, std::vector<std::uint32_t>& names);

 private:
  large_vector<std::uint32_t> marks_;  // the round in which each name was last picked
  std::uint32_t round_ = 0;
};

// Implementation details follow.

template <class NameOf>
void distinct_names::pick(const std::vector<std::uint32_t>& ids, NameOf name_of, std::vector<std::uint32_t>& names) {
  names.clear();
  if (++round_ == 0) {
    marks_.assign(marks_.size(), 0);
    round_ = 1;
  }
  for (const std::uint32_t id : ids) {
    const std::uint32_t name = name_of(id);
    if (name == NO_NAME) continue;
    if (name >= marks_.size()) marks_.resize(name + 1, 0);
    if (marks_[name] == round_) continue;
    marks_[name] = round_;
    names.push_back(name);
  }
}
