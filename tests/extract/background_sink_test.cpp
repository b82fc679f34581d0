// The background sink against writing each script at once: over random runs
// of scripts, writers of random speed and a failure at a random script, the
// same scripts arrive in the same order, the failure reaches the run, and
// the bytes waiting never pass the cap.
#include "extract/background_sink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "base/app_error.h"

namespace romscriber::testing {
namespace {

struct Written {
  std::string Name;
  std::string Text;
  bool operator==(const Written&) const = default;
};

// Records what it is given; fails at one script; now and then takes its time.
class RecordingSink : public ScriptSink {
 public:
  RecordingSink(std::optional<std::size_t> failAt, std::uint32_t seed) : m_failAt(failAt), m_rng(seed) {}

  void WriteScript(std::string_view name, std::string_view text) override {
    // Bytes (names and texts) the run has handed over and are not written
    // yet, this one included.
    const std::size_t handed = Handed.load();
    std::size_t waiting = 0;
    for (std::size_t i = m_calls; i < handed && i < Sizes.size(); ++i)
      waiting += Sizes[i];
    WaitingMost = std::max(WaitingMost, waiting - std::min(waiting, Sizes[m_calls]));
    if (m_failAt && m_calls == *m_failAt) throw AppError(61, "disco lleno");
    ++m_calls;
    if (m_rng() % 8 == 0) std::this_thread::sleep_for(std::chrono::microseconds(m_rng() % 300));
    Got.push_back({std::string(name), std::string(text)});
  }

  std::vector<std::size_t> Sizes;    // of every script the run makes
  std::atomic<std::size_t> Handed{0};  // scripts the run has handed over
  std::size_t WaitingMost = 0;        // most bytes waiting behind the one written
  std::vector<Written> Got;

 private:
  std::optional<std::size_t> m_failAt;
  std::mt19937 m_rng;
  std::size_t m_calls = 0;
};

TEST(BackgroundScriptSink, WritesWhatARunHandsOverInOrderAndStopsAtAFailure) {
  std::mt19937 rng(8);
  int failed = 0;
  for (int round = 0; round < 150; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<Written> scripts(rng() % 200);
    std::vector<std::size_t> sizes;
    for (std::size_t i = 0; i < scripts.size(); ++i) {
      scripts[i] = {std::to_string(i * 37), std::string(rng() % 300, static_cast<char>('a' + i % 26))};
      sizes.push_back(scripts[i].Name.size() + scripts[i].Text.size());
    }
    const std::size_t cap = 1 + rng() % 2000;
    std::optional<std::size_t> failAt;
    if (!scripts.empty() && rng() % 3 == 0) failAt = rng() % scripts.size();
    RecordingSink files(failAt, static_cast<std::uint32_t>(rng()));
    files.Sizes = sizes;
    const bool finish = round % 5 != 0;  // else the run ends by an error of its own
    std::optional<int> error;
    {
      BackgroundScriptSink sink(files, cap);
      try {
        // As a run does: stop at the first script the sink refuses.
        for (const Written& s : scripts) {
          sink.WriteScript(s.Name, s.Text);
          files.Handed.fetch_add(1);
        }
        if (finish) sink.Finish();
      } catch (const AppError& e) {
        error = e.Number();
      }
    }
    if (failAt) {
      ++failed;
      // The failure reaches the run unless the run never asked again.
      if (finish) {
        EXPECT_EQ(error, 61);
      }
      ASSERT_EQ(files.Got.size(), *failAt);
    } else {
      EXPECT_FALSE(error);
      ASSERT_EQ(files.Got.size(), scripts.size());
    }
    for (std::size_t i = 0; i < files.Got.size(); ++i)
      ASSERT_EQ(files.Got[i], scripts[i]) << "script " << i;
    EXPECT_LE(files.WaitingMost, cap);
  }
  EXPECT_GT(failed, 20);
}

}  // namespace
}  // namespace romscriber::testing
