#include "window/services.h"

#include <QApplication>
#include <QFileDialog>

namespace romscriber {

QList<DialogFilter> ParseDialogFilter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QList<DialogFilter> entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    entries.append({parts[i], parts[i + 1]});
  return entries;
}

std::optional<QString> QtFileDialog::GetOpenFileName(const OpenFileRequest& request) {
  // Qt takes a filter's patterns from the parentheses of its text, so each
  // entry is offered as its description followed by its own pattern when
  // the description does not already end in exactly that pattern.
  QStringList names;
  for (const DialogFilter& entry : request.Filters) {
    const QString tail = QStringLiteral("(") + entry.Pattern.trimmed() + QStringLiteral(")");
    names.append(entry.Description.endsWith(tail) ? entry.Description
                                                  : entry.Description + QStringLiteral(" ") + tail);
  }
  QFileDialog dialog(m_parent, request.Title, request.Folder);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilters(names);
  if (request.FilterIndex >= 0 && request.FilterIndex < names.size())
    dialog.selectNameFilter(names[request.FilterIndex]);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
  return chosen.first();
}

void QtBeeper::Beep() {
  QApplication::beep();
}

}  // namespace romscriber
