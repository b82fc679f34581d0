// The studio on the insertion bench's project (65,536 strings, every one
// translated, 10,000-entry table, 4 MiB LoROM), through its real window
// without a screen: opening (dump and read the scripts), a keystroke in the
// editor to an updated meter and block bytes, "Generar ROM" after one edit,
// saving, and scrolling the table from top to bottom. Prints the figures.
//
//   romscriber_studio_bench [--runs N]
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableView>
#include <cstdio>
#include <cstring>

#include "base/file_io.h"
#include "bench_folder.h"
#include "insert_bench_project.h"
#include "session/session.h"
#include "studio/dialogs.h"
#include "studio/studio_window.h"

namespace {

namespace fs = std::filesystem;
using romscriber::studio::StudioWindow;

template <class W>
W* Named(QWidget* window, const char* name) {
  for (W* w : window->findChildren<W*>())
    if (w->accessibleName() == QString::fromUtf8(name)) return w;
  return nullptr;
}

double Ms(const QElapsedTimer& t) {
  return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// Runs the event loop until `done` is set.
void Wait(const bool& done) {
  while (!done) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int runs = 3;
  if (argc == 3 && std::strcmp(argv[1], "--runs") == 0) runs = std::max(1, std::atoi(argv[2]));

  const romscriber::bench::TempFolder temp("romscriber-studio-bench");
  const fs::path& folder = temp.Path();
  const fs::path project = romscriber::bench::WriteInsertBenchProject(folder);
  // Every string translated, in TSV scripts the project names, and an
  // [output] ROM.
  {
    romscriber::bench::WriteTranslatedScripts(project, folder / "trad");
    const std::string text = romscriber::ReadWholeFile(project);
    romscriber::WriteFileWhole(project, {"scripts = \"trad\"\nformat = \"tsv\"\n" + text +
                                             "\n[output]\nrom = \"nueva.sfc\"\n"});
  }

  romscriber::studio::SilentAsker asker;
  int failed = 0;
  for (int run = 0; run < runs; ++run) {
    StudioWindow window(asker);
    window.resize(1180, 720);
    window.show();
    QApplication::processEvents();

    QElapsedTimer t;
    t.start();
    bool done = false, ok = false;
    window.OpenProject(QString::fromStdString(project.string()), [&](bool opened) {
      ok = opened;
      done = true;
    });
    Wait(done);
    const double open = Ms(t);
    if (!ok) {
      ++failed;
      continue;
    }

    // Keystrokes: from the key event to the meter and the block's bytes
    // shown again (all of it happens before the event returns).
    window.SelectString(0, 30000);
    auto* editor = Named<QPlainTextEdit>(&window, "Traducción");
    editor->setFocus();
    // Typing before the end token, as a translator adds to a line.
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(static_cast<int>(editor->toPlainText().size()) - 5);
    editor->setTextCursor(cursor);
    double worst = 0, total = 0;
    const int keys = 40;
    for (int k = 0; k < keys; ++k) {
      const QChar c = QLatin1Char("abcdefgh"[k % 8]);
      QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
      t.restart();
      QApplication::sendEvent(editor, &press);
      const double ms = Ms(t);
      worst = std::max(worst, ms);
      total += ms;
      // The keystroke reached the session, and the meter shows its bytes.
      const romscriber::studio::Workbench& bench = *window.Bench();
      const QString expected = QStringLiteral("Bytes: %1 ").arg(bench.StandingOf(0, 30000).Bytes);
      if (QString::fromStdString(bench.String(0, 30000).Translation) != editor->toPlainText() ||
          !window.MeterText().startsWith(expected))
        ++failed;
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
      QApplication::sendEvent(editor, &release);
    }

    // "Generar ROM" after that one edit (a save first, as the window does).
    t.restart();
    done = false;
    QString rom;
    window.GenerateRom([&](const QString& path) {
      rom = path;
      done = true;
    });
    Wait(done);
    const double generate = Ms(t);
    if (rom.isEmpty()) {
      std::printf("no ROM: %s\n", window.StatusText().toUtf8().constData());
      ++failed;
    }

    // A save after one more edit, alone.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("z"));
    QApplication::sendEvent(editor, &press);
    t.restart();
    done = false;
    window.Save([&](bool) { done = true; });
    Wait(done);
    const double save = Ms(t);

    // Scrolling the whole table, a page at a time, each page painted.
    auto* table = Named<QTableView>(&window, "Textos");
    QScrollBar* bar = table->verticalScrollBar();
    bar->setValue(0);
    double worstPage = 0;
    int pages = 0;
    t.restart();
    for (int v = 0; v < bar->maximum() && pages < 400; v += bar->pageStep() * 40, ++pages) {
      QElapsedTimer page;
      page.start();
      bar->setValue(v);
      table->viewport()->repaint();
      worstPage = std::max(worstPage, Ms(page));
    }
    std::printf("run %d: open %.0f ms; keystroke %.2f ms on average, %.2f ms at worst; "
                "Generar ROM after one edit %.0f ms; save %.0f ms; %d pages scrolled, %.2f ms at worst\n",
                run + 1, open, total / keys, worst, generate, save, pages, worstPage);
  }
  if (failed) std::printf("%d checks failed\n", failed);
  return failed ? 1 : 0;
}
