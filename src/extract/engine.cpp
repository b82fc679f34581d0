#include "extract/engine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <stdexcept>
#include <vector>

#include "hex/hex.h"
#include "table/lookup.h"

namespace romscriber {

namespace {

// Positions examined between two calls of the event servicing.
constexpr int kServiceInterval = 4096;
// ROM bytes held at a time.
constexpr std::size_t kChunkSize = 1 << 16;

// Reads the ROM in chunks, so the run makes one read per chunk rather than
// one per position, with memory that does not grow with the ROM.
class RomReader {
 public:
  explicit RomReader(ByteSource& source)
      : m_source(source), m_size(source.Size()), m_buffer(kChunkSize) {}

  std::int64_t Size() const { return m_size; }

  // The bytes at `pos` (< Size()); at least min(3, Size() - pos) are valid.
  const std::uint8_t* At(std::int64_t pos) {
    const std::int64_t wanted = std::min<std::int64_t>(3, m_size - pos);
    if (pos < m_start || pos + wanted > m_start + m_length) Fill(pos);
    return m_buffer.data() + (pos - m_start);
  }

  // Bytes held from `pos` on, after At(pos).
  std::int64_t HeldFrom(std::int64_t pos) const { return m_start + m_length - pos; }

 private:
  void Fill(std::int64_t pos) {
    const auto length = static_cast<std::size_t>(std::min<std::int64_t>(kChunkSize, m_size - pos));
    m_source.ReadAt(pos, std::span<std::uint8_t>(m_buffer.data(), length));
    m_start = pos;
    m_length = static_cast<std::int64_t>(length);
  }

  ByteSource& m_source;
  std::int64_t m_size;
  std::vector<std::uint8_t> m_buffer;
  std::int64_t m_start = 0;
  std::int64_t m_length = 0;
};

enum class Step { kDecoded, kStopped, kEndEntry };

// A text to append. Up to kInline bytes are held in the record itself and
// appended with one fixed-size copy; a longer text is one of the table's own.
constexpr std::size_t kInline = 16;

struct Item {
  char Bytes[kInline] = {};
  std::uint32_t Length = 0;
  std::uint32_t Long = 0;  // index of a longer text among DecodeTexts' long texts
};

// What the run does for a byte that begins no multi-byte entry.
struct SingleAction {
  enum Kind : std::uint8_t { kAppend, kEnd, kPause } Kind = kAppend;
  Item Text;  // for kAppend: the entry's text, CR LF, or the bracketed byte
};

// The table's texts and the run's bracketed bytes, ready to append.
class DecodeTexts {
 public:
  DecodeTexts(const Table& table, const TableLookup& lookup, const RunSettings& settings)
      : m_doubles(UsedRows(table.DoubleCodes)), m_triples(UsedRows(table.TripleCodes)) {
    for (std::size_t b = 0; b < kSingleSlots; ++b) {
      const auto byte = static_cast<std::uint8_t>(b);
      SingleAction& action = m_singles[b];
      switch (lookup.SingleKind(byte)) {
        case EntryKind::kNone: {
          std::string bracketed = settings.LeftBracket;
          AppendByteHex(bracketed, byte);
          bracketed += settings.RightBracket;
          m_generated.push_back(std::move(bracketed));
          action.Text = MakeItem(m_generated.back());
          break;
        }
        case EntryKind::kLineBreak:
          action.Text = MakeItem("\r\n");
          break;
        case EntryKind::kOrdinary:
          action.Text =
              MakeItem(table.SingleTexts[static_cast<std::size_t>(lookup.SingleSlot(byte))]);
          break;
        case EntryKind::kEnd:
          action.Kind = SingleAction::kEnd;
          break;
        case EntryKind::kPause:
          action.Kind = SingleAction::kPause;
          break;
      }
    }
    for (std::size_t row = 0; row < m_doubles.size(); ++row)
      m_doubles[row] = MakeItem(table.DoubleTexts[row]);
    for (std::size_t row = 0; row < m_triples.size(); ++row)
      m_triples[row] = MakeItem(table.TripleTexts[row]);
  }

  const SingleAction& Single(std::uint8_t b) const { return m_singles[b]; }
  const Item& Double(std::size_t row) const { return m_doubles[row]; }
  const Item& Triple(std::size_t row) const { return m_triples[row]; }
  const Item* DoubleData() const { return m_doubles.data(); }
  std::string_view LongText(const Item& item) const { return m_long[item.Long]; }

