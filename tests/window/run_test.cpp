// "Extraer": the checks in their order, the run in the window, stopping,
// closing during a run, the timer, and the faults a run can meet.
#include <sys/resource.h>

#include <csignal>

#include "base/app_error.h"
#include "window_harness.h"

using namespace romscriber;
using namespace romscriber::testing;

namespace {

// A table where every byte is a letter and FF ends a script.
std::string LetterTable() {
  std::string table;
  for (int b = 0; b < 0xFF; ++b) {
    char line[16];
    std::snprintf(line, sizeof line, "%02X=%c\r\n", b, 'a' + b % 26);
    table += line;
  }
  return table + "/FF\r\n";
}

// `count` scripts of `length` letters, each followed by an FF.
std::string LetterRom(int count, int length) {
  std::string rom;
  for (int i = 0; i < count; ++i)
    rom += std::string(length, '\x01') + '\xFF';
  return rom;
}

}  // namespace

class RunTest : public QObject {
  Q_OBJECT

 private slots:
  void checksRunInOrderWithTheirMessages();
  void failedCheckBeepsAndChangesNothingElse();
  void offsetsAreComparedIn64Bits();
  void overflowingOffsetTakesTheErrorPath();
  void passingClickCreatesTheScriptsFolder();
  void extractsTheSampleLikeTheDumper_data();
  void extractsTheSampleLikeTheDumper();
  void inputsAreLockedDuringARun();
  void stopInFreeModeWritesThePendingText();
  void stopInBlockModeDropsTheBlockUnderWay();
  void noSecondRunStartsWhileStopping();
  void closingDuringARunEndsItWithoutWriting();
  void timerCountsSecondsMinutesAndHours();
  void newRunStartsTheTimeAtZero();
  void progressShowsTheLastPositionAtTheEnd();
  void romFaultsBeforeTheRun_data();
  void romFaultsBeforeTheRun();
  void romTruncatedDuringTheRun();
  void scriptsFolderFaults();
  void writeThatFailsPartWayLeavesNoHalfFile();
  void namesWithSpacesAndAccentsWriteCorrectly();

 private:
  // Loads a ROM and a table into a fresh window.
  std::unique_ptr<WindowHarness> Ready(const std::string& rom, const std::string& table,
                                       const std::string& suffix = "") {
    auto h = std::make_unique<WindowHarness>(suffix);
    h->OpenRom(h->File("game.rom", rom));
    h->OpenTable(h->File("game.tbl", table));
    return h;
  }
  // The window is idle and takes a new run.
  void VerifyIdle(WindowHarness& h) {
    QVERIFY(!h.Window->InRun());
    QCOMPARE(h.Button("cmdExtraer")->text(), QStringLiteral("Extraer"));
    for (const char* name : {"cmdROM", "cmdTable", "txtOffsetIni", "txtOffsetFin", "txtCierreI",
                             "txtCierreD", "cmdAcerca", "ckIndicador"})
      QVERIFY2(h.Window->findChild<QWidget*>(name)->isEnabled(), name);
    QVERIFY(!h.Window->findChild<QTimer*>("Tiempo")->isActive());
  }
};

