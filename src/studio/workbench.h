// What the studio knows of a project as the translator works on it: the
// session (the strings and their translations), how each string stands
// (its state, its bytes as inserted, its lines' widths) and how each block
// fits, kept up to date one edit at a time. Standard C++: the window shows
// it, the tests and the bench drive it directly.
//
//   State          sin traducir, traducido, dudoso, and the problems
//   Standing       how one string stands
//   Workbench      the session, its measurer and every string's standing;
//                  SetTranslation changes one text and says which rows of
//                  its block changed
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "session/session.h"

namespace romscriber::studio {

enum class State : std::uint8_t {
  kUntranslated,
  kTranslated,
  kFuzzy,
  // The problems, most urgent first.
  kCannotEncode,  // a character no entry gives
  kNoRoom,        // the block does not fit, and this string has no place
  kLongLine,      // a line wider than the block's line_limit
  kTooManyLines,  // more lines than the block's max_lines
};

inline bool IsProblem(State s) {
  return s >= State::kCannotEncode;
}

struct Standing {
  State Is = State::kUntranslated;
  std::int64_t Bytes = 0;  // as inserted, with the end token an insertion appends
  std::optional<EncodeFailure> Failure;
  std::vector<int> Widths;  // each line's width
};

struct BlockTotals {
  std::int64_t Strings = 0;
  std::int64_t Translated = 0;  // with a translation
  std::int64_t Problems = 0;
  std::int64_t Used = 0;       // bytes, as an insertion reports them
  std::int64_t Available = 0;  // likewise
};

class Workbench {
 public:
  // Measures every string of the session.
  explicit Workbench(std::unique_ptr<Session> session);

  Session& GetSession() { return *m_session; }
  const Session& GetSession() const { return *m_session; }
  Measurer& GetMeasurer() { return m_measurer; }
  std::size_t BlockCount() const { return m_session->Blocks().size(); }
  const SessionBlock& Block(std::size_t b) const { return m_session->Blocks()[b]; }
  const StringRecord& String(std::size_t b, std::size_t i) const { return Block(b).Strings[i]; }
  const Standing& StandingOf(std::size_t b, std::size_t i) const { return m_standing[b][i]; }
  const BlockTotals& Totals(std::size_t b) const { return m_totals[b]; }

  // Gives string `i` of block `b` the translation `text` and, when `fuzzy`
  // is given, that mark. The rows of the block whose standing changed, in
  // ascending order (the string itself first when it changed).
  std::vector<std::size_t> SetTranslation(std::size_t b, std::size_t i, const std::string& text,
                                           std::optional<bool> fuzzy = std::nullopt);

  // Measures every string again (after the translations were replaced).
  void Remeasure();

 private:
  void Measure(std::size_t b, std::size_t i);
  State Judge(std::size_t b, std::size_t i, bool fits) const;
  // The block's fit again: the rows whose room changed.
  std::vector<std::size_t> Refit(std::size_t b);
  void Count(std::size_t b);

  std::unique_ptr<Session> m_session;
  Measurer m_measurer;
  std::vector<std::vector<Standing>> m_standing;
  std::vector<std::vector<bool>> m_fits;
  std::vector<BlockTotals> m_totals;
};

}  // namespace romscriber::studio
