// A literal longest match over a compiled table's keys, for the lookup's
// tests: a map of each key's first definition, tried from the longest size.
#pragma once

#include <algorithm>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>

#include "table/compiled.h"

namespace romscriber::testing {

// The first definition of each key, by key.
inline std::map<std::string, const TableEntry*> ByKey(const CompiledTable& table) {
  std::map<std::string, const TableEntry*> keys;
  for (const TableEntry& e : table.Entries())
    keys.emplace(std::string(table.Key(e)), &e);
  return keys;
}

// The longest key among `keys`, of at most `longest` bytes, that the bytes at
// `at` begin with, reading no more than `available` bytes, or nullptr.
inline const TableEntry* LongestKey(const std::map<std::string, const TableEntry*>& keys,
                                    std::string_view bytes, std::size_t at, std::size_t available,
                                    std::size_t longest = 32) {
  for (std::size_t size = std::min(available, longest); size > 0; --size) {
    const auto it = keys.find(std::string(bytes.substr(at, size)));
    if (it != keys.end()) return it->second;
  }
  return nullptr;
}

}  // namespace romscriber::testing