void RunTest::checksRunInOrderWithTheirMessages() {
  WindowHarness h;
  const auto message = [&] {
    h.Click("cmdExtraer");
    return h.Message();
  };
  QCOMPARE(message(), QStringLiteral("Debe cargar la ROM"));
  h.OpenTable(h.File("t.tbl", "41=A\r\n"));
  QCOMPARE(message(), QStringLiteral("Debe cargar la ROM"));
  WindowHarness g;
  g.OpenRom(g.File("rom", std::string(0x8000, 'A')));
  g.Click("cmdExtraer");
  QCOMPARE(g.Message(), QStringLiteral("Debe cargar la Tabla Thingy"));
  g.OpenTable(g.File("t.tbl", "41=A\r\n"));
  const auto check = [&](const char* start, const char* end, const char* left, const char* right,
                         const QString& expected) {
    g.SetRange(QString::fromLatin1(start), QString::fromLatin1(end));
    g.SetText("txtCierreI", QString::fromLatin1(left));
    g.SetText("txtCierreD", QString::fromLatin1(right));
    g.Click("cmdExtraer");
    QCOMPARE(g.Message(), expected);
  };
  check("", "", "", "", QStringLiteral("Debe indicar un valor para el Offset Inicial"));
  check("0", "", "", "", QStringLiteral("Debe indicar un valor para el Offset Final"));
  check("0", "10", "", "", QStringLiteral("Debe indicar una llave de Cierre Izquierda"));
  check("0", "10", "<", "", QStringLiteral("Debe indicar una llave de Cierre Derecha"));
  check("0", "0", "<", ">", QStringLiteral("Offset final debe ser mayor."));
  check("10", "0", "<", ">", QStringLiteral("Offset final debe ser distinto a cero"));
  check("20", "10", "<", ">", QStringLiteral("Offset Final debe ser mayor que el Offset Inicial"));
  check("8001", "8002", "<", ">",
        QString::fromUtf8("Offsets inicial no debe superar el tamaño de la ROM."));
  check("0", "8001", "<", ">",
        QString::fromUtf8("Offsets final no debe superar el tamaño de la ROM."));
  g.SetIndicator(QStringLiteral("F"));
  check("0", "8000", "<", ">",
        QStringLiteral("Debe indicar un valor correcto para el byte inicial."));
  // Lower-case offsets pass; the end offset may equal the ROM's size.
  g.SetIndicator(QString());
  check("1a0", "8000", "<", ">",
        QString::fromUtf8("Extracción finalizada. Se han extraido 1 scripts."));
}

void RunTest::failedCheckBeepsAndChangesNothingElse() {
  WindowHarness h;
  h.OpenRom(h.File("rom", "abc"));
  h.Field("txtOffsetIni")->setFocus();
  h.Beeps.Count = 0;
  h.Click("cmdExtraer");
  QCOMPARE(h.Beeps.Count, 1);
  QCOMPARE(h.Message(), QStringLiteral("Debe cargar la Tabla Thingy"));
  VerifyIdle(h);
  QVERIFY(!std::filesystem::exists(h.Scripts()));
}

void RunTest::offsetsAreComparedIn64Bits() {
  auto h = Ready("abcd", "41=A\r\n");
  h->SetRange(QStringLiteral("0"), QStringLiteral("7FFFFFFF"));
  h->Click("cmdExtraer");
  QCOMPARE(h->Message(), QString::fromUtf8("Offsets final no debe superar el tamaño de la ROM."));
  h->SetRange(QStringLiteral("7FFFFFFE"), QStringLiteral("7FFFFFFF"));
  h->Click("cmdExtraer");
  QCOMPARE(h->Message(), QString::fromUtf8("Offsets inicial no debe superar el tamaño de la ROM."));
  // A 2 GiB ROM (sparse) passes the checks and runs at its very end.
  const auto big = h->Folder.Path() / "big.rom";
  WriteBytes(big, "");
  std::filesystem::resize_file(big, std::uintmax_t{1} << 31);
  h->OpenRom(big);
  QCOMPARE(h->Window->RomSize(), std::int64_t{1} << 31);
  h->SetRange(QStringLiteral("7FFFFFFE"), QStringLiteral("7FFFFFFF"));
  h->Click("cmdExtraer");
  QCOMPARE(h->Message(), QString::fromUtf8("Extracción finalizada. Se han extraido 1 scripts."));
  QCOMPARE(h->Script("2147483646"), std::string("<00><00>\r\n"));
  QCOMPARE(h->Progress(), QStringLiteral("1 (100%)"));
  // Past what an offset can hold, the conversion itself fails.
  h->SetRange(QStringLiteral("0"), QStringLiteral("80000000"));
  h->Click("cmdExtraer");
  QCOMPARE(h->Message(),
           QStringLiteral("Error: ") + QString::fromStdString(AppError(6).Description()));
}