 private:
  // `text` must outlive the run when it is longer than kInline.
  Item MakeItem(std::string_view text) {
    Item item;
    item.Length = static_cast<std::uint32_t>(text.size());
    if (text.size() <= kInline) {
      std::memcpy(item.Bytes, text.data(), text.size());
    } else {
      item.Long = static_cast<std::uint32_t>(m_long.size());
      m_long.push_back(text);
    }
    return item;
  }

  std::array<SingleAction, kSingleSlots> m_singles;
  std::vector<Item> m_doubles;
  std::vector<Item> m_triples;
  std::deque<std::string> m_generated;  // bracketed bytes; a deque keeps them in place
  std::vector<std::string_view> m_long;
};

// The text of the script under way. The buffer always has room for a short
// item past the length limit, so a short item needs no size check.
class ScriptBuffer {
 public:
  explicit ScriptBuffer(const DecodeTexts& texts)
      : m_texts(texts), m_bytes(kMaxScriptText + 2 * kInline) {}

  bool empty() const { return m_length == 0; }
  std::size_t size() const { return m_length; }
  void clear() { m_length = 0; }
  std::string_view View() const { return {m_bytes.data(), m_length}; }

  // A decoded item. Called only while size() <= kMaxScriptText, which the
  // run's length limit keeps.
  void Append(const Item& item) {
    if (item.Length <= kInline) {
      std::memcpy(m_bytes.data() + m_length, item.Bytes, kInline);
      m_length += item.Length;
    } else {
      Append(m_texts.LongText(item));
    }
  }
  void Append(std::string_view text) {
    if (m_length + text.size() + kInline > m_bytes.size())
      m_bytes.resize(m_length + text.size() + kInline);
    std::memcpy(m_bytes.data() + m_length, text.data(), text.size());
    m_length += text.size();
  }

  // Direct access for the run of plain items.
  char* Data() { return m_bytes.data(); }
  void SetSize(std::size_t length) { m_length = length; }

 private:
  const DecodeTexts& m_texts;
  std::vector<char> m_bytes;
  std::size_t m_length = 0;
};

class Extraction {
 public:
  Extraction(const Table& table, const RunSettings& settings, RunHooks& hooks)
      : m_lookup(table),
        m_texts(table, m_lookup, settings),
        ScriptText(m_texts),
        m_settings(settings),
        m_hooks(hooks),
        m_rom(hooks.Rom),
        m_span(settings.EndOffset - settings.StartOffset),
        m_indicator(IndicatorByte(settings.Indicator)) {
    if (settings.StartOffset < 0 || m_span < 1) {
      throw std::invalid_argument("the range must start at 0 or later and end after its start");
    }
  }

  RunResult Run() {
    try {
      if (m_settings.Mode == RunMode::kFree) {
        FreeMode();
      } else {
        BlockMode();
      }
    } catch (...) {
      ReportProgress();
      throw;
    }
    ReportProgress();
    return {ScriptCount, m_stopped};
  }

 private:
  bool StopTest() const { return m_hooks.StopRequested.load(std::memory_order_relaxed); }
  bool InRom(std::int64_t pos) const { return pos < m_rom.Size(); }

  void FreeMode() {
    ScanPos = m_settings.StartOffset;
    while (ScanPos <= m_settings.EndOffset && InRom(ScanPos)) {
      if (PlainSingles(m_settings.EndOffset, -1) == Step::kStopped) {
        m_stopped = true;
        break;
      }
      if (ScanPos > m_settings.EndOffset || !InRom(ScanPos)) break;
      ServicePoint();
      m_shownPos = ScanPos;
      if (StopTest() || DecodePosition<false>() == Step::kStopped) {
        m_stopped = true;
        break;
      }
    }
    if (!ScriptText.empty()) Write();
  }

