// A real frmMain in a temporary program folder, with a dialog the test
// answers and a beep it counts.
#pragma once

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "extract/temp_folder.h"
#include "window/frm_main.h"
#include "window/services.h"

namespace romscriber::testing {

// Answers each open dialog with the next queued path (or a cancel) and keeps
// what each dialog was asked to show.
class ScriptedDialog : public FileDialog {
 public:
  std::optional<QString> GetOpenFileName(const OpenFileRequest& request) override {
    Requests.push_back(request);
    if (Answers.isEmpty()) return std::nullopt;
    const QString answer = Answers.takeFirst();
    if (answer.isNull()) return std::nullopt;  // a null answer cancels
    return answer;
  }
  QStringList Answers;
  std::vector<OpenFileRequest> Requests;
};

class CountingBeeper : public Beeper {
 public:
  void Beep() override { ++Count; }
  int Count = 0;
};

inline QString Q(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

struct WindowHarness {
  explicit WindowHarness(const std::string& folderSuffix = "")
      : Folder(folderSuffix), ProgramFolder(Folder.Path() / "program") {
    std::filesystem::create_directories(ProgramFolder);
    Window = std::make_unique<frmMain>(ProgramFolder, Dialog, Beeps);
  }

  template <typename Widget>
  Widget* Get(const char* name) const {
    auto* widget = Window->findChild<Widget*>(QString::fromLatin1(name));
    if (!widget) qFatal("no control named %s", name);
    return widget;
  }
  QLineEdit* Field(const char* name) const { return Get<QLineEdit>(name); }
  QPushButton* Button(const char* name) const { return Get<QPushButton>(name); }
  QString Message() const { return Get<QLabel>("m")->text(); }
  QString Progress() const { return Get<QLabel>("l")->text(); }
  QString Time() const { return Get<QLabel>("t")->text(); }

  void Click(const char* button) { QTest::mouseClick(Button(button), Qt::LeftButton); }

  // Chooses `path` in the next dialog of the ROM or table command.
  void OpenRom(const std::filesystem::path& path) {
    Dialog.Answers.push_back(Q(path));
    Click("cmdROM");
  }
  void OpenTable(const std::filesystem::path& path) {
    Dialog.Answers.push_back(Q(path));
    Click("cmdTable");
  }
  // Writes `bytes` as a file in the temporary folder and returns its path.
  std::filesystem::path File(const std::string& name, const std::string& bytes) const {
    const auto path = Folder.Path() / name;
    WriteBytes(path, bytes);
    return path;
  }
  void SetText(const char* field, const QString& text) const { Field(field)->setText(text); }
  void SetRange(const QString& start, const QString& end) const {
    SetText("txtOffsetIni", start);
    SetText("txtOffsetFin", end);
  }
  // Block mode with `indicator`, or free mode when it is empty.
  void SetIndicator(const QString& indicator) const {
    Get<QCheckBox>("ckIndicador")->setChecked(!indicator.isEmpty());
    SetText("txtByteIni", indicator);
  }
  // Runs `action` the first time the window lets events through during the
  // next run.
  void DuringRun(std::function<void()> action) { DuringRunAt(1, std::move(action)); }
  // Runs `action` the `nth` time the window lets events through (1 is the
  // first, before anything has been decoded).
  void DuringRunAt(int nth, std::function<void()> action) {
    Window->SetServiceIntervalMs(0);
    QTimer::singleShot(0, Window.get(), [this, nth, action = std::move(action)]() mutable {
      if (nth <= 1)
        action();
      else
        DuringRunAt(nth - 1, std::move(action));
    });
  }
  std::filesystem::path Scripts() const { return ProgramFolder / "Scripts"; }
  int ScriptFileCount() const {
    if (!std::filesystem::is_directory(Scripts())) return 0;
    return static_cast<int>(std::distance(std::filesystem::directory_iterator(Scripts()),
                                          std::filesystem::directory_iterator()));
  }
  std::string Script(const std::string& name) const {
    return ReadBytes(Scripts() / (name + ".txt"));
  }

  TempFolder Folder;
  std::filesystem::path ProgramFolder;
  ScriptedDialog Dialog;
  CountingBeeper Beeps;
  std::unique_ptr<frmMain> Window;
};

}  // namespace romscriber::testing
