#include "extract/literal_engine.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <span>
#include <vector>

#include "hex/hex.h"
#include "table/table.h"

namespace romscriber::testing {

namespace {

class LiteralRunState {
 public:
  LiteralRunState(const Table& table, const RunSettings& settings, RunHooks& hooks)
      : m_table(table), m_settings(settings), m_hooks(hooks) {}

  RunResult Run() {
    if (m_settings.Mode == RunMode::kFree) {
      RunFreeMode();
    } else {
      RunBlockMode();
    }
    return {ScriptCount, m_stopped};
  }

 private:
  bool Stop() const { return m_hooks.StopRequested.load(); }

  // The bytes at ScanPos, as many as the file holds up to `count`.
  std::string Read(std::int64_t count) {
    const std::int64_t available = std::min(count, m_hooks.Rom.Size() - ScanPos);
    if (available <= 0) return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(available));
    m_hooks.Rom.ReadAt(ScanPos, bytes);
    return std::string(bytes.begin(), bytes.end());
  }

  // Linear first-match search; the multi-byte lists end at their first empty
  // code, the single-byte list is searched whole.
  std::optional<std::size_t> FindEntry(std::span<const std::string> codes, const std::string& key,
                                       bool stopAtEmpty) {
    for (std::size_t i = 0; i < codes.size(); ++i) {
      m_hooks.Host.ServiceEvents();
      if (stopAtEmpty && codes[i].empty()) return std::nullopt;
      if (codes[i] == key) return i;
    }
    return std::nullopt;
  }

  void ShowProgress() {
    const std::int64_t n = ScanPos - m_settings.StartOffset;
    m_hooks.Host.ShowProgress(ProgressText(n, m_settings.EndOffset - m_settings.StartOffset));
  }

  void OpenScript() {
    if (!ScriptOpen) {
      ScriptOpen = true;
      ScriptName = std::to_string(ScanPos);
    }
  }

  void WriteScript() {
    m_hooks.Scripts.WriteScript(ScriptName, ScriptText);
    ++ScriptCount;
  }

  void EndScript(const std::string& word) {
    if (!ScriptText.empty()) {
      ScriptText += m_settings.LeftBracket + word + m_settings.RightBracket;
      WriteScript();
    }
    ScriptText.clear();
    ScriptOpen = false;
  }

  bool IsIndicator(const std::string& hh) const {
    std::string upper = m_settings.Indicator;
    for (char& c : upper)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return hh == upper;
  }

  enum class Outcome { kDecoded, kStop, kEnd };

  Outcome Decode(bool blockMode) {
    Outcome outcome = Outcome::kDecoded;
    const std::string three = Read(3);
    std::optional<std::size_t> row;
    if (three.size() == 3) row = FindEntry(m_table.TripleCodes, TextToHex(three), true);
    if (row) {
      OpenScript();
      ScriptText += m_table.TripleTexts[*row];
      ScanPos += 3;
    } else {
      if (Stop()) return Outcome::kStop;
      const std::string two = Read(2);
      if (two.size() == 2) row = FindEntry(m_table.DoubleCodes, TextToHex(two), true);
      if (row) {
        OpenScript();
        ScriptText += m_table.DoubleTexts[*row];
        ScanPos += 2;
      } else {
        if (Stop()) return Outcome::kStop;
        const std::string hh = TextToHex(Read(1));
        if (blockMode && IsIndicator(hh)) {
          ScriptText.clear();
          ScriptName = std::to_string(ScanPos + 1);
        } else if (const auto slot = FindEntry(m_table.SingleCodes, hh, false)) {
          OpenScript();
          const std::string& text = m_table.SingleTexts[*slot];
          if (text == "/") {
            EndScript("END");
            outcome = Outcome::kEnd;
          } else if (text == "&") {
            EndScript("WAIT");
          } else if (text == "*") {
            ScriptText += "\r\n";
          } else {
            ScriptText += text;
          }
        } else {
          ScriptText += m_settings.LeftBracket + hh + m_settings.RightBracket;
          OpenScript();
        }
        ScanPos += 1;
      }
    }
    if (ScriptText.size() > kMaxScriptText) {
      WriteScript();
      ScriptText.clear();
      ScriptOpen = false;
    }
    return outcome;
  }

  bool InFile() const { return ScanPos < m_hooks.Rom.Size(); }

  void RunFreeMode() {
    ScanPos = m_settings.StartOffset;
    while (ScanPos <= m_settings.EndOffset && InFile()) {
      m_hooks.Host.ServiceEvents();
      ShowProgress();
      if (Stop() || Decode(false) == Outcome::kStop) {
        m_stopped = true;
        break;
      }
    }
    if (!ScriptText.empty()) WriteScript();
  }

  void RunBlockMode() {
    ScanPos = m_settings.StartOffset;
    while (ScanPos <= m_settings.EndOffset && InFile()) {
      m_hooks.Host.ServiceEvents();
      if (Stop()) {
        m_stopped = true;
        return;
      }
      ShowProgress();
      if (!IsIndicator(TextToHex(Read(1)))) {
        ScanPos += 1;
        continue;
      }
      InBlock = true;
      ScriptName = std::to_string(ScanPos + 1);
      ScanPos += 1;
      while (InBlock) {
        if (!InFile()) {
          if (!ScriptText.empty()) WriteScript();
          return;
        }
        m_hooks.Host.ServiceEvents();
        ShowProgress();
        Outcome outcome = Stop() ? Outcome::kStop : Decode(true);
        if (outcome == Outcome::kStop) {
          ScriptText.clear();
          m_stopped = true;
          return;
        }
        if (outcome == Outcome::kEnd) InBlock = false;
      }
    }
  }

  const Table& m_table;
  const RunSettings& m_settings;
  RunHooks& m_hooks;
  bool m_stopped = false;

  std::int64_t ScanPos = 0;
  std::string ScriptText;
  bool ScriptOpen = false;
  std::string ScriptName;
  std::int64_t ScriptCount = 0;
  bool InBlock = false;
};

}  // namespace

RunResult LiteralRun(const Table& table, const RunSettings& settings, RunHooks& hooks) {
  return LiteralRunState(table, settings, hooks).Run();
}

}  // namespace romscriber::testing
