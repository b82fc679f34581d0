#include "extract/engine.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

#include "hex/hex.h"

namespace romscriber {

namespace {

// Positions examined between two calls of the event servicing.
constexpr int kServiceInterval = 4096;
// ROM bytes held at a time when the source is a file.
constexpr std::size_t kChunkSize = 1 << 16;

// The ROM's bytes for the decoder: the source's own memory when it holds the
// image, else chunks read one at a time, so that memory does not grow with
// the ROM and there is one read per chunk rather than one per position.
class RomReader {
 public:
  RomReader(ByteSource& source, std::size_t lookahead)
      : m_source(source), m_size(source.Size()), m_lookahead(static_cast<std::int64_t>(lookahead)) {
    const std::span<const std::uint8_t> whole = source.Whole();
    if (!whole.empty() && static_cast<std::int64_t>(whole.size()) == m_size) {
      m_data = whole.data();
      m_start = 0;
      m_length = m_size;
    } else {
      m_buffer.resize(std::max<std::size_t>(kChunkSize, 2 * lookahead));
    }
  }

  std::int64_t Size() const { return m_size; }
  // One past the last byte held.
  std::int64_t HeldEnd() const { return m_start + m_length; }

  // The bytes at `pos` (< Size()); at least min(lookahead, Size() - pos) of
  // them are valid.
  const std::uint8_t* At(std::int64_t pos) {
    if (pos < m_start || pos + std::min(m_lookahead, m_size - pos) > m_start + m_length) Fill(pos);
    return m_data + (pos - m_start);
  }

 private:
  void Fill(std::int64_t pos) {
    const auto length =
        static_cast<std::size_t>(std::min<std::int64_t>(m_buffer.size(), m_size - pos));
    m_source.ReadAt(pos, std::span<std::uint8_t>(m_buffer.data(), length));
    m_data = m_buffer.data();
    m_start = pos;
    m_length = static_cast<std::int64_t>(length);
  }

  ByteSource& m_source;
  std::int64_t m_size;
  std::int64_t m_lookahead;
  std::vector<std::uint8_t> m_buffer;
  const std::uint8_t* m_data = nullptr;
  std::int64_t m_start = 0;
  std::int64_t m_length = 0;
};

// A ROM in memory that the caller owns, read in place.
class SpanSource : public ByteSource {
 public:
  explicit SpanSource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
  std::int64_t Size() const override { return static_cast<std::int64_t>(m_bytes.size()); }
  void ReadAt(std::int64_t offset, std::span<std::uint8_t> out) override {
    std::memcpy(out.data(), m_bytes.data() + offset, out.size());
  }
  std::span<const std::uint8_t> Whole() const override { return m_bytes; }

 private:
  std::span<const std::uint8_t> m_bytes;
};

// Why the decode loop handed control back to its driver.
enum class Event {
  kMore,       // the loop's own: the bytes at hand are used up
  kLast,       // the next position is past the last one, or past the file
  kService,    // events are due before the next position
  kStop,       // a stop was requested before the next position
  kEnd,        // an end entry was read (LastItem)
  kPause,      // a classic pause entry was read (LastItem)
  kIndicator,  // block mode's indicator byte was read
  kFull,       // the text passed its limit
};

// Where the decode loop may go.
struct Reach {
  std::int64_t Last;      // last position that may begin an item
  std::int64_t Bound;     // no byte at or past it is read
  int Indicator;          // block mode's indicator byte, or -1
  std::size_t MaxText;    // kFull once the text is longer
  bool Service;           // count positions towards event servicing
};

// The decoder: the state of a decode and the one loop that decodes items.
class Decoder {
 public:
  // Bytes one item may read from its position: its key and its parameters,
  // and at least eight, which the lookup reads at once whenever the bytes it
  // is told it may read are that many.
  static std::size_t Lookahead(const CompiledTable& table) {
    return std::max<std::size_t>(table.LongestKey(), 8) + table.MostParams();
  }

  Decoder(const CompiledTable& table, ByteSource& source)
      : m_table(table),
        m_rom(source, Lookahead(table)),
        m_lookahead(static_cast<std::int64_t>(Lookahead(table))) {}

  std::int64_t Size() const { return m_rom.Size(); }
  std::uint8_t ByteAt(std::int64_t pos) { return m_rom.At(pos)[0]; }

