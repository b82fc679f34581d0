// The ROM and table commands: what the dialog is asked for, what a choice
// records, and that a cancelled or failed command changes nothing.
#include <QDir>

#include "base/app_error.h"
#include "window_harness.h"

using namespace romscriber;
using namespace romscriber::testing;

class CommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void romDialogIsAskedForItsSettings();
  void romChoiceIsMeasuredAndRecorded();
  void secondRomReplacesTheFirst();
  void cancelledRomCommandChangesNothing();
  void failedRomOpenChangesNothingAndCreatesNothing();
  void tableDialogIsAskedForItsSettings();
  void tableLoadIsRecorded();
  void cancelledTableCommandKeepsTheTable();
  void failedTableLoadKeepsThePreviousTable();
  void tablePathsThatAreNotFilesPassInSilence();
  void tableFilesOfEveryShape_data();
  void tableFilesOfEveryShape();
  void namesWithSpacesAndAccentsStayIntact();
  void creditButtonBeepsAndShowsTheCredit();
  void indicatorOptionSwitchesTheField();
};

void CommandsTest::romDialogIsAskedForItsSettings() {
  WindowHarness h;
  h.Click("cmdROM");
  QCOMPARE(h.Dialog.Requests.size(), 1u);
  const OpenFileRequest& request = h.Dialog.Requests[0];
  QCOMPARE(request.Title, QStringLiteral("Abrir ROM"));
  QCOMPARE(request.Folder, Q(h.ProgramFolder));
  QCOMPARE(request.Filters.size(), 11);
  QCOMPARE(request.FilterIndex, 0);
}

void CommandsTest::romChoiceIsMeasuredAndRecorded() {
  WindowHarness h;
  const auto empty = h.File("empty.smc", "");
  h.OpenRom(empty);
  QVERIFY(h.Window->RomLoaded());
  QCOMPARE(h.Window->RomSize(), 0);
  QCOMPARE(h.Message(), QStringLiteral("Abierta ROM: ") + Q(empty));
  QCOMPARE(h.Button("cmdROM")->toolTip(), Q(empty));
}

void CommandsTest::secondRomReplacesTheFirst() {
  WindowHarness h;
  h.OpenRom(h.File("a.smc", "abc"));
  const auto second = h.File("b.gb", std::string(0x8000, 'x'));
  h.OpenRom(second);
  QCOMPARE(h.Window->RomSize(), 0x8000);
  QCOMPARE(h.Window->RomPath(), Q(second));
  QCOMPARE(h.Button("cmdROM")->toolTip(), Q(second));
  QCOMPARE(h.Message(), QStringLiteral("Abierta ROM: ") + Q(second));
}

void CommandsTest::cancelledRomCommandChangesNothing() {
  WindowHarness h;
  h.Click("cmdROM");  // nothing answered: cancelled
  QCOMPARE(h.Message(), QStringLiteral("Bienvenido a Romscriber."));
  QVERIFY(!h.Window->RomLoaded());
  const auto rom = h.File("a.smc", "abcd");
  h.OpenRom(rom);
  h.Click("cmdROM");
  QCOMPARE(h.Window->RomPath(), Q(rom));
  QCOMPARE(h.Window->RomSize(), 4);
  QCOMPARE(h.Message(), QStringLiteral("Abierta ROM: ") + Q(rom));
}

void CommandsTest::failedRomOpenChangesNothingAndCreatesNothing() {
  WindowHarness h;
  const auto rom = h.File("a.smc", "abcd");
  h.OpenRom(rom);
  const auto missing = h.Folder.Path() / "missing.smc";
  h.OpenRom(missing);
  QCOMPARE(h.Message(), QStringLiteral("Error #: 53"));
  QVERIFY(!std::filesystem::exists(missing));
  h.OpenRom(h.Folder.Path() / "no-such-folder" / "x.smc");
  QCOMPARE(h.Message(), QStringLiteral("Error #: 76"));
  h.OpenRom(h.Folder.Path());
  QCOMPARE(h.Message(), QStringLiteral("Error #: 75"));
  QCOMPARE(h.Window->RomPath(), Q(rom));
  QCOMPARE(h.Window->RomSize(), 4);
  QCOMPARE(h.Button("cmdROM")->toolTip(), Q(rom));
  QVERIFY(h.Window->RomLoaded());
}

