// The studio through its real widgets, without a screen: the sample project
// opened, a translation typed, the meter, the states and the undo history;
// saving and opening again; "Generar ROM" against romscriber-insert on the
// same scripts; a refusal that writes nothing; scripts changed on disk; the
// language; every control's accessible name.
#include <QAbstractButton>
#include <QAccessible>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QSpinBox>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <sstream>

#include "base/file_io.h"
#include "inserter/insert.h"
#include "studio/dict_dialog.h"
#include "studio/find_dialogs.h"
#include "studio/language.h"
#include "table/extended_loader.h"
#include "extract/engine.h"
#include "studio/studio_window.h"
#include "studio_harness.h"

namespace romscriber::studio::testing {

namespace fs = std::filesystem;

class StudioWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir m_dir;

  // A fresh copy of the sample project; `top` and `end` are added to its file.
  QString Sample(const QString& name, const std::string& top = "", const std::string& end = "") {
    const fs::path folder = fs::path(m_dir.path().toStdString()) / name.toStdString();
    fs::create_directories(folder);
    const fs::path sample = fs::path(ROMSCRIBER_EXAMPLES) / "project";
    for (const char* f : {"juego.sfc", "juego.tbl"})
      fs::copy_file(sample / f, folder / f, fs::copy_options::overwrite_existing);
    std::string text = ReadWholeFile(sample / "juego.toml");
    text.insert(text.find("[map]"), top);
    WriteFileWhole(folder / "juego.toml", {text + end});
    return QString::fromStdString((folder / "juego.toml").string());
  }

  static bool Open(StudioWindow& window, const QString& file) {
    bool opened = false;
    window.OpenProject(file, [&](bool ok) { opened = ok; });
    return Idle(window) && opened;
  }