  // Decodes items from Pos until an event. At each position, in this order:
  // the reach, the event servicing (unless `ticked`: the driver has just done
  // it for this position), the progress mark, the stop test; then the
  // longest key that matches wins, a byte that begins none shows raw, and
  // with an indicator that byte ranks after keys of two or more bytes and
  // before one-byte keys. Text items are appended; the others are events.
  //
  // The state lives in locals while the loop runs: the text written through
  // `w` could alias the members as far as the compiler knows. The loop walks
  // a pointer over the bytes at hand (those whose lookahead is held) and
  // counts positions only when it leaves them or stops.
  Event Run(const Reach& reach, const std::atomic<bool>& stop, bool ticked) {
    const std::int64_t size = m_rom.Size();
    const std::int64_t last = std::min(reach.Last, size - 1);
    const std::int64_t bound = std::min(reach.Bound, size);
    const int indicator = reach.Indicator;
    // Room for the longest item past the limit, so no append needs a check.
    const std::size_t needed = reach.MaxText + m_table.LongestItem() + 2 * kShownSlack;
    if (m_text.size() < needed) m_text.resize(needed);
    char* w = m_text.data() + m_length;
    char* const full = m_text.data() + reach.MaxText;  // a text past it is full
    // Events fall due when the countdown reaches 1. Just after servicing,
    // the first position does not count; without servicing nothing does.
    constexpr int kNever = std::numeric_limits<int>::max();
    int countdown = reach.Service ? Countdown + (ticked ? 1 : 0) : kNever;
    const int initial = countdown;
    std::int64_t pos = Pos;
    // The script under way begins at the first position examined.
    if (!Open) {
      Open = true;
      Start = pos;
    }
    const CompiledTable::Matcher match = m_table.Lookup();
    const char* const texts = m_table.Data();

    Event event = Event::kMore;
    while (event == Event::kMore) {
      if (pos > last) {
        event = Event::kLast;
        break;
      }
      const std::uint8_t* const base = m_rom.At(pos);
      // Positions up to `end` have their lookahead at hand.
      const std::int64_t end =
          std::min(last, m_rom.HeldEnd() >= size ? size : m_rom.HeldEnd() - m_lookahead);
      const std::uint8_t* const pEnd = base + (end - pos);
      const std::int64_t reachable = bound - pos;  // bytes that may be read from base
      const std::uint8_t* p = base;
      const std::uint8_t* examined = nullptr;
      while (p <= pEnd) {
        if (countdown <= 1) [[unlikely]] {
          if (reach.Service) {
            event = Event::kService;
            break;
          }
          countdown = kNever;  // without servicing the countdown only runs down
        }
        --countdown;
        examined = p;
        if (stop.load(std::memory_order_relaxed)) {
          event = Event::kStop;
          break;
        }
        const LookupItem* item = match(p, static_cast<std::size_t>(reachable - (p - base)));
        if (p[0] == indicator && item->KeySize == 1) {
          ++p;
          event = Event::kIndicator;
          break;
        }
        const std::uint8_t* const at = p;
        p += item->KeySize;
        if (item->Kind > TokenKind::kRaw) [[unlikely]] {
          if (item->Kind != TokenKind::kControl) {
            LastItem = item;
            event = item->Kind == TokenKind::kEnd ? Event::kEnd : Event::kPause;
            break;
          }
          w = Append(w, *item, texts);
          // Parameter bytes count even past the last position, never past
          // the bound: those that exist are shown.
          const std::int64_t taken =
              std::min<std::int64_t>(item->Params, reachable - (p - base));
          for (std::int64_t i = 0; i < taken; ++i)
            w = Append(w, m_table.RawItem(at[item->KeySize + i]), texts);
          p += taken;
        } else {
          w = Append(w, *item, texts);
        }
        if (w > full) {
          event = Event::kFull;
          break;
        }
      }
      if (examined) Examined = pos + (examined - base);
      pos += p - base;
    }
    Pos = pos;
    // A first position that did not count and was never reached leaves the
    // countdown as it was.
    if (reach.Service) Countdown = ticked && countdown == initial ? countdown - 1 : countdown;
    m_length = static_cast<std::size_t>(w - m_text.data());
    return event;
  }