void RunTest::overflowingOffsetTakesTheErrorPath() {
  auto h = Ready("abcd", "41=A\r\n");
  h->SetRange(QStringLiteral("0"), QStringLiteral("1000000000000000000"));
  h->Beeps.Count = 0;
  h->Click("cmdExtraer");
  QCOMPARE(h->Message(),
           QStringLiteral("Error: ") + QString::fromStdString(AppError(6).Description()));
  QCOMPARE(h->Beeps.Count, 0);
  VerifyIdle(*h);
}

void RunTest::passingClickCreatesTheScriptsFolder() {
  auto h = Ready("", "");  // an empty ROM: offsets 0..0 cannot pass, so use a tiny one
  h->OpenRom(h->File("one.rom", "\x01"));
  h->SetRange(QStringLiteral("1"), QStringLiteral("1"));
  h->Click("cmdExtraer");
  QVERIFY(!std::filesystem::exists(h->Scripts()));  // a failed check creates nothing
  h->SetRange(QStringLiteral("0"), QStringLiteral("1"));
  h->SetIndicator(QStringLiteral("FE"));  // no block anywhere: nothing is written
  h->Click("cmdExtraer");
  QCOMPARE(h->Message(), QString::fromUtf8("Extracción finalizada. Se han extraido 0 scripts."));
  QVERIFY(std::filesystem::is_directory(h->Scripts()));
  QCOMPARE(h->ScriptFileCount(), 0);
}

void RunTest::extractsTheSampleLikeTheDumper_data() {
  QTest::addColumn<QString>("indicator");
  QTest::addColumn<QString>("left");
  QTest::addColumn<QString>("right");
  QTest::addColumn<QString>("expected");
  QTest::newRow("free") << QString() << "<"
                        << ">"
                        << "free";
  QTest::newRow("block") << "FF"
                         << "["
                         << "]"
                         << "block";
}

void RunTest::extractsTheSampleLikeTheDumper() {
  QFETCH(QString, indicator);
  QFETCH(QString, left);
  QFETCH(QString, right);
  QFETCH(QString, expected);
  const std::filesystem::path examples = ROMSCRIBER_EXAMPLES;
  WindowHarness h;
  h.OpenRom(examples / "sample.rom");
  h.OpenTable(examples / "sample.tbl");
  h.SetRange(QStringLiteral("0"), QStringLiteral("98"));
  h.SetText("txtCierreI", left);
  h.SetText("txtCierreD", right);
  h.SetIndicator(indicator);
  h.Beeps.Count = 0;
  h.Click("cmdExtraer");
  int files = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(examples / "expected" / expected.toStdString())) {
    QCOMPARE(ReadBytes(h.Scripts() / entry.path().filename()), ReadBytes(entry.path()));
    ++files;
  }
  QCOMPARE(h.ScriptFileCount(), files);
  QCOMPARE(h.Message(),
           QString::fromUtf8("Extracción finalizada. Se han extraido %1 scripts.").arg(files));
  QCOMPARE(h.Beeps.Count, 1);
  VerifyIdle(h);
  QCOMPARE(h.Field("txtByteIni")->isEnabled(), !indicator.isEmpty());
}

void RunTest::inputsAreLockedDuringARun() {
  auto h = Ready(LetterRom(100, 200), LetterTable());
  h->SetRange(QStringLiteral("0"), QStringLiteral("4E84"));
  h->SetIndicator(QStringLiteral("01"));
  QStringList enabled;
  QString caption, message;
  bool timerActive = false;
  h->DuringRun([&] {
    for (QWidget* w : h->Window->findChildren<QWidget*>())
      if (w->isEnabled() && w->focusPolicy() != Qt::NoFocus) enabled << w->objectName();
    caption = h->Button("cmdExtraer")->text();
    message = h->Message();
    timerActive = h->Window->findChild<QTimer*>("Tiempo")->isActive();
  });
  h->Click("cmdExtraer");
  QCOMPARE(enabled, QStringList{"cmdExtraer"});
  QCOMPARE(caption, QStringLiteral("Detener"));
  QCOMPARE(message, QStringLiteral("Analizando bytes en la ROM..."));
  QVERIFY(timerActive);
  VerifyIdle(*h);
  QVERIFY(h->Field("txtByteIni")->isEnabled());
}

