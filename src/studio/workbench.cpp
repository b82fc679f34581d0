#include "studio/workbench.h"

#include <algorithm>

namespace romscriber::studio {

Workbench::Workbench(std::unique_ptr<Session> session)
    : m_session(std::move(session)), m_measurer(*m_session) {
  Remeasure();
}

void Workbench::Remeasure() {
  const std::size_t blocks = BlockCount();
  m_measurer = Measurer(*m_session);
  m_standing.assign(blocks, {});
  m_fits.assign(blocks, {});
  m_totals.assign(blocks, {});
  for (std::size_t b = 0; b < blocks; ++b) {
    m_standing[b].resize(Block(b).Strings.size());
    for (std::size_t i = 0; i < m_standing[b].size(); ++i)
      Measure(b, i);
    Refit(b);
    for (std::size_t i = 0; i < m_standing[b].size(); ++i)
      m_standing[b][i].Is = Judge(b, i, m_fits[b][i]);
    Count(b);
  }
}

void Workbench::Measure(std::size_t b, std::size_t i) {
  const Measurement m = m_measurer.Measure(b, i, String(b, i).Translation);
  Standing& s = m_standing[b][i];
  s.Bytes = m.Bytes;
  s.Failure = m.Failure;
  s.Widths = m.LineWidths;
}

State Workbench::Judge(std::size_t b, std::size_t i, bool fits) const {
  const StringRecord& r = String(b, i);
  const Standing& s = m_standing[b][i];
  const ProjectBlock& settings = *Block(b).Settings;
  if (s.Failure) return State::kCannotEncode;
  if (!fits) return State::kNoRoom;
  // Line limits judge translations; an original is as the game has it.
  if (!r.Translation.empty()) {
    if (settings.LineLimit &&
        std::any_of(s.Widths.begin(), s.Widths.end(), [&](int w) { return w > *settings.LineLimit; }))
      return State::kLongLine;
    if (settings.MaxLines && static_cast<int>(s.Widths.size()) > *settings.MaxLines)
      return State::kTooManyLines;
  }
  if (r.Fuzzy) return State::kFuzzy;
  return r.Translation.empty() ? State::kUntranslated : State::kTranslated;
}

std::vector<std::size_t> Workbench::Refit(std::size_t b) {
  const BlockFit fit = m_measurer.Fit(b);
  std::vector<std::size_t> changed;
  std::vector<bool>& fits = m_fits[b];
  if (fits.size() != fit.Fits.size()) {
    fits.assign(fit.Fits.size(), true);
    for (std::size_t i = 0; i < fits.size(); ++i)
      if (!fit.Fits[i]) changed.push_back(i);
  } else {
    for (std::size_t i = 0; i < fits.size(); ++i)
      if (fits[i] != fit.Fits[i]) changed.push_back(i);
  }
  fits = fit.Fits;
  m_totals[b].Used = fit.Used;
  m_totals[b].Available = fit.Available;
  return changed;
}

void Workbench::Count(std::size_t b) {
  BlockTotals& t = m_totals[b];
  t.Strings = static_cast<std::int64_t>(m_standing[b].size());
  t.Translated = 0;
  t.Problems = 0;
  for (std::size_t i = 0; i < m_standing[b].size(); ++i) {
    t.Translated += !String(b, i).Translation.empty();
    t.Problems += IsProblem(m_standing[b][i].Is);
  }
}

std::vector<std::size_t> Workbench::SetTranslation(std::size_t b, std::size_t i,
                                                   const std::string& text,
                                                   std::optional<bool> fuzzy) {
  StringRecord& r = m_session->Blocks()[b].Strings[i];
  r.Translation = text;
  if (fuzzy) r.Fuzzy = *fuzzy;
  Measure(b, i);
  std::vector<std::size_t> changed = Refit(b);
  changed.push_back(i);
  std::sort(changed.begin(), changed.end());
  changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
  std::vector<std::size_t> rows;
  for (const std::size_t k : changed) {
    const State was = m_standing[b][k].Is;
    m_standing[b][k].Is = Judge(b, k, m_fits[b][k]);
    if (k == i || was != m_standing[b][k].Is) rows.push_back(k);
  }
  Count(b);
  return rows;
}

}  // namespace romscriber::studio