  // Appends what `item` shows at `w`. Items hold short texts: those are one
  // fixed-size copy (the text buffer has room past the longest item); longer
  // ones are copied from the table's buffer.
  static char* Append(char* w, const LookupItem& item, const char* texts) {
    const std::size_t size = item.ShownSize;
    if (size <= LookupItem::kInline) {
      static_assert(offsetof(LookupItem, Text) == 0 && sizeof(LookupItem) >= 16);
      std::memcpy(w, &item, 16);
    } else {
      std::memcpy(w, texts + item.ShownAt, size);
    }
    return w + size;
  }

  void Append(std::string_view text) {
    if (m_length + text.size() + kShownSlack > m_text.size())
      m_text.resize(2 * (m_length + text.size() + kShownSlack));
    std::memcpy(m_text.data() + m_length, text.data(), text.size());
    m_length += text.size();
  }

  std::string_view Text() const { return {m_text.data(), m_length}; }
  // What the last end or pause entry shows.
  std::string_view LastShown() const {
    return {m_table.Data() + LastItem->ShownAt, LastItem->ShownSize};
  }
  std::size_t TextSize() const { return m_length; }
  void ClearText() { m_length = 0; }

  std::int64_t Pos = 0;         // next position to decode
  std::int64_t Examined = -1;   // last position examined, for progress
  int Countdown = 1;            // positions until events are due
  bool Open = false;            // a script is under way
  std::int64_t Start = 0;       // where it began: its name
  const LookupItem* LastItem = nullptr;

 private:
  const CompiledTable& m_table;
  RomReader m_rom;
  std::int64_t m_lookahead;
  std::vector<char> m_text;
  std::size_t m_length = 0;
};

// A range run: drives the decoder over the range in free or block mode and
// writes the scripts through the hooks.
class Extraction {
 public:
  Extraction(const CompiledTable& table, const RunSettings& settings, RunHooks& hooks)
      : m_decoder(table, hooks.Rom),
        m_settings(settings),
        m_hooks(hooks),
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
    return {m_scriptCount, m_stopped};
  }

 private:
  void FreeMode() {
    Decoder& d = m_decoder;
    d.Pos = m_settings.StartOffset;
    const Reach reach{m_settings.EndOffset, d.Size(), -1, kMaxScriptText, true};
    bool ticked = false;
    for (;;) {
      const Event event = d.Run(reach, m_hooks.StopRequested, ticked);
      ticked = false;
      if (event == Event::kLast) break;
      if (event == Event::kStop) {
        m_stopped = true;
        break;
      }
      if (event == Event::kService) {
        Service();
        ticked = true;
        continue;
      }
      Handle(event);
    }
    if (d.TextSize() > 0) Write();
  }

  void BlockMode() {
    Decoder& d = m_decoder;
    const std::int64_t size = d.Size();
    const std::int64_t noEnd = std::numeric_limits<std::int64_t>::max();
    const Reach reach{noEnd, noEnd, m_indicator, kMaxScriptText, true};
    d.Pos = m_settings.StartOffset;
    // Looking for the indicator is not decoding: each position is one byte.
    while (d.Pos <= m_settings.EndOffset && d.Pos < size) {
      if (--d.Countdown <= 0) Service();
      if (m_hooks.StopRequested.load(std::memory_order_relaxed)) {
        m_stopped = true;
        return;
      }
      d.Examined = d.Pos;
      const bool indicator = d.ByteAt(d.Pos) == m_indicator;
      ++d.Pos;
      if (!indicator) continue;
      m_inBlock = true;
      d.Open = false;
      d.Start = d.Pos;
      bool ticked = false;
      while (m_inBlock) {
        const Event event = d.Run(reach, m_hooks.StopRequested, ticked);
        ticked = false;
        if (event == Event::kLast) {
          // The block runs into the end of the file: what it holds is kept.
          if (d.TextSize() > 0) Write();
          return;
        }
        if (event == Event::kStop) {
          d.ClearText();  // the block under way is dropped
          m_stopped = true;
          return;
        }
        if (event == Event::kService) {
          Service();
          ticked = true;
          continue;
        }
        Handle(event);
      }
    }
  }

