// Generated tables and ROMs for the benchmarks.
#pragma once

#include <cstdint>
#include <string>

#include "table/table.h"

namespace romscriber::bench {

// 256 single-byte entries (byte 00 ends a script, 0A breaks a line, FE
// pauses, the rest one or two letters), 5000 two-byte and 5000 three-byte
// entries with distinct random codes.
Table FullTable(std::uint32_t seed = 7);

// `size` random bytes.
std::string RandomRom(std::size_t size, std::uint32_t seed = 11);

}  // namespace romscriber::bench
