// The dictionary over a project session: the texts an insertion would
// encode and no others, bytes per block that an insertion through the
// enlarged table confirms, codes kept out where the strings hold them raw,
// and the refusals.
#include "fit/project_dictionary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "base/app_error.h"
#include "extract/temp_folder.h"
#include "insert/insertion.h"
#include "pair_reference.h"
#include "sample_translation.h"

namespace romscriber::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kSample = fs::path(ROMSCRIBER_EXAMPLES) / "project";

// The sample project copied into a folder, its table and ROM as given.
class SampleProject {
 public:
  SampleProject() {
    for (const char* name : {"juego.sfc", "juego.tbl", "juego.toml"})
      fs::copy_file(kSample / name, m_dir.Path() / name);
  }
  fs::path File() const { return m_dir.Path() / "juego.toml"; }
  fs::path Path(const char* name) const { return m_dir.Path() / name; }

  // A session of the project with the benches' translation.
  Session Translated() const {
    Session session = Session::Open(File(), {});
    bench::TranslateBlocks(session, bench::TranslateSample);
    return session;
  }

 private:
  TempFolder m_dir;
};

int ErrorOf(const Session& session, const DictionaryRequest& request, std::string* message = nullptr) {
  try {
    BuildProjectDictionary(session, request);
  } catch (const AppError& e) {
    if (message) *message = e.Description();
    return e.Number();
  }
  return 0;
}

TEST(ProjectDictionary, TheSampleTranslatedSavesWhatItsInsertionConfirms) {
  SampleProject sample;
  Session session = sample.Translated();
  // Some strings keep their originals: given as the translation, or marked fuzzy.
  std::vector<StringRecord>& dialogue = session.Blocks()[0].Strings;
  dialogue[3].Translation = dialogue[3].Original;
  dialogue[4].Fuzzy = true;

  const ProjectDictionary d = BuildProjectDictionary(session, {"juego", {}, {Codes(0x80, 0xFF), 4}});
  EXPECT_FALSE(d.Stopped);
  EXPECT_EQ(d.Taken, (std::vector<std::uint8_t>{0x80, 0x81, 0xE0, 0xE1, 0xF0, 0xFA, 0xFE, 0xFF}));
  EXPECT_TRUE(d.Raw.empty());
  EXPECT_EQ(d.Entries.size(), 120u);
  ASSERT_EQ(d.Blocks.size(), 2u);
  EXPECT_EQ(d.Blocks[0].Block, "dialogo");
  EXPECT_EQ(d.Blocks[1].Block, "menus");

  // The texts counted are those that change, with the end token appended.
  const CompiledTable& table = session.Blocks()[0].Table->Table;
  TextEncoder encoder(table);
  std::int64_t texts = 0, before = 0;
  for (std::size_t b = 0; b < 2; ++b) {
    std::int64_t blockTexts = 0, blockBefore = 0;
    for (const StringRecord& s : session.Blocks()[b].Strings) {
      const TextToInsert t = TextOf(s, table);
      if (!t.Changed) continue;
      ++blockTexts;
      blockBefore += static_cast<std::int64_t>(std::get<std::string>(encoder.Encode(t.Text)).size());
    }
    EXPECT_EQ(d.Blocks[b].Texts, blockTexts);
    EXPECT_EQ(d.Blocks[b].Before, blockBefore);
    EXPECT_LT(d.Blocks[b].After, d.Blocks[b].Before);
    texts += blockTexts;
    before += blockBefore;
  }
  EXPECT_EQ(d.Blocks[0].Texts, 45);  // 53, less 6 left for later, less the two kept above
  EXPECT_EQ(d.Texts, texts);
  EXPECT_EQ(d.Before, before);
  EXPECT_EQ(d.After, d.Blocks[0].After + d.Blocks[1].After);

  // The project with the lines added to its table: the dialogue's strings
  // take as many bytes less as the dictionary says.
  const SessionInsertion plain = session.Insert();
  ASSERT_TRUE(plain.Outcome.Refusals.empty() || plain.Outcome.Refusals[0].Block == "menus");
  WriteBytes(sample.Path("juego.tbl"), ReadBytes(sample.Path("juego.tbl")) + TableLines(d.Entries));
  Session enlarged = Session::Open(sample.File(), {});
  for (std::size_t b = 0; b < 2; ++b)
    for (std::size_t i = 0; i < session.Blocks()[b].Strings.size(); ++i) {
      enlarged.Blocks()[b].Strings[i].Translation = session.Blocks()[b].Strings[i].Translation;
      enlarged.Blocks()[b].Strings[i].Fuzzy = session.Blocks()[b].Strings[i].Fuzzy;
    }
  Measurer plainBytes(session), enlargedBytes(enlarged);
  EXPECT_EQ(plainBytes.Fit(0).Used - enlargedBytes.Fit(0).Used, d.Blocks[0].Before - d.Blocks[0].After);
  EXPECT_EQ(plainBytes.Fit(1).Used - enlargedBytes.Fit(1).Used, d.Blocks[1].Before - d.Blocks[1].After);
}

