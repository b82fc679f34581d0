// What the studio's tests share: an asker that answers as told and records
// what it was asked, a way to type as a keyboard does, and waiting for the
// window's background work.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <deque>

#include "studio/dialogs.h"
#include "studio/studio_window.h"

namespace romscriber::studio::testing {

class ScriptedAsker : public Asker {
 public:
  QString Project;                                                   // ProjectToOpen
  std::deque<QString> Files;                                         // FileToWrite, in turn
  std::optional<std::pair<QString, ScriptFormat>> Scripts;           // ScriptsSettings
  Answer Unsaved = Answer::kCancel;                                  // UnsavedChanges
  bool Yes = true;                                                   // Confirm
  std::optional<NewProjectChoice> NewProject;                        // NewProjectSettings
  std::optional<Replacement> Replace;                                // ReplaceSettings
  QStringList Asked;  // what was asked or said, in order

  QString ProjectToOpen(QWidget*) override {
    Asked << QStringLiteral("open");
    return Project;
  }
  std::deque<QString> Opened;  // FileToOpen, in turn
  QString FileToOpen(QWidget*, const QString& title, const QString&) override {
    Asked << QStringLiteral("open file: ") + title;
    if (Opened.empty()) return {};
    const QString f = Opened.front();
    Opened.pop_front();
    return f;
  }
  QString FileToWrite(QWidget*, const QString& title, const QString&, const QString&) override {
    Asked << QStringLiteral("file: ") + title;
    if (Files.empty()) return {};
    const QString f = Files.front();
    Files.pop_front();
    return f;
  }
  std::optional<std::pair<QString, ScriptFormat>> ScriptsSettings(QWidget*, const QString&) override {
    Asked << QStringLiteral("scripts");
    return Scripts;
  }
  Answer UnsavedChanges(QWidget*) override {
    Asked << QStringLiteral("unsaved");
    return Unsaved;
  }
  bool Confirm(QWidget*, const QString& title, const QString&) override {
    Asked << QStringLiteral("confirm: ") + title;
    return Yes;
  }
  void Inform(QWidget*, const QString& title, const QString& text) override {
    Asked << QStringLiteral("inform: ") + title + QStringLiteral(": ") + text;
  }
  std::optional<NewProjectChoice> NewProjectSettings(QWidget*) override {
    Asked << QStringLiteral("new project");
    return NewProject;
  }
  std::optional<Replacement> ReplaceSettings(QWidget*) override {
    Asked << QStringLiteral("replace");
    return Replace;
  }
};

inline void Type(QWidget* widget, const QString& text) {
  TypeText(widget, text);
}

// The window's child whose accessible name is `name`.
template <class W = QWidget>
W* Named(QWidget* window, const QString& name) {
  for (W* w : window->findChildren<W*>())
    if (w->accessibleName() == name) return w;
  return nullptr;
}

// Waits for the window's background work to end.
inline bool Idle(const StudioWindow& window, int ms = 20000) {
  return QTest::qWaitFor([&] { return !window.Busy(); }, ms);
}

}  // namespace romscriber::studio::testing
