// The studio's searches of the ROM itself, for a game that gives nothing
// away: a table by relative search, and the pointer table of a block's
// strings. Each runs off the interface thread and can be stopped.
//
//   RelativeDialog   a word seen on screen: the offsets where the ROM's
//                    values keep its letters' distances; a hit becomes a
//                    table file
//   PointerDialog    the strings of a block, or the strings a table finds:
//                    the runs of pointers that reach them; a candidate
//                    becomes a block appended to the project file
#pragma once

#include <QDialog>
#include <QFutureWatcher>
#include <atomic>
#include <memory>
#include <vector>

#include "discover/discover.h"
#include "session/session.h"
#include "studio/dialogs.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace romscriber::studio {

class RelativeDialog : public QDialog {
  Q_OBJECT

 public:
  // Searches `rom` (shared: the dialog may outlive a project being closed).
  RelativeDialog(std::shared_ptr<const std::vector<std::uint8_t>> rom, Asker& asker,
                 QWidget* parent = nullptr);
  ~RelativeDialog() override;

  // Starts the search the fields say; false (the reason shown) when they
  // say none.
  bool Search();
  // A search was started and its results are not shown yet.
  bool Searching() const { return m_searching; }
  const RelativeResult& Result() const { return m_result; }
  // Writes the table of hit `row` to a file the asker names; the file, or
  // empty.
  QString WriteTable(int row);

 private:
  std::shared_ptr<const std::vector<std::uint8_t>> m_rom;
  Asker& m_asker;
  QLineEdit* m_text;
  QComboBox* m_width;
  QComboBox* m_endian;
  QCheckBox* m_kana;
  QPushButton* m_search;
  QTableWidget* m_hits;
  QPushButton* m_table;
  QLabel* m_status;
  RelativeQuery m_query;
  RelativeResult m_result;
  std::atomic<bool> m_stop{false};
  bool m_searching = false;
  QFutureWatcher<RelativeResult> m_watcher;
};

class PointerDialog : public QDialog {
  Q_OBJECT

 public:
  // `session` is a copy of the studio's, for the ROM, the blocks, the
  // tables and the map; `projectFile` is where a chosen block goes.
  PointerDialog(std::shared_ptr<const Session> session, QString projectFile, Asker& asker,
                QWidget* parent = nullptr);
  ~PointerDialog() override;

  bool Search();
  // A search was started and its results are not shown yet.
  bool Searching() const { return m_searching; }
  const PointerSearchResult& Result() const { return m_result; }
  // Appends candidate `row` to the project file as a [[block]]; true when
  // it was written (the studio opens the project again).
  bool AddToProject(int row);

 signals:
  void ProjectChanged();

 private:
  struct Found {
    std::int64_t Targets = 0;
    PointerSearchResult Result;
  };

  std::shared_ptr<const Session> m_session;
  QString m_projectFile;
  Asker& m_asker;
  QComboBox* m_source;
  QComboBox* m_block;
  QComboBox* m_table;
  QSpinBox* m_minLength;
  QSpinBox* m_top;
  QPushButton* m_search;
  QTableWidget* m_candidates;
  QPushButton* m_add;
  QLabel* m_status;
  PointerSearchResult m_result;
  std::atomic<bool> m_stop{false};
  bool m_searching = false;
  QFutureWatcher<Found> m_watcher;
};

}  // namespace romscriber::studio
