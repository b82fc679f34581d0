// The studio's window: one project, its blocks, their strings with original
// and translation side by side, the translation checked as it is typed, and
// the new ROM one command away.
//
//   layout          the block list "Bloques", the strings "Textos", the
//                   original "Original", the editor "Traducción", the meter
//                   "Medidor", the search "Buscar" and the filter "Filtro",
//                   the status bar "Estado"; the menus Archivo, Editar, ROM
//   editing         every change an undoable step (typing in one string,
//                   replace all, line wrapping, a paste into many rows)
//   background      opening, saving, re-dumping and generating run on
//                   another thread, on copies of what they need; the window
//                   keeps answering, and closing waits for the work to end
//   files           scripts read on opening, written whole on saving;
//                   scripts changed by another program offered for reloading
//                   when the window is activated
#pragma once

#include <QFutureWatcher>
#include <QMainWindow>
#include <QUndoStack>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "studio/dialogs.h"
#include "studio/models.h"
#include "studio/workbench.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QTableView;

namespace romscriber::studio {

class TranslationEditor;

// A refusal of "Generar ROM", as the list shows it.
struct ShownRefusal {
  QString Block;
  int Id = -1;
  QString Why;
};

// A script file as last read or written: modification time and size.
using FileStamp = std::pair<std::int64_t, std::int64_t>;

class StudioWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit StudioWindow(Asker& asker, QWidget* parent = nullptr);
  ~StudioWindow() override;

  // Opens a project in the background; `done` (may be empty) runs when it
  // is open or has failed.
  void OpenProject(const QString& file, std::function<void(bool)> done = {});
  // Saves every block's script in the project's format; `done` gets whether
  // they were written.
  void Save(std::function<void(bool)> done = {});
  // Saves, then writes the new ROM and the patches [output] names; `done`
  // gets the ROM's path, empty when nothing was written.
  void GenerateRom(std::function<void(const QString&)> done = {});

  // What the tests and the bench read and drive.
  const Workbench* Bench() const { return m_bench.get(); }
  bool Busy() const { return m_busy; }
  // Selects string `id` of block `block` (as the list of refusals does).
  bool SelectString(int block, int id);
  int CurrentBlock() const;
  int CurrentString() const;  // the id, or -1
  QUndoStack& Undo() { return m_undo; }
  const std::vector<ShownRefusal>& LastRefusals() const { return m_refusals; }
  QString StatusText() const;
  QString MeterText() const;

  // Applies a translation as an undoable step's redo or undo does.
  void ApplyTranslation(std::size_t block, std::size_t index, const std::string& text, bool fuzzy);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildControls();
  void BuildMenus();
  void ReplaceWorkbench(std::shared_ptr<Workbench> bench);
  void ShowWorkbench();
  void ShowString();
  void UpdateMeter();
  void SetStatus(const QString& text);
  void StartWork(const QString& what);
  void EndWork();
  template <class Result>
  void RunInBackground(const QString& what, std::function<Result()> work,
                       std::function<void(Result)> done);

  void NewProject();
  void AskOpenProject();
  void Redump();
  void ReplaceAll();
  void NextUntranslated();
  void WrapLines();
  void TryInEmulator();
  void ShowRelativeSearch();
  void ShowPointerSearch();
  void ShowDictionary();
  void CopyRows();
  void PasteRows();
  void ShowRefusals();
  void OnEdited(const QString& text);
  void CheckScriptsOnDisk();
  void Stamp();
  bool EnsureScriptsSettings();
  // Runs `next` once the translations are saved: at once when nothing is
  // unsaved, after a save that succeeds otherwise.
  void SaveThen(std::function<void()> next);
  // Whether unsaved translations may be left behind now: true when there are
  // none or the translator discards them; a save runs `retry` after it.
  bool SettleUnsaved(const std::function<void()>& retry);

  Asker& m_asker;
  std::shared_ptr<Workbench> m_bench;
  QString m_projectFile;
  std::optional<std::filesystem::path> m_scripts;
  std::optional<ScriptFormat> m_format;
  std::map<std::string, FileStamp> m_stamps;  // each script file, by path
  bool m_busy = false;
  bool m_closeAfterWork = false;
  std::vector<ShownRefusal> m_refusals;

  QUndoStack m_undo;
  BlockModel* m_blockModel;
  StringModel* m_stringModel;
  StringFilter* m_filter;
  QTableView* m_blocks;
  QTableView* m_strings;
  QPlainTextEdit* m_original;
  TranslationEditor* m_translation;
  QLineEdit* m_meter;
  QLineEdit* m_search;
  QCheckBox* m_regex;
  QComboBox* m_filterMode;
  QLabel* m_status;
  QProgressBar* m_progress;
  QFileSystemWatcher* m_watcher;
};

}  // namespace romscriber::studio