void CommandsTest::tableDialogIsAskedForItsSettings() {
  WindowHarness h;
  h.Click("cmdTable");
  QCOMPARE(h.Dialog.Requests.size(), 1u);
  const OpenFileRequest& request = h.Dialog.Requests[0];
  QCOMPARE(request.Title, QStringLiteral("Abrir tabla thingy"));
  QCOMPARE(request.Folder, Q(h.ProgramFolder));
  QCOMPARE(request.Filters.size(), 1);
  QCOMPARE(request.Filters[0].Description, QStringLiteral("Tablas thingy (*.tbl)"));
  QCOMPARE(request.Filters[0].Pattern, QStringLiteral("*.tbl"));
  QCOMPARE(request.FilterIndex, 2);
  // A cancel on the very first use shows nothing.
  QCOMPARE(h.Message(), QStringLiteral("Bienvenido a Romscriber."));
}

void CommandsTest::tableLoadIsRecorded() {
  WindowHarness h;
  const auto table = h.File("game.tbl", "41=A\r\n8A05=ga\r\n/FF\r\n");
  h.OpenTable(table);
  QVERIFY(h.Window->TableLoaded());
  QCOMPARE(h.Message(), QStringLiteral("Abierta Tabla: ") + Q(table));
  QCOMPARE(h.Button("cmdTable")->toolTip(), Q(table));
  QCOMPARE(h.Window->LoadedTable().SingleTexts[0x41], std::string("A"));
  QCOMPARE(h.Window->LoadedTable().DoubleCodes[0], std::string("8A05"));
  // An empty file completes a load with an empty table.
  const auto empty = h.File("empty.tbl", "");
  h.OpenTable(empty);
  QCOMPARE(h.Message(), QStringLiteral("Abierta Tabla: ") + Q(empty));
  QVERIFY(h.Window->LoadedTable().SingleTexts[0x41].empty());
}

void CommandsTest::cancelledTableCommandKeepsTheTable() {
  WindowHarness h;
  const auto table = h.File("game.tbl", "41=A\r\n");
  h.OpenTable(table);
  h.Click("cmdTable");
  QVERIFY(h.Window->TableLoaded());
  QCOMPARE(h.Window->LoadedTable().SingleTexts[0x41], std::string("A"));
  QCOMPARE(h.Message(), QStringLiteral("Abierta Tabla: ") + Q(table));
  QCOMPARE(h.Button("cmdTable")->toolTip(), Q(table));
}

void CommandsTest::failedTableLoadKeepsThePreviousTable() {
  WindowHarness h;
  const auto good = h.File("good.tbl", "41=A\r\n");
  // 5001 two-byte entries: the 5001st is one too many.
  std::string tooMany;
  for (int i = 0; i < 5001; ++i)
    tooMany += QStringLiteral("%1=x\r\n").arg(i, 4, 16, QLatin1Char('0')).toUpper().toStdString();
  const auto bad = h.File("too-many.tbl", tooMany);
  h.OpenTable(bad);
  QCOMPARE(h.Message(), QStringLiteral("Error #:9"));
  QVERIFY(!h.Window->TableLoaded());
  h.OpenTable(good);
  h.OpenTable(bad);
  QCOMPARE(h.Message(), QStringLiteral("Error #:9"));
  QVERIFY(h.Window->TableLoaded());
  QCOMPARE(h.Window->LoadedTable().SingleTexts[0x41], std::string("A"));
  QVERIFY(h.Window->LoadedTable().DoubleCodes[0].empty());
  QCOMPARE(h.Button("cmdTable")->toolTip(), Q(good));
  // A name that names no file is not created.
  const auto missing = h.Folder.Path() / "missing.tbl";
  h.OpenTable(missing);
  QCOMPARE(h.Message(), QStringLiteral("Error #:53"));
  QVERIFY(!std::filesystem::exists(missing));
  QCOMPARE(h.Window->LoadedTable().SingleTexts[0x41], std::string("A"));
}

void CommandsTest::tablePathsThatAreNotFilesPassInSilence() {
  WindowHarness h;
  h.OpenTable(h.File("good.tbl", "41=A\r\n"));
  h.Get<QLabel>("m")->setText(QStringLiteral("antes"));
  h.OpenTable(h.Folder.Path());   // a folder
  h.OpenTable("/proc/self/mem");  // a file that cannot be read
  QCOMPARE(h.Message(), QStringLiteral("antes"));
  QCOMPARE(h.Window->LoadedTable().SingleTexts[0x41], std::string("A"));
}

