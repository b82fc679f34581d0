// What the window needs from the desktop beyond its own widgets: the
// open-file dialog and the system beep. The program uses the Qt versions;
// tests answer the dialog themselves and count the beeps.
#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <optional>

namespace romscriber {

// One entry of an open dialog's filter list: the text shown and the one
// pattern it selects.
struct DialogFilter {
  QString Description;
  QString Pattern;
};

struct OpenFileRequest {
  QString Title;
  QString Folder;  // the folder the dialog opens in
  QList<DialogFilter> Filters;
  int FilterIndex = 0;  // 0-based; out of range selects the first entry
};

class FileDialog {
 public:
  virtual ~FileDialog() = default;
  // Shows a modal open dialog; the chosen path, or nothing when cancelled.
  virtual std::optional<QString> GetOpenFileName(const OpenFileRequest& request) = 0;
};

class Beeper {
 public:
  virtual ~Beeper() = default;
  virtual void Beep() = 0;
};

// Splits a "description|pattern|description|pattern..." filter string into
// its entries, keeping every character of both halves.
QList<DialogFilter> ParseDialogFilter(const QString& filter);

// The Qt file dialog and QApplication::beep().
class QtFileDialog : public FileDialog {
 public:
  explicit QtFileDialog(QWidget* parent = nullptr) : m_parent(parent) {}
  // The window the dialog is shown over.
  void SetParent(QWidget* parent) { m_parent = parent; }
  std::optional<QString> GetOpenFileName(const OpenFileRequest& request) override;

 private:
  QWidget* m_parent;
};

class QtBeeper : public Beeper {
 public:
  void Beep() override;
};

}  // namespace romscriber