void RunTest::stopInFreeModeWritesThePendingText() {
  // No end entry: the whole range is one pending script until the stop.
  auto h = Ready(std::string(20000, '\x01'), LetterTable());
  h->SetRange(QStringLiteral("0"), QStringLiteral("4E1F"));
  QString messageInRun;
  h->DuringRunAt(3, [&] {
    messageInRun = h->Message();
    h->Click("cmdExtraer");  // "Detener"
  });
  h->Beeps.Count = 0;
  h->Click("cmdExtraer");
  QCOMPARE(messageInRun, QStringLiteral("Analizando bytes en la ROM..., sea paciente por favor."));
  QCOMPARE(h->Message(), QStringLiteral("Proceso cancelado. Se han extraido 1 scripts."));
  QCOMPARE(h->Beeps.Count, 1);
  QVERIFY(h->Window->StopRequested());
  // The window is serviced before the first position and then every 4096:
  // the stop at the third servicing comes before position 8192 is decoded.
  QCOMPARE(h->Script("0"), std::string(8192, 'b') + "\r\n");
  VerifyIdle(*h);
}

void RunTest::stopInBlockModeDropsTheBlockUnderWay() {
  // One long block: the stop comes inside it.
  auto h = Ready(std::string(1, '\x02') + std::string(20000, '\x01') + '\xFF', LetterTable());
  h->SetRange(QStringLiteral("0"), QStringLiteral("4E21"));
  h->SetIndicator(QStringLiteral("02"));
  h->DuringRun([&] { h->Click("cmdExtraer"); });
  h->Click("cmdExtraer");
  QCOMPARE(h->Message(), QStringLiteral("Proceso cancelado. Se han extraido 0 scripts."));
  QCOMPARE(h->ScriptFileCount(), 0);
  VerifyIdle(*h);
}

void RunTest::noSecondRunStartsWhileStopping() {
  auto h = Ready(LetterRom(40, 500), LetterTable());
  h->SetRange(QStringLiteral("0"), QStringLiteral("4E20"));
  bool inRunAfter = false;
  h->DuringRun([&] {
    h->Click("cmdExtraer");  // stop: the button reads "Extraer" again
    h->Click("cmdExtraer");  // and is clicked before the run has noticed
    inRunAfter = h->Window->InRun();
  });
  h->Click("cmdExtraer");
  QVERIFY(inRunAfter);
  QVERIFY(h->Message().startsWith(QStringLiteral("Proceso cancelado. Se han extraido ")));
  QVERIFY(h->ScriptFileCount() < 40);
  VerifyIdle(*h);
}

void RunTest::closingDuringARunEndsItWithoutWriting() {
  auto h = Ready(std::string(20000, '\x01'), LetterTable());
  h->Window->show();
  h->SetRange(QStringLiteral("0"), QStringLiteral("4E1F"));
  bool closed = false;
  QObject::connect(h->Window.get(), &frmMain::Closed, [&] { closed = true; });
  h->DuringRun([&] { h->Window->close(); });
  h->Beeps.Count = 0;
  h->Click("cmdExtraer");
  QVERIFY(closed);
  QVERIFY(!h->Window->InRun());
  QVERIFY(!h->Window->isVisible());
  QCOMPARE(h->Beeps.Count, 0);  // no end of run
  QCOMPARE(h->Message(), QStringLiteral("Analizando bytes en la ROM..., sea paciente por favor."));
  QCOMPARE(h->ScriptFileCount(), 0);  // the pending text is not written
}

