#include "extract/literal_engine.h"

#include <algorithm>
#include <map>
#include <cctype>
#include <optional>
#include <span>
#include <vector>

#include "hex/hex.h"
#include "table/table.h"

namespace romscriber::testing {

namespace {

// What both literal runs keep and do alike: the position, the script under
// way, reads through the byte source, progress and script writes.
class LiteralRunBase {
 protected:
  LiteralRunBase(const RunSettings& settings, RunHooks& hooks)
      : m_settings(settings), m_hooks(hooks) {}

  bool InFile() const { return ScanPos < m_hooks.Rom.Size(); }

  // The bytes at ScanPos, as many as the file holds up to `count`.
  std::string Read(std::int64_t count) const {
    const std::int64_t available = std::min(count, m_hooks.Rom.Size() - ScanPos);
    if (available <= 0) return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(available));
    m_hooks.Rom.ReadAt(ScanPos, bytes);
    return std::string(bytes.begin(), bytes.end());
  }

  void ShowProgress() {
    m_hooks.Host.ShowProgress(ProgressText(ScanPos - m_settings.StartOffset,
                                           m_settings.EndOffset - m_settings.StartOffset));
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

  const RunSettings& m_settings;
  RunHooks& m_hooks;
  bool m_stopped = false;

  std::int64_t ScanPos = 0;
  std::string ScriptText;
  bool ScriptOpen = false;
  std::string ScriptName;
  std::int64_t ScriptCount = 0;
};

class LiteralRunState : public LiteralRunBase {
 public:
  LiteralRunState(const Table& table, const RunSettings& settings, RunHooks& hooks)
      : LiteralRunBase(settings, hooks), m_table(table) {}

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
  bool InBlock = false;
};

}  // namespace

RunResult LiteralRun(const Table& table, const RunSettings& settings, RunHooks& hooks) {
  return LiteralRunState(table, settings, hooks).Run();
}

}  // namespace romscriber::testing

namespace romscriber::testing {

namespace {

class LiteralExtendedState : public LiteralRunBase {
 public:
  LiteralExtendedState(const EntryList& table, const RunSettings& settings, RunHooks& hooks)
      : LiteralRunBase(settings, hooks) {
    for (const Entry& e : table.Entries) {
      m_keys.emplace(e.Key, &e);  // the first definition of a key wins
      m_longest = std::max(m_longest, e.Key.size());
    }
  }

  RunResult Run() {
    ScanPos = m_settings.StartOffset;
    if (m_settings.Mode == RunMode::kFree) {
      while (ScanPos <= m_settings.EndOffset && InFile()) {
        m_hooks.Host.ServiceEvents();
        ShowProgress();
        if (m_hooks.StopRequested.load()) {
          m_stopped = true;
          break;
        }
        Decode(false);
      }
      if (!ScriptText.empty()) WriteScript();
      return {ScriptCount, m_stopped};
    }
    while (ScanPos <= m_settings.EndOffset && InFile()) {
      m_hooks.Host.ServiceEvents();
      if (m_hooks.StopRequested.load()) return {ScriptCount, true};
      ShowProgress();
      if (Read(1) != std::string(1, static_cast<char>(Indicator()))) {
        ++ScanPos;
        continue;
      }
      ScriptName = std::to_string(++ScanPos);
      for (bool inBlock = true; inBlock;) {
        if (!InFile()) {
          if (!ScriptText.empty()) WriteScript();
          return {ScriptCount, false};
        }
        m_hooks.Host.ServiceEvents();
        ShowProgress();
        if (m_hooks.StopRequested.load()) {
          ScriptText.clear();
          return {ScriptCount, true};
        }
        inBlock = !Decode(true);
      }
    }
    return {ScriptCount, false};
  }

 private:
  int Indicator() const { return IndicatorByte(m_settings.Indicator); }

  static std::string Raw(const std::string& bytes) {
    std::string out;
    for (char c : bytes)
      out += "<$" + TextToHex(std::string(1, c)) + ">";
    return out;
  }

  // Decodes the item at ScanPos; true when it was an end token.
  bool Decode(bool blockMode) {
    const std::string bytes = Read(static_cast<std::int64_t>(m_longest));
    const Entry* entry = nullptr;
    for (std::size_t length = bytes.size(); length > 0 && !entry; --length) {
      const auto it = m_keys.find(bytes.substr(0, length));
      if (it != m_keys.end()) entry = it->second;
    }
    OpenScript();
    bool ended = false;
    if (blockMode && static_cast<std::uint8_t>(Read(1)[0]) == Indicator() &&
        (!entry || entry->Key.size() == 1)) {
      ScriptText.clear();
      ScriptName = std::to_string(ScanPos + 1);
      ScanPos += 1;
    } else if (!entry) {
      ScriptText += Raw(Read(1));
      ScanPos += 1;
    } else {
      std::string text;
      for (char c : entry->Text)
        text += c == '\n' ? std::string("\r\n") : std::string(1, c);
      if (entry->Kind == EntryKind::kLineBreak) text += "\r\n";
      if (text.empty()) text = Raw(entry->Key);
      ScanPos += static_cast<std::int64_t>(entry->Key.size());
      if (entry->Kind == EntryKind::kEnd) {
        if (!ScriptText.empty()) {
          ScriptText += text;
          WriteScript();
        }
        ScriptText.clear();
        ScriptOpen = false;
        ended = true;
      } else {
        ScriptText += text;
        if (entry->Kind == EntryKind::kControl) {
          const std::string params = Read(entry->Params);
          ScriptText += Raw(params);
          ScanPos += static_cast<std::int64_t>(params.size());
        }
      }
    }
    if (ScriptText.size() > kMaxScriptText) {
      WriteScript();
      ScriptText.clear();
      ScriptOpen = false;
    }
    return ended;
  }

  std::map<std::string, const Entry*> m_keys;
  std::size_t m_longest = 1;
};

}  // namespace

RunResult LiteralExtendedRun(const EntryList& table, const RunSettings& settings,
                             RunHooks& hooks) {
  return LiteralExtendedState(table, settings, hooks).Run();
}

RunResult EngineExtendedRun(const EntryList& table, const RunSettings& settings,
                            RunHooks& hooks) {
  DecodeStyle style;  // <$HH>, CR LF
  style.ClassicMarkers = false;
  return RunCompiled(CompiledTable::Compile(table, style), settings, hooks);
}

}  // namespace romscriber::testing
