// Randomised differential tests: the fast engine and the literal oracle must
// write the same scripts, count them alike, stop alike and fail alike.
#include <gtest/gtest.h>

#include <random>

#include "base/app_error.h"
#include "extract/engine.h"
#include "extract/literal_engine.h"
#include "extract/run_fixtures.h"
#include "extract/script_files.h"
#include "extract/temp_folder.h"
#include "hex/hex.h"

namespace romscriber::testing {
namespace {

struct Case {
  Table Tbl;
  std::string Rom;
  RunSettings Run;
  int StopAtWrite = -1;
  int FailAtWrite = -1;
};

template <class RunFn>
RunOutcome RunCase(const Case& c, RunFn run) {
  return RecordRun(run, c.Tbl, c.Run, c.Rom, c.StopAtWrite, c.FailAtWrite);
}

class CaseMaker {
 public:
  explicit CaseMaker(unsigned seed) : m_rng(seed) {}

  Case Make() {
    Case c;
    // A few byte values make multi-byte entries and indicators likely.
    const int alphabetSize = Pick(3, 14);
    for (int i = 0; i < alphabetSize; ++i)
      m_alphabet.push_back(static_cast<std::uint8_t>(Pick(0, 255)));
    FillSingles(c.Tbl);
    FillMulti(c.Tbl.DoubleCodes, c.Tbl.DoubleTexts, 2);
    FillMulti(c.Tbl.TripleCodes, c.Tbl.TripleTexts, 3);

    // Mostly small ROMs; a few pass the engine's 64 KiB read chunks.
    const int shape = Pick(0, 59);
    const int size = shape == 0 ? Pick(65536, 70000) : shape < 20 ? Pick(1, 12) : Pick(20, 2000);
    for (int i = 0; i < size; ++i)
      c.Rom.push_back(static_cast<char>(Pick(0, 9) == 0 ? Pick(0, 255) : Letter()));

    c.Run.StartOffset = Pick(0, std::max(0, size - 1));
    c.Run.EndOffset = Pick(0, 3) == 0 ? size : Pick(static_cast<int>(c.Run.StartOffset) + 1, size);
    if (c.Run.EndOffset <= c.Run.StartOffset) c.Run.EndOffset = c.Run.StartOffset + 1;
    c.Run.Mode = Pick(0, 1) ? RunMode::kBlock : RunMode::kFree;
    c.Run.LeftBracket = std::string(1, "{[(</\\~"[Pick(0, 6)]);
    c.Run.RightBracket = std::string(1, "}])>/\\~"[Pick(0, 6)]);
    std::string indicator = Code(Letter(), 1);
    if (Pick(0, 1)) {
      const std::size_t i = static_cast<std::size_t>(Pick(0, 1));
      indicator[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(indicator[i])));
    }
    c.Run.Indicator = indicator;
    if (Pick(0, 3) == 0) c.StopAtWrite = Pick(1, 4);
    if (Pick(0, 7) == 0) c.FailAtWrite = Pick(0, 3);
    return c;
  }

 private:
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
  std::uint8_t Letter() {
    return m_alphabet[static_cast<std::size_t>(Pick(0, static_cast<int>(m_alphabet.size()) - 1))];
  }

  std::string Code(std::uint8_t first, int bytes) {
    std::string key;
    AppendByteHex(key, first);
    for (int i = 1; i < bytes; ++i)
      AppendByteHex(key, Letter());
    switch (Pick(0, 11)) {
      case 0:  // lower case never matches
        for (char& ch : key)
          ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        break;
      case 1:  // not a hex code at all
        key[0] = 'G';
        break;
      default:
        break;
    }
    return key;
  }

  std::string Text() {
    switch (Pick(0, 12)) {
      case 0:
        return "/";
      case 1:
        return "*";
      case 2:
        return "&";
      case 3:
        return "";
      case 4:
        return Pick(0, 5) == 0 ? std::string(static_cast<std::size_t>(Pick(9000, 30000)), 'w')
                               : "ww";
      default: {
        std::string t;
        const int n = Pick(1, 4);
        for (int i = 0; i < n; ++i)
          t.push_back(static_cast<char>(Pick(0, 255)));
        return t;
      }
    }
  }