  static std::string Bytes(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec) ? ReadWholeFile(path) : std::string("(none)");
  }

 private slots:
  void TypingUpdatesMeterStatesAndUndo() {
    ScriptedAsker asker;
    StudioWindow window(asker);
    window.show();
    QVERIFY(Open(window, Sample("typing")));
    QVERIFY(window.SelectString(0, 1));
    auto* editor = Named<QPlainTextEdit>(&window, QStringLiteral("Traducción"));
    QVERIFY(editor);
    editor->setFocus();
    Type(editor, QStringLiteral("Rey:\nVete.<fin>"));
    const StringRecord& s = window.Bench()->String(0, 1);
    QCOMPARE(QString::fromStdString(s.Translation), QStringLiteral("Rey:\nVete.<fin>"));
    // The meter against the inserter's own count on the same translation.
    Session copy = window.Bench()->GetSession();
    const SessionInsertion inserted = copy.Insert();
    QVERIFY(inserted.Outcome.Refusals.empty());
    const BlockReport& report = inserted.Outcome.Blocks[0];
    const QString expected = QStringLiteral("Bytes: %1 (original %2) · Bloque: %3 de %4")
                                 .arg(report.NewSizes[1])
                                 .arg(s.Length)
                                 .arg(report.Used)
                                 .arg(report.Available);
    QCOMPARE(window.MeterText(), expected);
    QCOMPARE(Named<QLineEdit>(&window, QStringLiteral("Medidor"))->accessibleDescription(), expected);
    QCOMPARE(window.Bench()->StandingOf(0, 1).Is, State::kTranslated);
    QCOMPARE(window.Bench()->Totals(0).Translated, 1);
    // Going from string to string changes no translation and no history.
    const int steps = window.Undo().index();
    for (int id : {0, 2, 1, 3}) QVERIFY(window.SelectString(0, id));
    QCOMPARE(window.Undo().index(), steps);
    QCOMPARE(window.Bench()->Totals(0).Translated, 1);
    QCOMPARE(editor->toPlainText(), QStringLiteral("¿Qué?<fin>").left(0));  // string 3 has none
    QVERIFY(window.SelectString(0, 1));

    // A character no entry gives: the state says so, the filter finds it.
    Type(editor, QStringLiteral("☃"));
    QCOMPARE(window.Bench()->StandingOf(0, 1).Is, State::kCannotEncode);
    QVERIFY(window.MeterText().contains(QStringLiteral("☃")));
    auto* filter = Named<QComboBox>(&window, QStringLiteral("Filtro"));
    auto* strings = Named<QAbstractItemView>(&window, QStringLiteral("Textos"));
    filter->setCurrentIndex(2);
    QCOMPARE(strings->model()->rowCount(), 1);
    filter->setCurrentIndex(1);
    QCOMPARE(strings->model()->rowCount(), 52);
    filter->setCurrentIndex(0);
    QCOMPARE(strings->model()->rowCount(), 53);

    // The whole typing in one string is one step of the history.
    window.Undo().undo();
    QCOMPARE(window.Bench()->String(0, 1).Translation, std::string());
    QCOMPARE(window.Bench()->StandingOf(0, 1).Is, State::kUntranslated);
    QCOMPARE(editor->toPlainText(), QString());
    window.Undo().redo();
    QCOMPARE(QString::fromStdString(window.Bench()->String(0, 1).Translation),
             QStringLiteral("Rey:\nVete.<fin>☃"));

    // The next untranslated string, past the translated ones, into the next block.
    for (std::size_t i = 2; i < 53; ++i) window.ApplyTranslation(0, i, "x<fin>", false);
    QVERIFY(window.SelectString(0, 0));
    const auto next = [&] {
      for (QAction* a : window.findChildren<QAction*>())
        if (a->text().remove(QLatin1Char('&')) == QStringLiteral("Siguiente sin traducir")) a->trigger();
    };
    next();
    QCOMPARE(window.CurrentBlock(), 1);
    QCOMPARE(window.CurrentString(), 0);
    for (std::size_t i = 2; i < 53; ++i) window.ApplyTranslation(0, i, "", false);
    QVERIFY(window.SelectString(0, 0));
    next();
    QCOMPARE(window.CurrentString(), 2);

    // A menu text longer than its bytes: a range block's string has no room.
    QVERIFY(window.SelectString(1, 0));
    Type(editor, QStringLiteral("Un menú mucho más largo que el original<fin>"));
    QCOMPARE(window.Bench()->StandingOf(1, 0).Is, State::kNoRoom);
    // Searching the translations (a regular expression, too).
    auto* search = Named<QLineEdit>(&window, QStringLiteral("Buscar"));
    search->setText(QStringLiteral("mucho más"));
    QCOMPARE(strings->model()->rowCount(), 1);
    Named<QAbstractButton>(&window, QStringLiteral("Expresión regular"))->setChecked(true);
    search->setText(QStringLiteral("^Un men.*largo"));
    QCOMPARE(strings->model()->rowCount(), 1);
    search->clear();
    // Another project: the edits are let go only when one opens; a choice
    // of file cancelled after "discard" leaves them unsaved, as they are.
    asker.Unsaved = Asker::Answer::kDiscard;
    asker.Project.clear();
    for (QAction* a : window.findChildren<QAction*>())
      if (a->text().remove(QLatin1Char('&')) == QStringLiteral("Abrir proyecto…")) a->trigger();
    QVERIFY(asker.Asked.contains(QStringLiteral("open")));
    QVERIFY(!window.Undo().isClean());
    QCOMPARE(window.Bench()->String(1, 0).Translation,
             std::string("Un menú mucho más largo que el original<fin>"));
    asker.Unsaved = Asker::Answer::kCancel;
    asker.Asked.clear();
    window.close();  // unsaved changes: asked, and cancelled
    QVERIFY(asker.Asked.contains(QStringLiteral("unsaved")));
    QVERIFY(window.isVisible());
    asker.Unsaved = Asker::Answer::kDiscard;
  }

  void AProjectWithoutBlocksOpensAndHasNothingToTranslate() {
    ScriptedAsker asker;
    StudioWindow window(asker);
    window.show();
    const QString file = Sample("no-blocks");
    std::string text = ReadWholeFile(fs::path(file.toStdString()));
    text.erase(text.find("[[block]]"));
    WriteFileWhole(fs::path(file.toStdString()), {text});
    QVERIFY(Open(window, file));
    QCOMPARE(window.Bench()->BlockCount(), std::size_t{0});
    for (QAction* a : window.findChildren<QAction*>())
      if (a->text().remove(QLatin1Char('&')) == QStringLiteral("Siguiente sin traducir")) a->trigger();
    QCOMPARE(window.StatusText(), QStringLiteral("No queda ningún texto sin traducir."));
  }

  void ReplaceWrapAndPasteAreEachOneStep() {
    ScriptedAsker asker;
    StudioWindow window(asker);
    window.show();
    QVERIFY(Open(window, Sample("steps", "", "line_limit = 12\n")));  // the menus block's limit
    for (int id = 0; id < 3; ++id) window.ApplyTranslation(1, static_cast<std::size_t>(id), "Abrir menú<fin>", false);
    const int before = window.Undo().index();
    asker.Replace = Asker::Replacement{QStringLiteral("menú"), QStringLiteral("lista"), false};
    QMetaObject::invokeMethod(&window, [&] {
      for (QAction* a : window.findChildren<QAction*>())
        if (a->text().contains(QStringLiteral("reemplazar"))) a->trigger();
    });
    QTest::qWait(10);
    QCOMPARE(window.Undo().index(), before + 1);
    QCOMPARE(window.Bench()->String(1, 2).Translation, std::string("Abrir lista<fin>"));
    window.Undo().undo();
    QCOMPARE(window.Bench()->String(1, 0).Translation, std::string("Abrir menú<fin>"));

    // Wrapping at the block's limit of 12, with the table's line break.
    const auto trigger = [&](const QString& text) {
      for (QAction* a : window.findChildren<QAction*>())
        if (a->text().remove(QLatin1Char('&')) == text) a->trigger();
    };
    QVERIFY(window.SelectString(1, 4));
    window.ApplyTranslation(1, 4, "Abrir el menú de opciones<fin>", false);
    const int wrapped = window.Undo().index();
    trigger(QStringLiteral("Ajustar líneas"));
    QCOMPARE(window.Bench()->String(1, 4).Translation,
             std::string("Abrir el<br>\nmenú de<br>\nopciones<fin>"));
    QCOMPARE(window.Undo().index(), wrapped + 1);
    for (const int w : window.Bench()->StandingOf(1, 4).Widths) QVERIFY(w <= 12);

    // A paste into three selected rows, as a spreadsheet copies them.
    QVERIFY(window.SelectString(1, 5));
    auto* strings = Named<QAbstractItemView>(&window, QStringLiteral("Textos"));
    strings->selectionModel()->select(
        QItemSelection(strings->model()->index(5, 0), strings->model()->index(7, 0)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QApplication::clipboard()->setText(QStringLiteral("Uno<fin>\nDos\\n<fin>\nTres<fin>\n"));
    const int pasted = window.Undo().index();
    trigger(QStringLiteral("Pegar traducciones"));
    QCOMPARE(window.Undo().index(), pasted + 1);
    QCOMPARE(window.Bench()->String(1, 5).Translation, std::string("Uno<fin>"));
    QCOMPARE(window.Bench()->String(1, 6).Translation, std::string("Dos\n<fin>"));
    QCOMPARE(window.Bench()->String(1, 7).Translation, std::string("Tres<fin>"));
    window.Undo().undo();
    for (std::size_t i = 5; i <= 7; ++i)
      QVERIFY2(window.Bench()->String(1, i).Translation.empty(),
               qPrintable(QString::number(i) + QString::fromStdString(window.Bench()->String(1, i).Translation)));
  }

  void SaveAddsTheKeysAndReopeningGivesTheSameTexts() {
    ScriptedAsker asker;
    const QString file = Sample("save");
    const std::string before = ReadWholeFile(file.toStdString());
    {
      StudioWindow window(asker);
      QVERIFY(Open(window, file));
      window.ApplyTranslation(0, 0, "Rey:\nHola, caballero.<fin>", false);
      window.ApplyTranslation(0, 5, "Guardia:\n¡Pasa!<fin>", false);
      asker.Scripts = std::pair(QStringLiteral("trad"), ScriptFormat::kPo);
      bool saved = false;
      window.Save([&](bool ok) { saved = ok; });
      QVERIFY(Idle(window));
      QVERIFY(saved);
      QVERIFY(asker.Asked.contains(QStringLiteral("scripts")));
    }
    // The project file gained the two keys and kept the rest as written.
    const std::string after = ReadWholeFile(file.toStdString());
    QVERIFY(after.find("scripts = \"trad\"\nformat = \"po\"\n") != std::string::npos);
    std::string rest = after;
    rest.erase(rest.find("scripts = \"trad\"\nformat = \"po\"\n"), 31);
    rest.erase(rest.find("\n[map]") , 1);
    QCOMPARE(QString::fromStdString(rest), QString::fromStdString(before));
    const fs::path folder = fs::path(file.toStdString()).parent_path() / "trad";
    QVERIFY(fs::exists(folder / "dialogo.po") && fs::exists(folder / "menus.po"));

    StudioWindow again(asker);
    QVERIFY(Open(again, file));
    QVERIFY2(!again.Bench()->String(0, 0).Translation.empty(),
             qPrintable(asker.Asked.join(QStringLiteral(" | ")) + again.StatusText() +
                        QString::fromStdString(ReadWholeFile(folder / "dialogo.po").substr(300, 500))));
    QCOMPARE(again.Bench()->String(0, 0).Translation, std::string("Rey:\nHola, caballero.<fin>"));
    QCOMPARE(again.Bench()->String(0, 5).Translation, std::string("Guardia:\n¡Pasa!<fin>"));
    QCOMPARE(again.Bench()->Totals(0).Translated, 2);
    QVERIFY(again.Undo().isClean());
  }

  void GenerateGivesWhatTheInserterGives() {
    ScriptedAsker asker;
    const QString file = Sample("generate", "scripts = \"trad\"\nformat = \"tsv\"\n",
                                "\n[output]\nrom = \"nueva.sfc\"\nips = \"nueva.ips\"\nbps = \"nueva.bps\"\n");
    const fs::path folder = fs::path(file.toStdString()).parent_path();
    StudioWindow window(asker);
    QVERIFY(Open(window, file));
    window.ApplyTranslation(0, 0, "Rey:\nBienvenido, joven caballero, el castillo es tuyo.<fin>", false);
    window.ApplyTranslation(0, 2, "Gracias", false);
    window.ApplyTranslation(1, 3, "Salir<fin>", false);
    QString rom;
    window.GenerateRom([&](const QString& path) { rom = path; });
    QVERIFY(Idle(window));
    QVERIFY2(rom == QString::fromStdString((folder / "nueva.sfc").string()),
             qPrintable(asker.Asked.join(QStringLiteral(" | ")) + window.StatusText() +
                       (window.LastRefusals().empty() ? QString() : window.LastRefusals()[0].Why)));

    InsertOptions options;
    options.Project = file.toStdString();
    options.Out = folder / "cli.sfc";
    options.Ips = folder / "cli.ips";
    options.Bps = folder / "cli.bps";
    std::ostringstream out, err;
    QCOMPARE(RunInsert(options, out, err), 0);
    QVERIFY(Bytes(folder / "nueva.sfc") == Bytes(folder / "cli.sfc"));
    QVERIFY(Bytes(folder / "nueva.ips") == Bytes(folder / "cli.ips"));
    QVERIFY(Bytes(folder / "nueva.bps") == Bytes(folder / "cli.bps"));
    QVERIFY(Bytes(folder / "nueva.sfc") != Bytes(folder / "juego.sfc"));
  }

  void ARefusalWritesNothingAndChoosingItSelectsTheString() {
    ScriptedAsker asker;
    const QString file = Sample("refusal", "scripts = \"trad\"\nformat = \"tsv\"\n",
                                "\n[output]\nrom = \"nueva.sfc\"\nbps = \"nueva.bps\"\n");
    const fs::path folder = fs::path(file.toStdString()).parent_path();
    StudioWindow window(asker);
    window.show();
    QVERIFY(Open(window, file));
    window.ApplyTranslation(0, 7, "Anciana: ☃<fin>", false);
    window.ApplyTranslation(1, 2, "Un menú demasiado largo para su sitio<fin>", false);
    QString rom = QStringLiteral("(not called)");
    window.GenerateRom([&](const QString& path) { rom = path; });
    QVERIFY(Idle(window));
    QVERIFY(rom.isEmpty());
    QVERIFY(!fs::exists(folder / "nueva.sfc"));
    QVERIFY(!fs::exists(folder / "nueva.bps"));
    QCOMPARE(window.LastRefusals().size(), std::size_t{1});  // encoding stops before the layout
    QCOMPARE(window.LastRefusals()[0].Block, QStringLiteral("dialogo"));
    QCOMPARE(window.LastRefusals()[0].Id, 7);
    // The list of refusals: choosing one selects its string.
    QTableWidget* list = nullptr;
    QVERIFY(QTest::qWaitFor([&] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* l = Named<QTableWidget>(w, QStringLiteral("Rechazos"))) list = l;
      return list != nullptr;
    }));
    QVERIFY(window.SelectString(1, 0));
    emit list->cellActivated(0, 2);
    QCOMPARE(window.CurrentBlock(), 0);
    QCOMPARE(window.CurrentString(), 7);
    list->window()->close();
  }

  void ScriptsChangedOnDiskAreOfferedForReloading() {
    ScriptedAsker asker;
    const QString file = Sample("disk", "scripts = \"trad\"\nformat = \"tsv\"\n");
    const fs::path folder = fs::path(file.toStdString()).parent_path() / "trad";
    StudioWindow window(asker);
    window.show();
    QVERIFY(Open(window, file));
    bool saved = false;
    window.Save([&](bool ok) { saved = ok; });
    QVERIFY(Idle(window) && saved);
    // Another program gives string 3 a translation.
    std::string tsv = ReadWholeFile(folder / "dialogo.tsv");
    const std::size_t row = tsv.find("\n3\t") + 1;
    tsv.insert(tsv.find('\n', row), "¿Eh?<fin>");
    QTest::qWait(20);
    WriteFileWhole(folder / "dialogo.tsv", {tsv});
    QEvent activation(QEvent::ActivationChange);
    QApplication::setActiveWindow(&window);
    QApplication::sendEvent(&window, &activation);
    QVERIFY(QTest::qWaitFor([&] { return asker.Asked.contains(QStringLiteral("confirm: Guiones cambiados")); }));
    QVERIFY(QTest::qWaitFor([&] { return window.Bench()->String(0, 3).Translation == "¿Eh?<fin>"; }));
    QVERIFY(Idle(window));
  }

  void ANewProjectIsWrittenAndOpened() {
    ScriptedAsker asker;
    const fs::path folder = fs::path(m_dir.path().toStdString()) / "new";
    fs::create_directories(folder);
    const fs::path sample = fs::path(ROMSCRIBER_EXAMPLES) / "project";
    NewProject p;
    p.Rom = (sample / "juego.sfc").string();
    p.Table = (sample / "juego.tbl").string();
    p.Map.Kind = MapKind::kLoRom;
    p.Block = "dialogo";
    p.Pointers = PointerFormat{0x18000, 57, 2, Endian::kLittle, 2, 0, std::nullopt};
    asker.NewProject = NewProjectChoice{QString::fromStdString((folder / "nuevo.toml").string()), p};
    StudioWindow window(asker);
    for (QAction* a : window.findChildren<QAction*>())
      if (a->text().remove(QLatin1Char('&')) == QStringLiteral("Nuevo proyecto…")) a->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window.Busy() && window.Bench(); }, 20000));
    QCOMPARE(window.Bench()->BlockCount(), std::size_t{1});
    QCOMPARE(window.Bench()->Block(0).Strings.size(), std::size_t{53});
    QVERIFY(fs::exists(folder / "nuevo.toml"));
  }

  void RedumpKeepsTheTranslationsAndClosingWaitsForTheWork() {
    ScriptedAsker asker;
    const QString file = Sample("redump", "scripts = \"trad\"\nformat = \"po\"\n",
                                "\n[output]\nrom = \"nueva.sfc\"\nemulator = \"./emulador.sh\"\n");
    const fs::path folder = fs::path(file.toStdString()).parent_path();
    {
      StudioWindow window(asker);
      QVERIFY(Open(window, file));
      window.ApplyTranslation(0, 4, "Guardia:\n¡Alto!<fin>", false);
      bool saved = false;
      window.Save([&](bool ok) { saved = ok; });
      QVERIFY(Idle(window) && saved);
      for (QAction* a : window.findChildren<QAction*>())
        if (a->text().remove(QLatin1Char('&')) == QStringLiteral("Volcar de nuevo")) a->trigger();
      QVERIFY(Idle(window));
      QCOMPARE(window.Bench()->String(0, 4).Translation, std::string("Guardia:\n¡Alto!<fin>"));
      QVERIFY(window.Undo().isClean());

      // "Probar en emulador": the ROM generated, then the emulator started
      // with its path.
      WriteFileWhole(folder / "emulador.sh", {"#!/bin/sh\necho \"$1\" > \"$(dirname \"$0\")/lanzado.txt\"\n"});
      fs::permissions(folder / "emulador.sh", fs::perms::owner_all);
      for (QAction* a : window.findChildren<QAction*>())
        if (a->text().remove(QLatin1Char('&')) == QStringLiteral("Probar en emulador")) a->trigger();
      QVERIFY(QTest::qWaitFor([&] { return fs::exists(folder / "lanzado.txt"); }, 20000));
      QVERIFY(ReadWholeFile(folder / "lanzado.txt").starts_with((folder / "nueva.sfc").string()));

      // Closing while a ROM is being generated: the window stays until the
      // work is done, and the ROM is whole.
      fs::remove(folder / "nueva.sfc");
      window.ApplyTranslation(0, 5, "Guardia:\nPasa.<fin>", false);
      asker.Unsaved = Asker::Answer::kDiscard;
      window.show();
      window.GenerateRom();
      window.close();
      QVERIFY(QTest::qWaitFor([&] { return !window.isVisible(); }, 20000));
      QVERIFY(!window.Busy());
    }
    QCOMPARE(fs::file_size(folder / "nueva.sfc"), fs::file_size(folder / "juego.sfc"));
  }

  void TheLocaleChoosesTheLanguage() {
    for (const auto& [locale, english] :
         {std::pair(QLocale(QLocale::English, QLocale::UnitedStates), true),
          std::pair(QLocale(QLocale::Spanish, QLocale::Spain), false),
          std::pair(QLocale(QLocale::German, QLocale::Germany), false)}) {
      QTranslator studio, qt;
      QCOMPARE(LoadTranslations(locale, studio, qt), english);
      if (english) QCoreApplication::installTranslator(&studio);
      ScriptedAsker asker;
      StudioWindow window(asker);
      QStringList menus;
      for (QAction* a : window.menuBar()->actions())
        menus << a->text().remove(QLatin1Char('&'));
      const QStringList expected = english ? QStringList{"File", "Edit", "ROM", "Tools"}
                                           : QStringList{"Archivo", "Editar", "ROM", "Herramientas"};
      QCOMPARE(menus, expected);
      // Accessible names stay the same in both languages.
      QVERIFY(Named(&window, QStringLiteral("Traducción")) != nullptr);
      if (english) QCoreApplication::removeTranslator(&studio);
    }
  }

  void RelativeSearchWritesATableThatReadsTheWordBack() {
    ScriptedAsker asker;
    const QString file = Sample("relative");
    const fs::path folder = fs::path(file.toStdString()).parent_path();
    const std::string rom = ReadWholeFile(folder / "juego.sfc");
    RelativeDialog dialog(std::make_shared<const std::vector<std::uint8_t>>(rom.begin(), rom.end()), asker);
    dialog.show();
    Named<QLineEdit>(&dialog, QStringLiteral("Texto visto en pantalla"))->setText(QStringLiteral("Bienvenido"));
    QVERIFY(dialog.Search());
    QVERIFY(QTest::qWaitFor([&] { return !dialog.Searching(); }));
    QVERIFY(!dialog.Result().Hits.empty());
    QCOMPARE(dialog.Result().Hits[0].Offset, 0x18074);
    asker.Files.push_back(QString::fromStdString((folder / "relativa.tbl").string()));
    QVERIFY(!dialog.WriteTable(0).isEmpty());
    // The table it wrote reads the word back at the hit.
    const CompiledTable table = CompiledTable::Compile(
        LoadExtendedTable(ReadWholeFile(folder / "relativa.tbl"), "", "relativa.tbl", {}), ProjectStyle());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(rom.data());
    const DecodedString s = DecodeString(table, std::span(bytes, rom.size()), 0x18074,
                                         {0x18074 + 9, static_cast<std::int64_t>(rom.size()), true});
    QCOMPARE(QString::fromStdString(s.Text), QStringLiteral("Bienvenido"));
    // A word with no two letters of one class is refused before searching.
    Named<QLineEdit>(&dialog, QStringLiteral("Texto visto en pantalla"))->setText(QStringLiteral("Ab"));
    QVERIFY(!dialog.Search());
  }

  void APointerTableFoundFromTheStringsBecomesABlock() {
    ScriptedAsker asker;
    const QString file = Sample("pointers");
    StudioWindow window(asker);
    QVERIFY(Open(window, file));
    PointerDialog dialog(std::make_shared<const Session>(window.Bench()->GetSession()), file, asker);
    QObject::connect(&dialog, &PointerDialog::ProjectChanged, &window, [&] { window.OpenProject(file); });
    // The strings the sample's table finds, not the block: its strings alone.
    Named<QComboBox>(&dialog, QStringLiteral("Textos que buscar"))->setCurrentIndex(1);
    // Three entries take in the last string, "FIN", as the README does.
    Named<QSpinBox>(&dialog, QStringLiteral("Entradas mínimas por texto"))->setValue(3);
    QVERIFY(dialog.Search());
    QVERIFY(QTest::qWaitFor([&] { return !dialog.Searching(); }, 20000));
    QVERIFY(!dialog.Result().Candidates.empty());
    const PointerCandidate& first = dialog.Result().Candidates[0];
    QCOMPARE(first.Format.Offset, 0x18000);
    QCOMPARE(first.Format.Count, 57);
    QCOMPARE(first.Format.Size, 2);
    QVERIFY(dialog.AddToProject(0));
    QVERIFY(QTest::qWaitFor([&] { return !window.Busy() && window.Bench()->BlockCount() == 3; }, 20000));
    QCOMPARE(window.Bench()->Block(2).Settings->Name, std::string("punteros_18000"));
    QCOMPARE(window.Bench()->Block(2).Strings.size(), window.Bench()->Block(0).Strings.size());
  }

  void TheDictionaryIsChosenOverTheTranslationsAndWritten() {
    ScriptedAsker asker;
    const QString file = Sample("dictionary");
    const fs::path folder = fs::path(file.toStdString()).parent_path();
    StudioWindow window(asker);
    QVERIFY(Open(window, file));
    const char* texts[] = {"Rey:\nBienvenido al castillo de la reina.<fin>",
                           "Guardia:\nNadie entra en el castillo sin permiso.<fin>",
                           "Guardia:\nEl castillo cierra de noche.<fin>"};
    for (std::size_t i = 0; i < 3; ++i) window.ApplyTranslation(0, i * 4, texts[i], false);
    const auto session = std::make_shared<const Session>(window.Bench()->GetSession());
    DictionaryDialog dialog(session, asker);
    dialog.show();
    Named<QLineEdit>(&dialog, QStringLiteral("Códigos"))->setText(QStringLiteral("C0-C7"));
    Named<QSpinBox>(&dialog, QStringLiteral("Letras por entrada"))->setValue(6);
    QVERIFY(dialog.Choose());
    QVERIFY(QTest::qWaitFor([&] { return !dialog.Choosing(); }, 20000));
    QVERIFY2(dialog.Error().isEmpty(), qPrintable(dialog.Error()));
    // What the library chooses for the same request, and bytes saved.
    DictionaryRequest request{"juego", {"dialogo", "menus"}, {{0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7}, 6}};
    const ProjectDictionary direct = BuildProjectDictionary(*session, request);
    QVERIFY(dialog.Result().Entries == direct.Entries);
    QVERIFY(!direct.Entries.empty());
    QVERIFY(dialog.Result().After < dialog.Result().Before);
    asker.Files.push_back(QString::fromStdString((folder / "dic.tbl").string()));
    QVERIFY(!dialog.WriteLines().isEmpty());
    QCOMPARE(QString::fromStdString(ReadWholeFile(folder / "dic.tbl")),
             QString::fromStdString(TableLines(direct.Entries)));
    asker.Files.push_back(QString::fromStdString((folder / "dic.bin").string()));
    QVERIFY(!dialog.WriteData().isEmpty());
    QCOMPARE(fs::file_size(folder / "dic.bin"), std::uintmax_t{8 * 6});
    // Codes that are not hex are refused before choosing.
    Named<QLineEdit>(&dialog, QStringLiteral("Códigos"))->setText(QStringLiteral("zz"));
    QVERIFY(!dialog.Choose());
  }

  void EveryControlHasAnAccessibleName() {
    ScriptedAsker asker;
    StudioWindow window(asker);
    window.show();
    QVERIFY(Open(window, Sample("names")));
    NewProjectDialog newProject;
    newProject.show();
    ReplaceDialog replace;
    replace.show();
    RelativeDialog relative(std::make_shared<const std::vector<std::uint8_t>>(16, 0), asker);
    relative.show();
    PointerDialog pointers(std::make_shared<const Session>(window.Bench()->GetSession()),
                           QString(), asker);
    pointers.show();
    DictionaryDialog dictionary(std::make_shared<const Session>(window.Bench()->GetSession()), asker);
    dictionary.show();
    for (QWidget* top : std::initializer_list<QWidget*>{&window, &newProject, &replace, &relative,
                                                        &pointers, &dictionary}) {
      QList<QWidget*> widgets = top->findChildren<QWidget*>();
      widgets << top->findChildren<QMenuBar*>().value(0);
      for (QWidget* w : widgets) {
        if (!w || (!w->isVisibleTo(top) && !qobject_cast<QMenuBar*>(w))) continue;
        // A spin box's own line edit is the spin box to assistive technology.
        if (qobject_cast<QAbstractSpinBox*>(w->parentWidget())) continue;
        const bool interactive = w->focusPolicy() != Qt::NoFocus || qobject_cast<QMenuBar*>(w);
        if (!interactive) continue;
        // What assistive technology reads: the name given, or the text a
        // button or its label shows.
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(w);
        QVERIFY(accessible);
        QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(),
                 qPrintable(QStringLiteral("%1 in %2").arg(w->metaObject()->className(),
                                                          top->metaObject()->className())));
      }
    }
    for (const char* name : {"Bloques", "Textos", "Original", "Traducción", "Medidor", "Buscar",
                             "Filtro", "Estado"})
      QVERIFY2(Named(&window, QString::fromUtf8(name)), name);
  }
};

}  // namespace romscriber::studio::testing

QTEST_MAIN(romscriber::studio::testing::StudioWindowTest)
#include "window_test.moc"
