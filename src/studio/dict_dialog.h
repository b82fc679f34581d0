// The studio's dictionary builder: for one table of the project and the
// blocks through it, the entries (DTE/MTE) that make the translations take
// the fewest bytes, chosen off the interface thread; the entries and the
// bytes saved shown, and the table lines (and the game's dictionary data)
// written where the translator says.
#pragma once

#include <QDialog>
#include <QFutureWatcher>
#include <atomic>
#include <memory>

#include "fit/project_dictionary.h"
#include "session/session.h"
#include "studio/dialogs.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace romscriber::studio {

class DictionaryDialog : public QDialog {
  Q_OBJECT

 public:
  // `session` is a copy of the studio's, with the translations as they stand.
  DictionaryDialog(std::shared_ptr<const Session> session, Asker& asker, QWidget* parent = nullptr);
  ~DictionaryDialog() override;

  // Starts the choice the fields say; false (the reason shown) when they
  // say none.
  bool Choose();
  bool Choosing() const { return m_choosing; }
  // The last choice, or an error in its place.
  const ProjectDictionary& Result() const { return m_result; }
  const QString& Error() const { return m_error; }
  // Writes the entries as table lines, and the dictionary data, to files the
  // asker names; the table lines' file, or empty.
  QString WriteLines();
  QString WriteData();

 private:
  struct Chosen {
    ProjectDictionary Dictionary;
    QString Error;
  };
  void TableChanged();
  void SetSummary(const QString& text);

  std::shared_ptr<const Session> m_session;
  Asker& m_asker;
  QComboBox* m_table;
  QListWidget* m_blocks;
  QLineEdit* m_codes;
  QSpinBox* m_maxLength;
  QLineEdit* m_pad;
  QPushButton* m_choose;
  QTableWidget* m_entries;
  QLabel* m_summary;
  QPushButton* m_writeLines;
  QPushButton* m_writeData;
  std::vector<std::uint8_t> m_codesChosen;
  int m_lengthChosen = 2;
  ProjectDictionary m_result;
  QString m_error;
  std::atomic<bool> m_stop{false};
  bool m_choosing = false;
  QFutureWatcher<Chosen> m_watcher;
};

}  // namespace romscriber::studio
