// One text through a table, for tests that encode a text once.
#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "insert/encoder.h"

namespace romscriber::testing {

inline std::variant<std::string, EncodeFailure> EncodeText(const CompiledTable& table,
                                                           std::string_view text) {
  TextEncoder encoder(table);
  return encoder.Encode(text);
}

}  // namespace romscriber::testing