void RunTest::timerCountsSecondsMinutesAndHours() {
  WindowHarness h;
  QTimer* timer = h.Window->findChild<QTimer*>("Tiempo");
  const auto ticks = [&](int n) {
    for (int i = 0; i < n; ++i)
      QMetaObject::invokeMethod(timer, "timeout");
    return h.Time();
  };
  QCOMPARE(h.Time(), QStringLiteral("0h, 0m, 0s."));
  QCOMPARE(ticks(59), QStringLiteral("0h, 0m, 59s."));
  QCOMPARE(ticks(1), QStringLiteral("0h, 1m, 0s."));
  QCOMPARE(ticks(3600 - 60), QStringLiteral("1h, 0m, 0s."));
  QCOMPARE(ticks(2 * 3600 - 3600 + 15 * 60 + 7), QStringLiteral("2h, 15m, 7s."));
}

void RunTest::newRunStartsTheTimeAtZero() {
  auto h = Ready(LetterRom(3, 10), LetterTable());
  h->SetRange(QStringLiteral("0"), QStringLiteral("20"));
  QTimer* timer = h->Window->findChild<QTimer*>("Tiempo");
  for (int i = 0; i < 185; ++i)
    QMetaObject::invokeMethod(timer, "timeout");
  QCOMPARE(h->Time(), QStringLiteral("0h, 3m, 5s."));
  h->Click("cmdExtraer");
  QCOMPARE(h->Time(), QStringLiteral("0h, 0m, 0s."));
}

void RunTest::progressShowsTheLastPositionAtTheEnd() {
  // A 4 MiB run; the window is serviced at its usual rate, and the figures
  // are printed for the record.
  const int size = 4 << 20;
  auto h = Ready(LetterRom(size / 4096, 4095), LetterTable());
  h->Window->show();
  h->SetRange(QStringLiteral("0"), QString::number(size - 1, 16));
  QElapsedTimer clock;
  clock.start();
  h->Click("cmdExtraer");
  const qint64 ms = clock.elapsed();
  QCOMPARE(h->Progress(), QStringLiteral("4194303 (100%)"));
  QCOMPARE(h->ScriptFileCount(), size / 4096);
  const ServiceStats& stats = h->Window->LastRunStats();
  qInfo("4 MiB run: %lld ms, window serviced %d times, longest wait %lld ms", ms, stats.Services,
        stats.LongestGapMs);
}

void RunTest::romFaultsBeforeTheRun_data() {
  QTest::addColumn<int>("fault");
  QTest::addColumn<int>("number");
  QTest::newRow("removed") << 0 << 53;
  QTest::newRow("replaced by a folder") << 1 << 75;
  QTest::newRow("truncated") << 2 << 62;
}

void RunTest::romFaultsBeforeTheRun() {
  QFETCH(int, fault);
  QFETCH(int, number);
  auto h = Ready(LetterRom(10, 10), LetterTable());
  const auto rom = h->Folder.Path() / "game.rom";
  h->SetRange(QStringLiteral("0"), QStringLiteral("6D"));
  if (fault == 0) std::filesystem::remove(rom);
  if (fault == 1) {
    std::filesystem::remove(rom);
    std::filesystem::create_directory(rom);
  }
  if (fault == 2) std::filesystem::resize_file(rom, 50);
  h->Beeps.Count = 0;
  h->Click("cmdExtraer");
  QCOMPARE(h->Message(),
           QStringLiteral("Error: ") + QString::fromStdString(AppError(number).Description()));
  QCOMPARE(h->Beeps.Count, 0);
  QCOMPARE(h->ScriptFileCount(), 0);
  VerifyIdle(*h);
  // Choosing the ROM again brings the window back to work.
  if (fault == 1) std::filesystem::remove(rom);
  WriteBytes(rom, LetterRom(10, 10));
  h->OpenRom(rom);
  h->Click("cmdExtraer");
  QCOMPARE(h->Message(), QString::fromUtf8("Extracción finalizada. Se han extraido 10 scripts."));
}

