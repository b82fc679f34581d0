// The string model against the session's own insertion over random
// projects: rows, states and counts per block. A string's state must be
// what the inserter says of it (a text it refuses to encode, a string it
// has no room for, a line it warns of), and editing one string at a time
// must give what measuring everything afresh gives.
#include <QTest>
#include <random>
#include <set>

#include "base/file_io.h"
#include "extract/temp_folder.h"
#include "studio/models.h"
#include "studio/workbench.h"

namespace romscriber::studio::testing {

namespace fs = std::filesystem;

namespace {

constexpr char kLetters[] = "ABCDEFGH";

// A project with a pointer block "p" and a range block "r", each with its
// own line limits, and a free region of random size for "p".
fs::path MakeProject(const fs::path& folder, std::mt19937& rng) {
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::string rom(0x4000, '\xEE');
  const auto text = [&]() {
    std::string s;
    for (int n = pick(1, 9); n > 0; --n) {
      const int k = pick(0, 9);
      s += k == 0 ? std::string("\x0A") : k == 1 ? std::string("\xF0\x05", 2) : std::string(1, kLetters[pick(0, 7)]);
    }
    return s + std::string(1, '\0');
  };
  const int count = pick(3, 24);
  std::int64_t at = 0x100;
  for (int i = 0; i < count; ++i) {
    rom[static_cast<std::size_t>(2 * i)] = static_cast<char>(at & 0xFF);
    rom[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>(at >> 8);
    const std::string s = text();
    rom.replace(static_cast<std::size_t>(at), s.size(), s);
    at += static_cast<std::int64_t>(s.size());
  }
  std::int64_t rangeAt = 0x2000;
  for (int n = pick(2, 8); n > 0; --n) {
    const std::string s = text();
    rom.replace(static_cast<std::size_t>(rangeAt), s.size(), s);
    rangeAt += static_cast<std::int64_t>(s.size());
  }
  WriteFileWhole(folder / "g.rom", {rom});
  WriteFileWhole(folder / "t.tbl", {"41=A\n42=B\n43=C\n44=D\n45=E\n46=F\n47=G\n48=H\n20= \n*0A\n/00=<e>\n$F0=[c],1\n"});
  const auto limits = [&]() -> std::string {
    std::string s;
    if (pick(0, 1)) s += "line_limit = " + std::to_string(pick(3, 10)) + "\n";
    if (pick(0, 1)) s += "max_lines = " + std::to_string(pick(1, 3)) + "\n";
    return s;
  };
  const std::string project =
      "rom = 'g.rom'\n[[table]]\nname = 't'\nfile = 't.tbl'\n"
      "[[block]]\nname = 'p'\ntable = 't'\npointers = { offset = 0, count = " + std::to_string(count) +
      ", size = 2 }\nfree = [ { start = 0x3000, end = " + std::to_string(0x3000 + pick(0, 1) * pick(0, 600)) + " } ]\n" +
      limits() + "[[block]]\nname = 'r'\ntable = 't'\nrange = { start = 0x2000, end = " +
      std::to_string(rangeAt - 1) + " }\n" + limits();
  WriteFileWhole(folder / "p.toml", {project});
  return folder / "p.toml";
}

std::string RandomTranslation(std::mt19937& rng) {
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  if (pick(0, 2) == 0) return "";
  std::string s;
  for (int n = pick(1, 16); n > 0; --n) {
    const int k = pick(0, 12);
    s += k == 0 ? "\n" : k == 1 ? "[c]<$07>" : k == 2 && pick(0, 3) == 0 ? "☃" : std::string(1, kLetters[pick(0, 7)]);
  }
  return pick(0, 1) ? s + "<e>" : s;
}

}  // namespace

class StringModelTest : public QObject {
  Q_OBJECT

