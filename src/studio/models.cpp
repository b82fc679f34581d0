#include "studio/models.h"

#include <QBrush>
#include <QCoreApplication>
#include <QColor>

#include "hex/hex.h"
#include "studio/qt_text.h"

namespace romscriber::studio {

QString StateText(State s) {
  switch (s) {
    case State::kUntranslated:
      return QCoreApplication::translate("Estado", "sin traducir");
    case State::kTranslated:
      return QCoreApplication::translate("Estado", "traducido");
    case State::kFuzzy:
      return QCoreApplication::translate("Estado", "dudoso");
    case State::kCannotEncode:
      return QCoreApplication::translate("Estado", "no se puede codificar");
    case State::kNoRoom:
      return QCoreApplication::translate("Estado", "no cabe");
    case State::kLongLine:
      return QCoreApplication::translate("Estado", "línea larga");
    case State::kTooManyLines:
      return QCoreApplication::translate("Estado", "demasiadas líneas");
  }
  return {};
}

QString OneLine(const std::string& text) {
  QString line = Utf8(text);
  line.replace(QLatin1Char('\n'), QStringLiteral("⏎"));
  return line;
}

// --- Blocks -------------------------------------------------------------------

void BlockModel::SetWorkbench(const Workbench* bench) {
  beginResetModel();
  m_bench = bench;
  endResetModel();
}

void BlockModel::BlockChanged(std::size_t b) {
  emit dataChanged(index(static_cast<int>(b), 0), index(static_cast<int>(b), kColumns - 1));
}

int BlockModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || !m_bench ? 0 : static_cast<int>(m_bench->BlockCount());
}

int BlockModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant BlockModel::data(const QModelIndex& index, int role) const {
  if (!m_bench || !index.isValid()) return {};
  const auto b = static_cast<std::size_t>(index.row());
  const BlockTotals& t = m_bench->Totals(b);
  if (role == Qt::DisplayRole) {
    switch (index.column()) {
      case kName:
        return Utf8(m_bench->Block(b).Settings->Name);
      case kStrings:
        return tr("%1 de %2").arg(t.Translated).arg(t.Strings);
      case kBytes:
        return tr("%1 de %2").arg(t.Used).arg(t.Available);
    }
  }
  if (role == Qt::ForegroundRole && (t.Problems > 0 || t.Used > t.Available))
    return QBrush(QColor(176, 0, 32));
  if (role == Qt::ToolTipRole && index.column() == kName && t.Problems > 0)
    return tr("%n textos con problemas", nullptr, static_cast<int>(t.Problems));
  return {};
}

QVariant BlockModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kName:
      return tr("Bloque");
    case kStrings:
      return tr("Traducidos");
    case kBytes:
      return tr("Bytes");
  }
  return {};
}

// --- Strings ------------------------------------------------------------------

void StringModel::SetWorkbench(const Workbench* bench) {
  beginResetModel();
  m_bench = bench;
  m_block = bench && bench->BlockCount() > 0 ? 0 : -1;
  endResetModel();
}

void StringModel::SetBlock(int block) {
  beginResetModel();
  m_block = block;
  endResetModel();
}

void StringModel::RowsChanged(const std::vector<std::size_t>& rows) {
  // Contiguous rows in one signal each.
  for (std::size_t k = 0; k < rows.size();) {
    std::size_t last = k;
    while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1)
      ++last;
    emit dataChanged(index(static_cast<int>(rows[k]), 0),
                     index(static_cast<int>(rows[last]), kColumns - 1));
    k = last + 1;
  }
}

int StringModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !m_bench || m_block < 0) return 0;
  return static_cast<int>(m_bench->Block(static_cast<std::size_t>(m_block)).Strings.size());
}

int StringModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant StringModel::data(const QModelIndex& index, int role) const {
  if (!m_bench || m_block < 0 || !index.isValid()) return {};
  const auto b = static_cast<std::size_t>(m_block);
  const auto i = static_cast<std::size_t>(index.row());
  const StringRecord& s = m_bench->String(b, i);
  const Standing& st = m_bench->StandingOf(b, i);
  switch (role) {
    case Qt::DisplayRole:
      switch (index.column()) {
        case kId:
          return s.Id;
        case kOffset:
          return QString::fromStdString(OffsetHex(s.Offset));
        case kPointers:
          return static_cast<int>(s.Pointers.size());
        case kOriginal:
          return OneLine(s.Original);
        case kTranslation:
          return OneLine(s.Translation);
        case kBytes:
          return tr("%1 de %2").arg(st.Bytes).arg(s.Length);
        case kState:
          return StateText(st.Is);
      }
      return {};
    case Qt::TextAlignmentRole:
      if (index.column() == kId || index.column() == kPointers || index.column() == kBytes)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    case Qt::ForegroundRole:
      if (index.column() == kState || index.column() == kBytes) {
        if (IsProblem(st.Is)) return QBrush(QColor(176, 0, 32));
        if (st.Is == State::kFuzzy) return QBrush(QColor(150, 90, 0));
      }
      return {};
    case kStateRole:
      return static_cast<int>(st.Is);
    case kOriginalRole:
      return Utf8(s.Original);
    case kTranslationRole:
      return Utf8(s.Translation);
  }
  return {};
}

QVariant StringModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kId:
      return tr("Id");
    case kOffset:
      return tr("Offset");
    case kPointers:
      return tr("Punteros");
    case kOriginal:
      return tr("Original");
    case kTranslation:
      return tr("Traducción");
    case kBytes:
      return tr("Bytes");
    case kState:
      return tr("Estado");
  }
  return {};
}

// --- Filter -------------------------------------------------------------------

void StringFilter::SetMode(Mode mode) {
  m_mode = mode;
  invalidateFilter();
}

bool StringFilter::SetSearch(const QString& text, bool regex) {
  if (regex && !text.isEmpty()) {
    QRegularExpression expression(text, QRegularExpression::CaseInsensitiveOption);
    if (!expression.isValid()) return false;
    m_expression = expression;
  }
  m_text = text;
  m_regex = regex;
  invalidateFilter();
  return true;
}

bool StringFilter::Passes(int sourceRow) const {
  const QAbstractItemModel* model = sourceModel();
  if (!model) return false;
  const QModelIndex at = model->index(sourceRow, 0);
  const auto state = static_cast<State>(model->data(at, StringModel::kStateRole).toInt());
  if (m_mode == kUntranslated && state != State::kUntranslated) return false;
  if (m_mode == kProblems && !IsProblem(state)) return false;
  if (m_text.isEmpty()) return true;
  for (const int role : {StringModel::kOriginalRole, StringModel::kTranslationRole}) {
    const QString text = model->data(at, role).toString();
    if (m_regex ? m_expression.match(text).hasMatch() : text.contains(m_text, Qt::CaseInsensitive))
      return true;
  }
  return false;
}

bool StringFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  return Passes(sourceRow);
}

}  // namespace romscriber::studio
