// The studio's lists as Qt models over the workbench, so that a view shows
// only the rows on screen however many strings a block has.
//
//   StateText         a state as the window shows it, in the user's language
//   BlockModel        one row per block: name, strings translated of total,
//                     bytes used of available
//   StringModel       one row per string of the block shown: id, offset,
//                     pointers, original, translation, bytes, state
//   StringFilter      the rows the filter and the search let through
#pragma once

#include <QAbstractTableModel>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <vector>

#include "studio/workbench.h"

namespace romscriber::studio {

QString StateText(State s);

// A string's text on one line of a table: line breaks as "⏎".
QString OneLine(const std::string& text);

class BlockModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kName, kStrings, kBytes, kColumns };

  explicit BlockModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  // Shows `bench` (nullptr: nothing); it must outlive the model or be
  // replaced first.
  void SetWorkbench(const Workbench* bench);
  // The block's totals changed.
  void BlockChanged(std::size_t b);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const Workbench* m_bench = nullptr;
};

class StringModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kId, kOffset, kPointers, kOriginal, kTranslation, kBytes, kState, kColumns };
  // Whole texts and the state, for the filter.
  enum Role { kStateRole = Qt::UserRole, kOriginalRole, kTranslationRole };

  explicit StringModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  void SetWorkbench(const Workbench* bench);
  void SetBlock(int block);
  int Block() const { return m_block; }
  // The rows changed (ascending).
  void RowsChanged(const std::vector<std::size_t>& rows);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const Workbench* m_bench = nullptr;
  int m_block = -1;
};

class StringFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  enum Mode { kAll, kUntranslated, kProblems };

  explicit StringFilter(QObject* parent = nullptr) : QSortFilterProxyModel(parent) {}

  void SetMode(Mode mode);
  // Rows whose original or translation holds `text` (a regular expression
  // when `regex`); empty lets every row through. False for a regular
  // expression that is not valid (the filter is left as it was).
  bool SetSearch(const QString& text, bool regex);
  // Whether the row passes, wherever it is shown.
  bool Passes(int sourceRow) const;

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  Mode m_mode = kAll;
  QString m_text;
  bool m_regex = false;
  QRegularExpression m_expression;
};

}  // namespace romscriber::studio