 private slots:
  void StatesAreWhatTheInserterSaysOfEachString() {
    std::mt19937 rng(31);
    int refusedEncoding = 0, refusedRoom = 0, warned = 0;
    for (int round = 0; round < 120; ++round) {
      const QString trace = QStringLiteral("round %1").arg(round);
      const romscriber::testing::TempFolder temp;  // removed however the round ends
      const fs::path& folder = temp.Path();
      auto session = std::make_unique<Session>(Session::Open(MakeProject(folder, rng), {}));
      // Edited one string at a time, as the translator types.
      Workbench bench(std::make_unique<Session>(*session));
      for (std::size_t b = 0; b < bench.BlockCount(); ++b)
        for (std::size_t i = 0; i < bench.Block(b).Strings.size(); ++i) {
          const std::string t = RandomTranslation(rng);
          if (!t.empty()) bench.SetTranslation(b, i, t);
        }
      // The same strings measured afresh give the same standing.
      const Workbench fresh(std::make_unique<Session>(bench.GetSession()));
      StringModel model;
      model.SetWorkbench(&bench);
      for (std::size_t b = 0; b < bench.BlockCount(); ++b) {
        model.SetBlock(static_cast<int>(b));
        QCOMPARE(model.rowCount(), static_cast<int>(bench.Block(b).Strings.size()));
        std::int64_t translated = 0;
        for (std::size_t i = 0; i < bench.Block(b).Strings.size(); ++i) {
          QVERIFY2(bench.StandingOf(b, i).Is == fresh.StandingOf(b, i).Is, qPrintable(trace));
          QCOMPARE(bench.StandingOf(b, i).Bytes, fresh.StandingOf(b, i).Bytes);
          QCOMPARE(model.data(model.index(static_cast<int>(i), 0), StringModel::kStateRole).toInt(),
                   static_cast<int>(bench.StandingOf(b, i).Is));
          QCOMPARE(model.data(model.index(static_cast<int>(i), StringModel::kState), Qt::DisplayRole).toString(),
                   StateText(bench.StandingOf(b, i).Is));
          translated += !bench.String(b, i).Translation.empty();
        }
        QCOMPARE(bench.Totals(b).Translated, translated);
        QCOMPARE(bench.Totals(b).Used, fresh.Totals(b).Used);
      }

      // What the inserter refuses to encode.
      const SessionInsertion first = bench.GetSession().Insert();
      std::set<std::pair<std::string, int>> cannot;
      for (const Refusal& r : first.Outcome.Refusals)
        if (r.Number == kErrCannotEncode) cannot.insert({r.Block, r.Id});
      std::set<std::pair<std::string, int>> shown;
      for (std::size_t b = 0; b < bench.BlockCount(); ++b)
        for (std::size_t i = 0; i < bench.Block(b).Strings.size(); ++i)
          if (bench.StandingOf(b, i).Is == State::kCannotEncode)
            shown.insert({bench.Block(b).Settings->Name, static_cast<int>(i)});
      QVERIFY2(cannot == shown, qPrintable(trace));
      refusedEncoding += !cannot.empty();
      // Without those texts: what it has no room for, and the lines it warns of.
      for (const auto& [block, id] : cannot)
        bench.SetTranslation(block == "p" ? 0 : 1, static_cast<std::size_t>(id), "");
      const SessionInsertion second = bench.GetSession().Insert();
      std::set<std::pair<std::string, int>> room;
      bool pointerRoom = false;
      for (const Refusal& r : second.Outcome.Refusals) {
        QCOMPARE(r.Number, static_cast<int>(kErrNoRoom));
        if (r.Id < 0) pointerRoom = true;
        else room.insert({r.Block, r.Id});
      }
      refusedRoom += !second.Outcome.Refusals.empty();
      std::set<std::pair<std::string, int>> noRoom;
      bool anyPointerNoRoom = false;
      for (std::size_t b = 0; b < bench.BlockCount(); ++b)
        for (std::size_t i = 0; i < bench.Block(b).Strings.size(); ++i) {
          if (bench.StandingOf(b, i).Is != State::kNoRoom) continue;
          if (bench.Block(b).Settings->Range) noRoom.insert({"r", static_cast<int>(i)});
          else anyPointerNoRoom = true;
        }
      QVERIFY2(room == noRoom, qPrintable(trace));
      QCOMPARE(anyPointerNoRoom, pointerRoom);
      // Without what has no room either: the lines it warns of.
      for (const auto& [block, id] : room)
        bench.SetTranslation(1, static_cast<std::size_t>(id), "");
      if (pointerRoom)
        for (std::size_t i = 0; i < bench.Block(0).Strings.size(); ++i) bench.SetTranslation(0, i, "");
      const SessionInsertion third = bench.GetSession().Insert();
      QVERIFY2(third.Outcome.Refusals.empty(), qPrintable(trace));
      for (std::size_t b = 0; b < bench.BlockCount(); ++b)
        QCOMPARE(bench.Totals(b).Used, third.Outcome.Blocks[b].Used);
      std::set<std::pair<std::string, int>> lines;
      for (const std::string& w : third.LineWarnings) {
        const std::size_t comma = w.find(", texto ");
        const std::string block = w.substr(std::string("bloque ").size(), comma - 7);
        lines.insert({block, std::stoi(w.substr(comma + 8))});
      }
      std::set<std::pair<std::string, int>> long_;
      for (std::size_t b = 0; b < bench.BlockCount(); ++b)
        for (std::size_t i = 0; i < bench.Block(b).Strings.size(); ++i) {
          const State s = bench.StandingOf(b, i).Is;
          const std::pair<std::string, int> key{bench.Block(b).Settings->Name, static_cast<int>(i)};
          if (s == State::kLongLine || s == State::kTooManyLines) long_.insert(key);
          // The studio judges lines of translations; the inserter warns of originals too.
          if (bench.String(b, i).Translation.empty()) lines.erase(key);
        }
      QVERIFY2(lines == long_, qPrintable(trace));
      warned += !long_.empty();
    }
    qInfo("rounds: %d refused encoding, %d refused room, %d warned", refusedEncoding, refusedRoom, warned);
    QVERIFY(refusedEncoding > 10);
    QVERIFY(refusedRoom > 10);
    QVERIFY(warned > 10);
  }
};

}  // namespace romscriber::studio::testing

QTEST_MAIN(romscriber::studio::testing::StringModelTest)
#include "model_test.moc"
