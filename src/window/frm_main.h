// The program's one window, `frmMain`, and the whole state of the program.
//
//   layout        the controls, their captions, measures, fonts, colours and
//                 tab order; a fixed-size tool window kept above the others
//   cmdROM        chooses and measures the ROM image
//   cmdTable      chooses and loads a Thingy table
//   cmdExtraer    checks the settings, then starts a run or asks it to stop
//   run control   StartRun, RequestStop, LockControls, UnlockControls, EndRun
//   Tiempo        the elapsed time of a run, once a second
//   ckIndicador   switches the indicator-byte field on and off
//   cmdAcerca     the credit line
//
// The run stays on the window's thread: the engine lets pending events
// through every few milliseconds, so the window repaints, the timer ticks and
// a click on "Detener" is handled as a call nested inside the run.
#pragma once

#include <QWidget>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "extract/engine.h"
#include "table/table.h"
#include "window/run_host.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;

namespace romscriber {

class Beeper;
class FileDialog;
class InputField;

// The ROM dialog's filter, joined from its five parts.
QString RomDialogFilter();
inline constexpr char kTableDialogFilter[] = "Tablas thingy (*.tbl)|*.tbl";
// What "?" shows.
extern const char kCreditLine[];

class frmMain : public QWidget {
  Q_OBJECT

 public:
  // `programFolder` is the folder the dialogs open in and that holds the
  // Scripts folder.
  frmMain(std::filesystem::path programFolder, FileDialog& dialog, Beeper& beeper,
          QWidget* parent = nullptr);
  ~frmMain() override;

  // The program's state, read by its tests.
  bool RomLoaded() const { return m_romLoaded; }
  bool TableLoaded() const { return m_tableLoaded; }
  std::int64_t RomSize() const { return m_romSize; }
  const QString& RomPath() const { return m_romPath; }
  const Table& LoadedTable() const { return *m_table; }
  bool StopRequested() const { return m_stopRequested; }
  // True while a run is inside its loop, also after a stop was requested.
  bool InRun() const { return m_inRun; }
  // How the window was serviced during the last run.
  const ServiceStats& LastRunStats() const { return m_lastRunStats; }
  // Pending events are let through during a run at most this often; tests
  // set 0 to reach every servicing point of a short run.
  void SetServiceIntervalMs(qint64 ms) { m_serviceIntervalMs = ms; }

 signals:
  // The window was closed: the program ends.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  // Shows the open dialog in the program's folder; nothing when cancelled.
  std::optional<QString> AskForFile(const QString& title, const QString& filter, int filterIndex);
  void Form_Load();

  void cmdROM_Click();
  void cmdTable_Click();
  void cmdExtraer_Click();
  void cmdAcerca_Click();
  void ckIndicador_Click();
  void Tiempo_Timer();

  void StartRun(const RunSettings& settings);
  void RequestStop();
  void LockControls();
  void UnlockControls();
  void EndRun(const RunResult& result);
  // The error path of a run, or of a click that did not get as far as one.
  void FailRun(const std::string& description);
  void SetInputsEnabled(bool enabled);

  std::filesystem::path m_programFolder;
  FileDialog& m_dialog;
  Beeper& m_beeper;

  // The table in use. A load replaces it only when it completes; a run
  // holds its own reference, so the table it decodes with never goes away.
  std::shared_ptr<const Table> m_table;
  QString m_romPath;
  std::int64_t m_romSize = 0;
  bool m_romLoaded = false;
  bool m_tableLoaded = false;
  std::atomic<bool> m_stopRequested{false};
  bool m_inRun = false;
  bool m_closeRequested = false;
  int m_elapsedSeconds = 0;
  int m_elapsedMinutes = 0;
  int m_elapsedHours = 0;
  ServiceStats m_lastRunStats;
  qint64 m_serviceIntervalMs = WindowRunHost::kServiceEveryMs;

  QPushButton* cmdROM = nullptr;
  QPushButton* cmdTable = nullptr;
  QGroupBox* frmOffset = nullptr;
  QLabel* Label1 = nullptr;
  InputField* txtOffsetIni = nullptr;
  QLabel* Label2 = nullptr;
  InputField* txtOffsetFin = nullptr;
  QGroupBox* Frame2 = nullptr;
  QLabel* Label3 = nullptr;
  InputField* txtCierreI = nullptr;
  QLabel* Label4 = nullptr;
  InputField* txtCierreD = nullptr;
  QGroupBox* Frame1 = nullptr;
  QLabel* Label5 = nullptr;
  InputField* txtByteIni = nullptr;
  QCheckBox* ckIndicador = nullptr;
  QGroupBox* Frame3 = nullptr;
  QLabel* m = nullptr;
  QLabel* l = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* t = nullptr;
  QPushButton* cmdExtraer = nullptr;
  QPushButton* cmdAcerca = nullptr;
  QTimer* Tiempo = nullptr;
};

}  // namespace romscriber