  void BlockMode() {
    ScanPos = m_settings.StartOffset;
    while (ScanPos <= m_settings.EndOffset && InRom(ScanPos)) {
      ServicePoint();
      if (StopTest()) {
        m_stopped = true;
        return;
      }
      m_shownPos = ScanPos;
      const bool indicator = m_rom.At(ScanPos)[0] == m_indicator;
      ++ScanPos;
      if (!indicator) continue;
      InBlock = true;
      ScriptName = std::to_string(ScanPos);
      while (InBlock) {
        if (!InRom(ScanPos)) {
          // The block runs into the end of the file: what it holds is kept.
          if (!ScriptText.empty()) Write();
          return;
        }
        Step step = PlainSingles(std::numeric_limits<std::int64_t>::max(), m_indicator);
        if (step != Step::kStopped && InRom(ScanPos)) {
          ServicePoint();
          m_shownPos = ScanPos;
          step = StopTest() ? Step::kStopped : DecodePosition<true>();
        }
        if (step == Step::kStopped) {
          ScriptText.clear();  // the block under way is dropped
          m_stopped = true;
          return;
        }
        if (step == Step::kEndEntry) InBlock = false;
      }
    }
  }

  // Decodes the positions that the loops would decode plainly, while a
  // script is open and no servicing is due: a two-byte entry that begins no
  // three-byte one, or a byte that begins no multi-byte entry and has an
  // ordinary text, a line break or no entry; short texts only. Each position
  // goes through the same stop tests as DecodePosition. Returns at the first
  // position that needs more, without touching it, or at a stop.
  Step PlainSingles(std::int64_t last, int indicator) {
    if (!ScriptOpen || m_countdown <= 1) return Step::kDecoded;
    std::int64_t pos = ScanPos;
    const std::uint8_t* bytes = m_rom.At(pos);
    // Two bytes must be at hand for the pair test.
    const std::int64_t end = std::min(last, pos + m_rom.HeldFrom(pos) - 2);
    // Everything the loop needs, in locals: the text it writes could alias
    // members as far as the compiler knows.
    char* const out = ScriptText.Data();
    std::size_t length = ScriptText.size();
    int countdown = m_countdown;
    std::int64_t shown = m_shownPos;
    const std::atomic<bool>& stop = m_hooks.StopRequested;
    const TableLookup::PairView pairs = m_lookup.Pairs();
    const SingleAction* const singles = &m_texts.Single(0);
    const Item* const doubles = m_texts.DoubleData();
    Step step = Step::kDecoded;
    while (pos <= end && countdown > 1) {
      const std::uint8_t byte = bytes[0];
      const std::uint32_t pair = pairs(byte, bytes[1]);
      const Item* item;
      int width = 1;
      // A possible three-byte entry, which needs a third byte at hand, goes
      // the long way.
      if ((pair & TableLookup::kTriplePrefix) &&
          (pos == end || TableLookup::MayBeTriple(pair, bytes[2])))
        break;
      if (pair & TableLookup::kRowMask) {
        item = &doubles[(pair & TableLookup::kRowMask) - 1u];
        width = 2;
      } else {
        if (byte == indicator) break;
        const SingleAction& action = singles[byte];
        if (action.Kind != SingleAction::kAppend) break;
        item = &action.Text;
      }
      if (item->Length > kInline || length + item->Length > kMaxScriptText) break;
      --countdown;
      shown = pos;
      // The stop tests of the loop, after the three-byte search and, for a
      // single byte, after the two-byte search.
      if (stop.load(std::memory_order_relaxed) || stop.load(std::memory_order_relaxed) ||
          (width == 1 && stop.load(std::memory_order_relaxed))) {
        step = Step::kStopped;
        break;
      }
      std::memcpy(out + length, item->Bytes, kInline);
      length += item->Length;
      pos += width;
      bytes += width;
    }
    ScanPos = pos;
    ScriptText.SetSize(length);
    m_countdown = countdown;
    m_shownPos = shown;
    return step;
  }