void CommandsTest::tableFilesOfEveryShape_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<bool>("loads");
  QTest::addColumn<int>("slot");         // single-byte slot to look at
  QTest::addColumn<QByteArray>("text");  // what it must hold afterwards
  const auto bytes = [](const std::string& s) { return QByteArray::fromStdString(s); };
  std::string twoByte, threeByte;
  for (int i = 0; i < 5001; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "%04X=d\r\n", i);
    twoByte += line;
    std::snprintf(line, sizeof line, "%06X=t\r\n", i);
    threeByte += line;
  }
  // Only CR bytes: no entry at all, and the load completes.
  QTest::newRow("only CR") << bytes("\r\r\r\r") << true << 0x41 << QByteArray();
  // LF line ends, as saved on Linux.
  QTest::newRow("LF only") << bytes("40=@\n41=A\n") << true << 0x41 << QByteArray("A");
  // CR line ends, as saved on old Macs.
  QTest::newRow("CR only") << bytes("40=@\r41=A\r") << true << 0x41 << QByteArray("A");
  // NUL and FF are bytes of the text like any other.
  QTest::newRow("NUL and FF") << bytes(std::string("41=\0\xFF\r\n", 7)) << true << 0x41
                              << QByteArray("\0\xFF", 2);
  // The last line keeps all its bytes without CR LF.
  QTest::newRow("no final CR LF") << bytes("40=@\r\n41=AB") << true << 0x41 << QByteArray("AB");
  // One line of 50 MiB.
  QTest::newRow("50 MiB line") << bytes("41=" + std::string(50 << 20, 'x')) << true << 0x41
                               << QByteArray(50 << 20, 'x');
  // One two-byte or three-byte entry too many.
  QTest::newRow("5001 two-byte") << bytes(twoByte) << false << 0x41 << QByteArray("old");
  QTest::newRow("5001 three-byte") << bytes(threeByte) << false << 0x41 << QByteArray("old");
}

void CommandsTest::tableFilesOfEveryShape() {
  QFETCH(QByteArray, bytes);
  QFETCH(bool, loads);
  QFETCH(int, slot);
  QFETCH(QByteArray, text);
  WindowHarness h;
  const auto old = h.File("old.tbl", "41=old\r\n");
  h.OpenTable(old);
  const auto table = h.File("shape.tbl", bytes.toStdString());
  h.OpenTable(table);
  QCOMPARE(h.Message(),
           loads ? QStringLiteral("Abierta Tabla: ") + Q(table) : QStringLiteral("Error #:9"));
  QCOMPARE(h.Button("cmdTable")->toolTip(), Q(loads ? table : old));
  QVERIFY(h.Window->LoadedTable().SingleTexts[slot] == text.toStdString());
  // The window goes on working with whichever table it holds.
  h.OpenRom(h.File("rom", "\x41\x42"));
  h.SetRange(QStringLiteral("0"), QStringLiteral("1"));
  h.Click("cmdExtraer");
  // A text past 65,000 characters is written as a script of its own.
  const int scripts = text.size() > 65000 ? 2 : 1;
  QCOMPARE(h.Message(),
           QString::fromUtf8("Extracción finalizada. Se han extraido %1 scripts.").arg(scripts));
  QCOMPARE(h.Script("0").substr(0, text.size()), text.toStdString());
}

void CommandsTest::namesWithSpacesAndAccentsStayIntact() {
  WindowHarness h(" Traducción ゲーム");
  const auto folder = h.Folder.Path() / "Mis ROMs ñandú";
  std::filesystem::create_directories(folder);
  const auto rom = folder / "Juego (japonés) ドラゴン.smc";
  WriteBytes(rom, "HOLA");
  const auto table = folder / "tabla ñ.tbl";
  WriteBytes(table, "48=H\r\n");
  h.OpenRom(rom);
  QCOMPARE(h.Message(), QString::fromUtf8("Abierta ROM: ") + Q(rom));
  QVERIFY(h.Message().contains(QString::fromUtf8("Juego (japonés) ドラゴン.smc")));
  QCOMPARE(h.Window->RomSize(), 4);
  h.OpenTable(table);
  QVERIFY(h.Message().endsWith(QString::fromUtf8("Mis ROMs ñandú/tabla ñ.tbl")));
  QCOMPARE(h.Window->LoadedTable().SingleTexts[0x48], std::string("H"));
}

void CommandsTest::creditButtonBeepsAndShowsTheCredit() {
  WindowHarness h;
  h.Click("cmdAcerca");
  h.Click("cmdAcerca");
  QCOMPARE(h.Beeps.Count, 2);
  QCOMPARE(h.Message(), QString::fromUtf8(kCreditLine));
  QVERIFY(!h.Message().isEmpty());
}

void CommandsTest::indicatorOptionSwitchesTheField() {
  WindowHarness h;
  auto* box = h.Get<QCheckBox>("ckIndicador");
  QLineEdit* field = h.Field("txtByteIni");
  QTest::mouseClick(box, Qt::LeftButton);
  QVERIFY(field->isEnabled());
  field->setText(QStringLiteral("FE"));
  QTest::mouseClick(box, Qt::LeftButton);
  QVERIFY(!field->isEnabled());
  QVERIFY(field->text().isEmpty());
  QTest::mouseClick(box, Qt::LeftButton);
  QVERIFY(field->isEnabled());
  QVERIFY(field->text().isEmpty());  // nothing earlier comes back
}

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
