// Re-dumps into a folder that holds translations: refused without --update;
// with it, every translation of a string still there is kept (marked where
// its original changed), those of strings gone are kept in <block>.lost.tsv,
// and nothing else changes. Generated projects in each format, changed
// between the dumps: strings removed and added, a table entry and some bytes
// changed.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <sstream>

#include "base/file_io.h"
#include "dump/dump.h"
#include "extract/temp_folder.h"
#include "scripts/format.h"
#include "scripts/tsv.h"
#include "session/session.h"

namespace romscriber::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kLetters[] = "ABCDEFGH";

struct Version {
  std::string Rom;
  std::string Table;
  std::string Project;
};

// A 2-byte pointer table at 0 (linear, little-endian) to strings of letters
// from 0x100 on.
Version MakeVersion(const std::vector<std::string>& strings, bool lowerD) {
  Version v;
  v.Rom.assign(0x2000, '\xEE');
  std::int64_t at = 0x100;
  for (std::size_t i = 0; i < strings.size(); ++i) {
    v.Rom[2 * i] = static_cast<char>(at & 0xFF);
    v.Rom[2 * i + 1] = static_cast<char>(at >> 8);
    v.Rom.replace(static_cast<std::size_t>(at), strings[i].size(), strings[i]);
    at += static_cast<std::int64_t>(strings[i].size()) + 1;
    v.Rom[static_cast<std::size_t>(at - 1)] = '\0';
  }
  v.Table = "/00=<fin>\n20= \n";
  for (const char* c = kLetters; *c; ++c)
    v.Table += std::string(1, "0123456789ABCDEF"[*c >> 4]) + "0123456789ABCDEF"[*c & 15] + "=" +
               (lowerD && *c == 'D' ? std::string("d") : std::string(1, *c)) + "\n";
  v.Project = "rom = 'g.rom'\n[[table]]\nname = 't'\nfile = 't.tbl'\n[[block]]\nname = 'b'\n"
              "table = 't'\npointers = { offset = 0, count = " +
              std::to_string(strings.size()) + ", size = 2 }\n";
  return v;
}

void Install(const fs::path& folder, const Version& v) {
  WriteBytes(folder / "g.rom", v.Rom);
  WriteBytes(folder / "t.tbl", v.Table);
  WriteBytes(folder / "p.toml", v.Project);
}

int Dump(const fs::path& folder, ScriptFormat format, bool update, std::string* err = nullptr) {
  ProjectDumpOptions options;
  options.Project = folder / "p.toml";
  options.Out = folder / "s";
  options.Format = FormatName(format);
  options.Update = update;
  const std::atomic<bool> stop{false};
  std::ostringstream out, errors;
  const int code = RunProjectDump(options, stop, out, errors, false);
  if (err) *err = errors.str();
  return code;
}

std::string RandomLetters(std::mt19937& rng) {
  std::string s;
  for (int n = std::uniform_int_distribution<int>(1, 8)(rng); n > 0; --n)
    s += kLetters[std::uniform_int_distribution<int>(0, 7)(rng)];
  return s;
}