TEST(ProjectDictionary, BlocksAskedForAloneCountAndStringsElsewhereKeepTheirRawCodes) {
  SampleProject sample;
  // A byte of the first dialogue string ("Rey:\nBienvenido...") that no key
  // reads: it stands raw in a string that keeps its bytes.
  std::string rom = ReadBytes(sample.Path("juego.sfc"));
  rom[0x18074] = '\x90';
  WriteBytes(sample.Path("juego.sfc"), rom);
  Session session = sample.Translated();
  session.Blocks()[0].Strings[0].Translation.clear();
  // A changed dialogue text with a raw byte, counted nowhere when only the
  // menus are asked for.
  session.Blocks()[0].Strings[1].Translation = "Rey:\nA <$91> b<fin>";

  const ProjectDictionary menus = BuildProjectDictionary(session, {"juego", {"menus"}, {Codes(0x82, 0x93), 3}});
  ASSERT_EQ(menus.Blocks.size(), 1u);
  EXPECT_EQ(menus.Blocks[0].Block, "menus");
  EXPECT_EQ(menus.Texts, 9);  // "No" stays "No"
  EXPECT_EQ(menus.Raw, (std::vector<std::uint8_t>{0x90, 0x91}));
  for (const DictionaryEntry& e : menus.Entries)
    EXPECT_TRUE(e.Code != 0x90 && e.Code != 0x91);

  const ProjectDictionary both = BuildProjectDictionary(session, {"juego", {"menus", "dialogo", "menus"}, {Codes(0x82, 0x93), 3}});
  ASSERT_EQ(both.Blocks.size(), 2u);
  EXPECT_EQ(both.Blocks[0].Block, "menus");
  EXPECT_EQ(both.Blocks[1].Block, "dialogo");
  EXPECT_EQ(both.Raw, (std::vector<std::uint8_t>{0x90, 0x91}));
  EXPECT_EQ(both.Blocks[0].Texts, menus.Blocks[0].Texts);
}

TEST(ProjectDictionary, RefusalsNameWhatIsWrong) {
  SampleProject sample;
  Session session = sample.Translated();
  std::string message;
  EXPECT_EQ(ErrorOf(session, {"otra", {}, {Codes(0x80, 0xFF), 2}}, &message), kErrBadSetting);
  EXPECT_NE(message.find("«otra»"), std::string::npos);
  EXPECT_EQ(ErrorOf(session, {"juego", {"dialogo", "nada"}, {Codes(0x80, 0xFF), 2}}, &message), kErrBadSetting);
  EXPECT_NE(message.find("«nada»"), std::string::npos);
  EXPECT_EQ(ErrorOf(session, {"juego", {}, {Codes(0x80, 0xFF), 1}}), kErrBadSetting);
  session.Blocks()[0].Strings[5].Translation = "Rey:\nCuesta 5 €.<fin>";
  EXPECT_EQ(ErrorOf(session, {"juego", {}, {Codes(0x80, 0xFF), 2}}, &message), kErrCannotEncode);
  EXPECT_EQ(message,
            "bloque dialogo, texto 5, columna 15: ninguna entrada de la tabla da «€»; cámbielo o añada una "
            "entrada a la tabla.");
}

TEST(ProjectDictionary, ABlockThroughAnotherTableIsRefused) {
  SampleProject sample;
  std::string toml = ReadBytes(sample.File());
  toml.insert(toml.find("# 2-byte pointers"), "[[table]]\nname = \"otra\"\nfile = \"juego.tbl\"\n\n");
  toml.replace(toml.rfind("table = \"juego\""), 15, "table = \"otra\"");
  WriteBytes(sample.File(), toml);
  const Session session = sample.Translated();
  std::string message;
  EXPECT_EQ(ErrorOf(session, {"juego", {"menus"}, {Codes(0x80, 0xFF), 2}}, &message), kErrBadSetting);
  EXPECT_NE(message.find("«menus» usa la tabla «otra»"), std::string::npos) << message;
  // Without blocks: those through the table.
  const ProjectDictionary d = BuildProjectDictionary(session, {"otra", {}, {Codes(0x80, 0xFF), 2}});
  ASSERT_EQ(d.Blocks.size(), 1u);
  EXPECT_EQ(d.Blocks[0].Block, "menus");
}

}  // namespace
}  // namespace romscriber::testing