  template <bool kBlockMode>
  Step DecodePosition() {
    const std::int64_t available = m_rom.Size() - ScanPos;
    const std::uint8_t* bytes = m_rom.At(ScanPos);
    const std::uint32_t pair = available >= 2 ? m_lookup.Pair(bytes[0], bytes[1]) : 0;
    if (available >= 3 && TableLookup::MayBeTriple(pair, bytes[2])) {
      const int row = m_lookup.TripleRow(bytes[0], bytes[1], bytes[2]);
      if (row >= 0) {
        AppendItem(m_texts.Triple(static_cast<std::size_t>(row)), 3);
        return Step::kDecoded;
      }
    }
    if (StopTest()) return Step::kStopped;
    if (pair & TableLookup::kRowMask) {
      AppendItem(m_texts.Double((pair & TableLookup::kRowMask) - 1u), 2);
      return Step::kDecoded;
    }
    if (StopTest()) return Step::kStopped;

    const std::uint8_t byte = bytes[0];
    Step step = Step::kDecoded;
    if (kBlockMode && byte == m_indicator) {
      // A repeated indicator starts the block's text afresh after it.
      ScriptText.clear();
      ScriptName = std::to_string(ScanPos + 1);
    } else {
      OpenScript();
      const SingleAction& action = m_texts.Single(byte);
      if (action.Kind == SingleAction::kAppend) {
        ScriptText.Append(action.Text);
      } else if (action.Kind == SingleAction::kEnd) {
        EndScript("END");
        step = Step::kEndEntry;
      } else {
        EndScript("WAIT");
      }
    }
    ++ScanPos;
    LengthLimit();
    return step;
  }

  void AppendItem(const Item& item, int length) {
    OpenScript();
    ScriptText.Append(item);
    ScanPos += length;
    LengthLimit();
  }

  void OpenScript() {
    if (ScriptOpen) return;
    ScriptOpen = true;
    ScriptName = std::to_string(ScanPos);
  }

  void EndScript(std::string_view word) {
    if (!ScriptText.empty()) {
      ScriptText.Append(m_settings.LeftBracket);
      ScriptText.Append(word);
      ScriptText.Append(m_settings.RightBracket);
      Write();
    }
    ScriptText.clear();
    ScriptOpen = false;
  }

  // A script that grows past the limit is written as it stands, so that no
  // text is lost and memory stays bounded; the next item opens a new script.
  void LengthLimit() {
    if (ScriptText.size() <= kMaxScriptText) return;
    Write();
    ScriptText.clear();
    ScriptOpen = false;
  }

  void Write() {
    m_hooks.Scripts.WriteScript(ScriptName, ScriptText.View());
    ++ScriptCount;
    m_countdown = 1;  // let events through soon after slow file work
  }

  void ServicePoint() {
    if (--m_countdown > 0) return;
    m_countdown = kServiceInterval;
    ReportProgress();
    m_hooks.Host.ServiceEvents();
  }

  void ReportProgress() {
    if (m_shownPos < 0 || m_shownPos == m_reportedPos) return;
    m_reportedPos = m_shownPos;
    m_hooks.Host.ShowProgress(ProgressText(m_shownPos - m_settings.StartOffset, m_span));
  }

  TableLookup m_lookup;
  DecodeTexts m_texts;

  // Run state.
  std::int64_t ScanPos = 0;
  ScriptBuffer ScriptText;
  bool ScriptOpen = false;
  std::string ScriptName;
  std::int64_t ScriptCount = 0;
  bool InBlock = false;

  const RunSettings& m_settings;
  RunHooks& m_hooks;
  RomReader m_rom;
  const std::int64_t m_span;
  const int m_indicator;
  bool m_stopped = false;
  int m_countdown = 1;
  std::int64_t m_shownPos = -1;     // last position whose progress is due
  std::int64_t m_reportedPos = -1;  // last position whose progress was shown
};

}  // namespace

std::string ProgressText(std::int64_t n, std::int64_t span) {
  // The default rounding mode sends halves to the even neighbour.
  const double quotient = static_cast<double>(n * 100) / static_cast<double>(span);
  const auto percent = static_cast<std::int64_t>(std::nearbyint(quotient));
  return std::to_string(n) + " (" + std::to_string(percent) + "%)";
}

int IndicatorByte(const std::string& indicator) {
  if (indicator.size() != 2) return -1;
  const int high = HexDigitValue(indicator[0]);
  const int low = HexDigitValue(indicator[1]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

RunResult RunFreeMode(const Table& table, const RunSettings& settings, RunHooks& hooks) {
  RunSettings freeSettings = settings;
  freeSettings.Mode = RunMode::kFree;
  return Extraction(table, freeSettings, hooks).Run();
}

RunResult RunBlockMode(const Table& table, const RunSettings& settings, RunHooks& hooks) {
  RunSettings blockSettings = settings;
  blockSettings.Mode = RunMode::kBlock;
  return Extraction(table, blockSettings, hooks).Run();
}

RunResult RunExtraction(const Table& table, const RunSettings& settings, RunHooks& hooks) {
  return Extraction(table, settings, hooks).Run();
}

}  // namespace romscriber
