// What the studio asks the translator, behind one interface so that the
// tests answer instead of a person, and the dialogs that ask it.
//
//   Asker             file names, the scripts' folder and format, unsaved
//                     changes, confirmations, errors, a new project
//   DialogAsker       the same through Qt's dialogs
//   NewProjectDialog  ROM, table (format, encoding), map (kind, header) and
//                     a first block (a pointer table or a range)
//   ReplaceDialog     what to find in the translations, and with what
#pragma once

#include <QDialog>
#include <QString>
#include <optional>
#include <utility>

#include "project/project.h"
#include "project/project_text.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QStackedWidget;

namespace romscriber::studio {

// A new project: its file and what the file says.
struct NewProjectChoice {
  QString File;
  NewProject Project;
};

class Asker {
 public:
  enum class Answer { kSave, kDiscard, kCancel };

  virtual ~Asker() = default;
  // An existing project file; empty when cancelled.
  virtual QString ProjectToOpen(QWidget* parent) = 0;
  // An existing file to read; empty when cancelled.
  virtual QString FileToOpen(QWidget* parent, const QString& title, const QString& filter) = 0;
  // A file to write (`filter` as Qt's dialogs take it); empty when cancelled.
  virtual QString FileToWrite(QWidget* parent, const QString& title, const QString& filter,
                              const QString& suggested) = 0;
  // The scripts' folder and format, for a project that says neither.
  virtual std::optional<std::pair<QString, ScriptFormat>> ScriptsSettings(
      QWidget* parent, const QString& suggestedFolder) = 0;
  virtual Answer UnsavedChanges(QWidget* parent) = 0;
  virtual bool Confirm(QWidget* parent, const QString& title, const QString& text) = 0;
  virtual void Inform(QWidget* parent, const QString& title, const QString& text) = 0;
  virtual std::optional<NewProjectChoice> NewProjectSettings(QWidget* parent) = 0;
  // What to replace in the translations, and with what, and whether it is a
  // regular expression.
  struct Replacement {
    QString Find;
    QString With;
    bool Regex = false;
  };
  virtual std::optional<Replacement> ReplaceSettings(QWidget* parent) = 0;
};

// Asks nothing: answers no, cancels, discards; tells what it is told on
// standard error. For the picture tool and the bench, which run unattended.
class SilentAsker : public Asker {
 public:
  QString ProjectToOpen(QWidget*) override { return {}; }
  QString FileToOpen(QWidget*, const QString&, const QString&) override { return {}; }
  QString FileToWrite(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  std::optional<std::pair<QString, ScriptFormat>> ScriptsSettings(QWidget*, const QString&) override {
    return std::nullopt;
  }
  Answer UnsavedChanges(QWidget*) override { return Answer::kDiscard; }
  bool Confirm(QWidget*, const QString&, const QString&) override { return false; }
  void Inform(QWidget*, const QString& title, const QString& text) override;
  std::optional<NewProjectChoice> NewProjectSettings(QWidget*) override { return std::nullopt; }
  std::optional<Replacement> ReplaceSettings(QWidget*) override { return std::nullopt; }
};

// Types `text` into `widget` key by key, as a keyboard would (a line break
// with the Return key); QTest's key clicks take ASCII only. For the picture
// tool, the bench and the tests.
void TypeText(QWidget* widget, const QString& text);

class DialogAsker : public Asker {
 public:
  QString ProjectToOpen(QWidget* parent) override;
  QString FileToOpen(QWidget* parent, const QString& title, const QString& filter) override;
  QString FileToWrite(QWidget* parent, const QString& title, const QString& filter,
                      const QString& suggested) override;
  std::optional<std::pair<QString, ScriptFormat>> ScriptsSettings(
      QWidget* parent, const QString& suggestedFolder) override;
  Answer UnsavedChanges(QWidget* parent) override;
  bool Confirm(QWidget* parent, const QString& title, const QString& text) override;
  void Inform(QWidget* parent, const QString& title, const QString& text) override;
  std::optional<NewProjectChoice> NewProjectSettings(QWidget* parent) override;
  std::optional<Replacement> ReplaceSettings(QWidget* parent) override;
};

class NewProjectDialog : public QDialog {
  Q_OBJECT

 public:
  explicit NewProjectDialog(QWidget* parent = nullptr);

  // What the fields say; nothing (with the reason in `why`) when something
  // is missing or not a number.
  std::optional<NewProject> Choice(QString* why) const;

 private:
  QLineEdit* m_rom;
  QLineEdit* m_table;
  QComboBox* m_tableFormat;
  QLineEdit* m_encoding;
  QComboBox* m_map;
  QSpinBox* m_header;
  QLineEdit* m_block;
  QComboBox* m_blockKind;
  QStackedWidget* m_blockPages;
  QLineEdit* m_pointerOffset;
  QSpinBox* m_pointerCount;
  QComboBox* m_pointerSize;
  QComboBox* m_pointerEndian;
  QLineEdit* m_rangeStart;
  QLineEdit* m_rangeEnd;
};

class ReplaceDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ReplaceDialog(QWidget* parent = nullptr);
  Asker::Replacement Choice() const;

 private:
  QLineEdit* m_find;
  QLineEdit* m_with;
  QCheckBox* m_regex;
};

}  // namespace romscriber::studio