  void FillSingles(Table& t) {
    const int n = Pick(0, 40);
    for (int i = 0; i < n; ++i) {
      const std::uint8_t b = Pick(0, 2) ? Letter() : static_cast<std::uint8_t>(Pick(0, 255));
      // Usually the slot of its own byte; sometimes any slot.
      const std::size_t slot = Pick(0, 5) ? b : static_cast<std::size_t>(Pick(0, 255));
      t.SingleCodes[slot] = Pick(0, 15) ? Code(b, 1) : "";
      t.SingleTexts[slot] = Pick(0, 2) ? Text() : std::string(1, "/*&"[Pick(0, 2)]);
    }
  }

  void FillMulti(std::vector<std::string>& codes, std::vector<std::string>& texts, int bytes) {
    const int n = Pick(0, 3) == 0 ? 0 : Pick(1, 60);
    for (int row = 0; row < n; ++row) {
      // An empty code in the middle hides the rows after it.
      codes[static_cast<std::size_t>(row)] = Pick(0, 40) == 0 ? "" : Code(Letter(), bytes);
      texts[static_cast<std::size_t>(row)] = Text();
      if (row > 0 && Pick(0, 6) == 0)
        codes[static_cast<std::size_t>(row)] = codes[static_cast<std::size_t>(row - 1)];
    }
  }

  std::mt19937 m_rng;
  std::vector<std::uint8_t> m_alphabet;
};

TEST(EngineDifferential, FastEngineWritesWhatTheLiteralRunWrites) {
  for (unsigned seed = 1; seed <= 1000; ++seed) {
    const Case c = CaseMaker(seed).Make();
    const RunOutcome fast = RunCase(c, RunExtraction);
    const RunOutcome literal = RunCase(c, LiteralRun);
    SCOPED_TRACE("seed " + std::to_string(seed));
    ASSERT_EQ(fast.ErrorNumber, literal.ErrorNumber);
    ASSERT_EQ(fast.Scripts.size(), literal.Scripts.size());
    for (std::size_t i = 0; i < fast.Scripts.size(); ++i) {
      ASSERT_EQ(fast.Scripts[i].Name, literal.Scripts[i].Name) << "script " << i;
      ASSERT_EQ(fast.Scripts[i].Text, literal.Scripts[i].Text) << "script " << i;
    }
    ASSERT_EQ(fast.Result.ScriptCount, literal.Result.ScriptCount);
    ASSERT_EQ(fast.Result.Stopped, literal.Result.Stopped);
    ASSERT_EQ(fast.LastProgress, literal.LastProgress);
  }
}

// The same through script files on disk: both folders hold the same bytes.
TEST(EngineDifferential, ScriptFilesAreByteIdentical) {
  for (unsigned seed = 1000; seed < 1040; ++seed) {
    const Case c = CaseMaker(seed).Make();
    TempFolder fastDir, literalDir;
    const auto runInto = [&](const TempFolder& dir, auto run) {
      MemoryByteSource rom(c.Rom);
      FolderScriptSink sink(dir.Path());
      std::atomic<bool> stop{false};
      RecordingHost host(stop);
      RunHooks hooks{rom, sink, host, stop};
      run(c.Tbl, c.Run, hooks);
    };
    runInto(fastDir, RunExtraction);
    runInto(literalDir, LiteralRun);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(literalDir.Path())) {
      const auto twin = fastDir.Path() / entry.path().filename();
      ASSERT_TRUE(std::filesystem::exists(twin)) << entry.path();
      ASSERT_EQ(ReadBytes(twin), ReadBytes(entry.path())) << entry.path();
      ++files;
    }
    const auto fastFiles = std::distance(std::filesystem::directory_iterator(fastDir.Path()), {});
    ASSERT_EQ(static_cast<std::size_t>(fastFiles), files) << "seed " << seed;
  }
}

}  // namespace
}  // namespace romscriber::testing