void RunTest::romTruncatedDuringTheRun() {
  // 1000 scripts of 255 letters: the ROM is read in chunks, so a file cut
  // short after the first chunk fails the next read.
  auto h = Ready(LetterRom(1000, 255), LetterTable());
  const auto rom = h->Folder.Path() / "game.rom";
  h->SetRange(QStringLiteral("0"), QStringLiteral("3E7FF"));
  h->DuringRunAt(10, [&] { std::filesystem::resize_file(rom, 1000); });
  h->Click("cmdExtraer");
  QCOMPARE(h->Message(),
           QStringLiteral("Error: ") + QString::fromStdString(AppError(62).Description()));
  const int written = h->ScriptFileCount();
  QVERIFY(written > 0 && written < 1000);
  for (const auto& entry : std::filesystem::directory_iterator(h->Scripts()))
    QCOMPARE(ReadBytes(entry.path()), std::string(255, 'b') + "<END>\r\n");
  VerifyIdle(*h);
}

void RunTest::scriptsFolderFaults() {
  {
    // "Scripts" is an ordinary file.
    auto h = Ready(LetterRom(2, 3), LetterTable());
    WriteBytes(h->Scripts(), "not a folder");
    h->SetRange(QStringLiteral("0"), QStringLiteral("7"));
    h->Click("cmdExtraer");
    QCOMPARE(h->Message(),
             QString::fromUtf8("Error: ") + QString::fromStdString(AppError(76).Description()));
    QCOMPARE(ReadBytes(h->Scripts()), std::string("not a folder"));
    VerifyIdle(*h);
  }
  {
    // The program folder's path runs through a regular file, which no one,
    // root included, can make a folder in.
    TempFolder folder;
    WriteBytes(folder.Path() / "file", "x");
    ScriptedDialog dialog;
    CountingBeeper beeps;
    frmMain window(folder.Path() / "file" / "program", dialog, beeps);
    WriteBytes(folder.Path() / "game.rom", LetterRom(2, 3));
    WriteBytes(folder.Path() / "game.tbl", LetterTable());
    dialog.Answers = {Q(folder.Path() / "game.rom"), Q(folder.Path() / "game.tbl")};
    QTest::mouseClick(window.findChild<QPushButton*>("cmdROM"), Qt::LeftButton);
    QTest::mouseClick(window.findChild<QPushButton*>("cmdTable"), Qt::LeftButton);
    window.findChild<QLineEdit*>("txtOffsetIni")->setText("0");
    window.findChild<QLineEdit*>("txtOffsetFin")->setText("7");
    QTest::mouseClick(window.findChild<QPushButton*>("cmdExtraer"), Qt::LeftButton);
    QCOMPARE(window.findChild<QLabel*>("m")->text(),
             QStringLiteral("Error: ") + QString::fromStdString(AppError(76).Description()));
    QVERIFY(!window.InRun());
    QCOMPARE(window.findChild<QPushButton*>("cmdExtraer")->text(), QStringLiteral("Extraer"));
  }
}

void RunTest::writeThatFailsPartWayLeavesNoHalfFile() {
  // Small scripts, then one bigger than the file-size limit.
  auto h = Ready(LetterRom(3, 100) + std::string(40000, '\x01') + '\xFF', LetterTable());
  h->SetRange(QStringLiteral("0"), QString::number(3 * 101 + 40001 - 1, 16));
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  rlimit limited = before;
  limited.rlim_cur = 20000;
  std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &limited);
  h->Click("cmdExtraer");
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, SIG_DFL);
  QVERIFY(h->Message().startsWith(QStringLiteral("Error: ")));
  QCOMPARE(h->ScriptFileCount(), 3);  // no half-written file, no temporary left
  for (const char* name : {"0", "101", "202"})
    QCOMPARE(h->Script(name), std::string(100, 'b') + "<END>\r\n");
  VerifyIdle(*h);
}

void RunTest::namesWithSpacesAndAccentsWriteCorrectly() {
  auto h = Ready(LetterRom(2, 3), LetterTable(), " Traducción ゲーム");
  h->SetRange(QStringLiteral("0"), QStringLiteral("7"));
  h->Click("cmdExtraer");
  QCOMPARE(h->Message(), QString::fromUtf8("Extracción finalizada. Se han extraido 2 scripts."));
  QCOMPARE(h->Script("4"), std::string("bbb<END>\r\n"));
}

QTEST_MAIN(RunTest)
#include "run_test.moc"