TEST(DumpUpdate, KeepsEveryTranslationMarksChangedOriginalsAndKeepsTheLostOnes) {
  std::mt19937 rng(29);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int lostRounds = 0, changedRounds = 0;
  for (int round = 0; round < 36; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const auto format = static_cast<ScriptFormat>(round % 3);
    TempFolder folder;
    std::vector<std::string> before(static_cast<std::size_t>(pick(4, 14)));
    for (std::string& s : before)
      s = RandomLetters(rng);
    Install(folder.Path(), MakeVersion(before, false));
    ASSERT_EQ(Dump(folder.Path(), format, false), 0);

    // Translations into some strings, written as the translator's scripts.
    Session old = Session::Open(folder.Path() / "p.toml", {});
    for (StringRecord& s : old.Blocks()[0].Strings)
      if (pick(0, 2) > 0) s.Translation = "T" + std::to_string(s.Id) + " " + RandomLetters(rng);
    for (const ScriptFile& f : old.ScriptFiles(format))
      WriteBytes(folder.Path() / "s" / f.Name, f.Text);
    WriteBytes(folder.Path() / "s" / "notas.txt", "mis notas");
    const std::string script = ReadWholeFile(folder.Path() / "s" / ("b" + std::string(FormatExtension(format))));

    // The game changes: strings removed, added and edited, and D now shows as d.
    std::vector<std::string> after;
    for (const std::string& s : before) {
      const int what = pick(0, 5);
      if (what == 0) continue;                          // gone
      if (what == 1) after.push_back(RandomLetters(rng));  // another text
      else after.push_back(s);
      if (pick(0, 4) == 0) after.push_back(RandomLetters(rng));  // a new one
    }
    if (after.empty()) after.push_back("A");
    const bool lowerD = round % 2 == 0;
    Install(folder.Path(), MakeVersion(after, lowerD));

    // Without --update: refused, nothing written.
    ASSERT_EQ(Dump(folder.Path(), format, false), 1);
    EXPECT_EQ(ReadWholeFile(folder.Path() / "s" / ("b" + std::string(FormatExtension(format)))), script);
    EXPECT_FALSE(fs::exists(folder.Path() / "s" / "b.lost.tsv"));

    std::string err;
    ASSERT_EQ(Dump(folder.Path(), format, true, &err), 0) << err;
    const Session now = Session::Open(folder.Path() / "p.toml", {});
    const BlockScript written = ReadScriptFile(
        folder.Path() / "s" / ("b" + std::string(FormatExtension(format))), "b");
    std::map<std::int64_t, const StringRecord*> oldAt;
    for (const StringRecord& s : old.Blocks()[0].Strings)
      oldAt[s.Offset] = &s;
    std::set<std::int64_t> present;
    std::vector<int> changed;
    ASSERT_EQ(written.Strings.size(), now.Blocks()[0].Strings.size());
    for (const StringRecord& s : written.Strings) {
      present.insert(s.Offset);
      const auto it = oldAt.find(s.Offset);
      const StringRecord* was = it == oldAt.end() ? nullptr : it->second;
      const std::string expected = was ? was->Translation : "";
      EXPECT_EQ(s.Translation, expected) << "string " << s.Id;
      const bool originalChanged = was && !was->Translation.empty() && was->Original != s.Original;
      if (originalChanged) changed.push_back(s.Id);
      if (format == ScriptFormat::kPo) {
        EXPECT_EQ(s.Fuzzy, originalChanged) << "string " << s.Id;
      }
    }
    if (!changed.empty()) {
      ++changedRounds;
      if (format != ScriptFormat::kPo) {
        std::string ids;
        for (int id : changed)
          ids += (ids.empty() ? "" : ", ") + std::to_string(id);
        EXPECT_NE(err.find("bloque b: el original ha cambiado en " +
                           std::string(changed.size() == 1 ? "el texto " : "los textos ") + ids),
                  std::string::npos)
            << err;
      }
    }
    // Translations of strings gone: in the lost file, each named in a warning.
    std::vector<const StringRecord*> lost;
    for (const StringRecord& s : old.Blocks()[0].Strings)
      if (!s.Translation.empty() && !present.count(s.Offset)) lost.push_back(&s);
    const fs::path lostFile = folder.Path() / "s" / "b.lost.tsv";
    ASSERT_EQ(fs::exists(lostFile), !lost.empty());
    if (!lost.empty()) {
      ++lostRounds;
      const BlockScript kept = ReadTsv(ReadWholeFile(lostFile), "b.lost.tsv", "b");
      ASSERT_EQ(kept.Strings.size(), lost.size());
      for (std::size_t i = 0; i < lost.size(); ++i) {
        EXPECT_EQ(kept.Strings[i].Id, lost[i]->Id);
        EXPECT_EQ(kept.Strings[i].Offset, lost[i]->Offset);
        EXPECT_EQ(kept.Strings[i].Original, lost[i]->Original);
        EXPECT_EQ(kept.Strings[i].Translation, lost[i]->Translation);
        EXPECT_NE(err.find("el texto " + std::to_string(lost[i]->Id) + " (en "), std::string::npos);
      }
    }
    EXPECT_EQ(ReadWholeFile(folder.Path() / "s" / "notas.txt"), "mis notas");
  }
  EXPECT_GT(lostRounds, 8);
  EXPECT_GT(changedRounds, 8);
}

TEST(DumpUpdate, LostTranslationsOfSeveralUpdatesAddUp) {
  TempFolder folder;
  Install(folder.Path(), MakeVersion({"AB", "CD", "EF"}, false));
  ASSERT_EQ(Dump(folder.Path(), ScriptFormat::kTsv, false), 0);
  for (const std::string drop : {"AB", "CD"}) {
    Session s = Session::Open(folder.Path() / "p.toml", {});
    for (StringRecord& r : s.Blocks()[0].Strings)
      r.Translation = "x" + r.Original;
    for (const ScriptFile& f : s.ScriptFiles(ScriptFormat::kTsv))
      WriteBytes(folder.Path() / "s" / f.Name, f.Text);
    std::vector<std::string> rest;
    for (const StringRecord& r : s.Blocks()[0].Strings)
      if (r.Original != std::string(drop) + "<fin>") rest.push_back(r.Original.substr(0, 2));
    // The first string is gone; the others move up a string's length.
    Install(folder.Path(), MakeVersion(rest, false));
    ASSERT_EQ(Dump(folder.Path(), ScriptFormat::kTsv, true), 0);
  }
  const BlockScript lost =
      ReadTsv(ReadWholeFile(folder.Path() / "s" / "b.lost.tsv"), "b.lost.tsv", "b");
  // By offset: the first update put AB's translation onto CD (now at 100)
  // and CD's onto EF, and lost EF's (at 106); the second lost EF's again,
  // now at 103. The first loss is still there.
  std::vector<std::pair<std::int64_t, std::string>> rows;
  for (const StringRecord& r : lost.Strings)
    rows.emplace_back(r.Offset, r.Translation);
  EXPECT_EQ(rows, (std::vector<std::pair<std::int64_t, std::string>>{{0x106, "xEF<fin>"},
                                                                     {0x103, "xEF<fin>"}}));
}

}  // namespace
}  // namespace romscriber::testing
