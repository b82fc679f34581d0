// Randomised differential test: the engine through extended tables against
// the literal longest-match run, in both modes, with stops and failed writes.
#include <gtest/gtest.h>

#include <random>

#include "extract/literal_engine.h"
#include "extract/run_fixtures.h"
#include "hex/hex.h"

namespace romscriber::testing {
namespace {

// Random extended tables over a small alphabet, so that keys of 1 to 8 bytes
// share prefixes and match often; end, line-break and control tokens; texts
// that are empty (shown raw), hold line breaks, or pass the length limit.
class ExtendedCaseMaker {
 public:
  explicit ExtendedCaseMaker(unsigned seed) : m_rng(seed) {}

  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }

  EntryList Table(const std::string& alphabet) {
    EntryList table;
    for (int n = Pick(0, 30); n > 0; --n) {
      Entry e;
      for (int k = Pick(1, 8) - (Pick(0, 2) ? Pick(0, 6) : 0); k > 0 || e.Key.empty(); --k)
        e.Key.push_back(alphabet[static_cast<std::size_t>(Pick(0, static_cast<int>(alphabet.size()) - 1))]);
      e.Kind = static_cast<EntryKind>(Pick(0, 9) < 6 ? 0 : Pick(1, 3));
      if (e.Kind == EntryKind::kControl) e.Params = Pick(0, 3);
      switch (Pick(0, 6)) {
        case 0:
          break;  // empty: the key's bytes show raw
        case 1:
          e.Text = "a\nb";
          break;
        case 2:
          e.Text = std::string(static_cast<std::size_t>(Pick(20000, 40000)), 'w');
          break;
        default:
          e.Text = std::string(1, static_cast<char>('A' + Pick(0, 25))) + "\xC3\xB1";
      }
      table.Entries.push_back(std::move(e));
    }
    return table;
  }

  std::mt19937 m_rng;
};

TEST(ExtendedDifferential, EngineWritesWhatTheLiteralLongestMatchWrites) {
  for (unsigned seed = 0; seed < 400; ++seed) {
    ExtendedCaseMaker make(seed);
    std::string alphabet;
    for (int n = make.Pick(2, 6); n > 0; --n)
      alphabet.push_back(static_cast<char>(make.Pick(0, 255)));
    const EntryList table = make.Table(alphabet);
    std::string rom;
    const int size = make.Pick(0, 59) == 0 ? make.Pick(65536, 70000) : make.Pick(1, 600);
    for (int i = 0; i < size; ++i)
      rom.push_back(make.Pick(0, 9) ? alphabet[static_cast<std::size_t>(make.Pick(0, static_cast<int>(alphabet.size()) - 1))]
                                    : static_cast<char>(make.Pick(0, 255)));
    RunSettings settings;
    settings.StartOffset = make.Pick(0, size - 1);
    settings.EndOffset = make.Pick(0, 3) == 0 ? size : make.Pick(static_cast<int>(settings.StartOffset) + 1, size);
    if (settings.EndOffset <= settings.StartOffset) settings.EndOffset = settings.StartOffset + 1;
    settings.Mode = make.Pick(0, 1) ? RunMode::kBlock : RunMode::kFree;
    std::string indicator;
    AppendByteHex(indicator, static_cast<std::uint8_t>(alphabet[0]));
    settings.Indicator = indicator;
    const int stopAt = make.Pick(0, 3) == 0 ? make.Pick(1, 4) : -1;
    const int failAt = make.Pick(0, 7) == 0 ? make.Pick(0, 3) : -1;
    const RunOutcome engine = RecordRun(EngineExtendedRun, table, settings, rom, stopAt, failAt);
    const RunOutcome literal = RecordRun(LiteralExtendedRun, table, settings, rom, stopAt, failAt);
    ASSERT_EQ(engine, literal) << "seed " << seed;
  }
}

}  // namespace
}  // namespace romscriber::testing