  // What an event of the decoder does to the script.
  void Handle(Event event) {
    Decoder& d = m_decoder;
    switch (event) {
      case Event::kIndicator:
        // A repeated indicator starts the block's text afresh after it.
        d.ClearText();
        d.Start = d.Pos;
        break;
      case Event::kEnd:
        EndScript();
        m_inBlock = false;
        break;
      case Event::kPause:
        EndScript();
        break;
      case Event::kFull:
        // A script that grows past the limit is written as it stands, so
        // that no text is lost and memory stays bounded; the next item
        // opens a new one.
        Write();
        d.ClearText();
        d.Open = false;
        break;
      default:
        break;
    }
  }

  // An end or pause entry: its text closes the script, unless the script is
  // empty, which makes no file.
  void EndScript() {
    Decoder& d = m_decoder;
    if (d.TextSize() > 0) {
      d.Append(d.LastShown());
      Write();
    }
    d.ClearText();
    d.Open = false;
  }

  void Write() {
    m_hooks.Scripts.WriteScript(std::to_string(m_decoder.Start), m_decoder.Text());
    ++m_scriptCount;
    m_decoder.Countdown = 1;  // let events through soon after slow file work
  }

  void Service() {
    m_decoder.Countdown = kServiceInterval;
    ReportProgress();
    m_hooks.Host.ServiceEvents();
  }

  void ReportProgress() {
    const std::int64_t shown = m_decoder.Examined;
    if (shown < 0 || shown == m_reportedPos) return;
    m_reportedPos = shown;
    m_hooks.Host.ShowProgress(ProgressText(shown - m_settings.StartOffset, m_span));
  }

  Decoder m_decoder;
  const RunSettings& m_settings;
  RunHooks& m_hooks;
  const std::int64_t m_span;
  const int m_indicator;

  std::int64_t m_scriptCount = 0;
  bool m_inBlock = false;
  bool m_stopped = false;
  std::int64_t m_reportedPos = -1;  // last position whose progress was shown
};

}  // namespace

DecodeStyle ClassicRunStyle(const RunSettings& settings) {
  DecodeStyle style;
  style.RawLeft = settings.LeftBracket;
  style.RawRight = settings.RightBracket;
  style.LineBreak = "\r\n";
  style.ClassicMarkers = true;
  return style;
}

RunResult RunCompiled(const CompiledTable& table, const RunSettings& settings, RunHooks& hooks) {
  return Extraction(table, settings, hooks).Run();
}

RunResult RunExtraction(const Table& table, const RunSettings& settings, RunHooks& hooks) {
  const CompiledTable compiled = CompiledTable::FromClassic(table, ClassicRunStyle(settings));
  return RunCompiled(compiled, settings, hooks);
}

DecodedString DecodeString(const CompiledTable& table, std::span<const std::uint8_t> rom,
                           std::int64_t offset, const StringLimits& limits) {
  static const std::atomic<bool> kNeverStop{false};
  SpanSource source(rom);
  Decoder d(table, source);
  // The text has no limit here: each kFull just lets the buffer grow, from a
  // size that most strings fit, so that short strings cost little memory.
  const Reach reach{std::min(limits.Last, limits.Bound - 1), limits.Bound, -1, 256, false};
  DecodedString out;
  d.Pos = offset;
  for (;;) {
    Reach grown = reach;
    grown.MaxText = std::max(reach.MaxText, 2 * d.TextSize());
    const Event event = d.Run(grown, kNeverStop, false);
    if (event == Event::kFull) continue;
    if (event != Event::kEnd && event != Event::kPause) break;
    // End tokens, and classic pauses, show their text here.
    d.Append(d.LastShown());
    if (event == Event::kEnd && limits.EndTokensStop) {
      out.Ended = true;
      out.End = table.EntryOf(*d.LastItem);
      out.OnlyEnd = d.Pos - static_cast<std::int64_t>(d.LastItem->KeySize) == offset;
      break;
    }
  }
  out.Text = std::string(d.Text());
  out.Length = d.Pos - offset;
  return out;
}

std::string ProgressText(std::int64_t n, std::int64_t span) {
  // The default rounding mode sends halves to the even neighbour.
  const double quotient = static_cast<double>(n * 100) / static_cast<double>(span);
  const auto percent = static_cast<std::int64_t>(std::nearbyint(quotient));
  return std::to_string(n) + " (" + std::to_string(percent) + "%)";
}

int IndicatorByte(const std::string& indicator) {
  return indicator.size() == 2 ? HexByteAt(indicator, 0) : -1;
}

}  // namespace romscriber
