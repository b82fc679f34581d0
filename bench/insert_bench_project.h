// The insertion bench's project, shared by the insertion and patch benches.
//
//   WriteInsertBenchProject   a 4 MiB LoROM image whose 65,536 three-byte
//                             pointers reach 65,536 strings (about 2 MiB of
//                             text) through an extended table of 10,000
//                             entries, its table and its project file
//   GiveOtherStringsTexts     the bench's translation: every string gets the
//                             text of another one, so sizes stay alike
//   WriteTranslatedScripts    that translation of the project, as TSV scripts
#pragma once

#include <cstdint>
#include <filesystem>

#include "scripts/script.h"

namespace romscriber::bench {

constexpr std::int64_t kInsertRomSize = 4 << 20;
constexpr int kInsertStrings = 65536;
constexpr std::int64_t kInsertPointers = 0x10000;  // bank 02 on, 3 bytes each

// Writes game.sfc, game.tbl and game.toml (one block "b" through table "t",
// its free region after the last string) into `folder`, which must exist;
// returns the path of game.toml. The same files every time.
std::filesystem::path WriteInsertBenchProject(const std::filesystem::path& folder);

void GiveOtherStringsTexts(BlockScript& script);

// Opens the project of `projectFile`, gives its strings GiveOtherStringsTexts'
// translations and writes its TSV scripts into `scripts`, made if need be.
void WriteTranslatedScripts(const std::filesystem::path& projectFile,
                            const std::filesystem::path& scripts);

}  // namespace romscriber::bench
