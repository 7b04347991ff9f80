#include "name_table.hpp"

std::uint32_t name_table::add(std::string_view name) {
  const auto found = ids_.find(name);
  if (found != ids_.end()) return found->second;
  const auto id = static_cast<std::uint32_t>(names_.size());
  names_.emplace_back(name);
  ids_.emplace(names_.back(), id);
  return id;
}
