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
  const auto found = ids_.find(name);
  if (found != ids_.end()) return found->second;
  const auto id = static_cast<std::uint32_t>(names_.size());
  names_.emplace_back(name);
  ids_.emplace(names_.back(), id);
  return id;
}
