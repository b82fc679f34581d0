#include "studio/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <cstdio>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "base/text.h"

namespace romscriber::studio {

namespace {

// A line edit with a "…" button that chooses an existing file for it.
QWidget* WithBrowse(QLineEdit* edit, const QString& name, const QString& filter, QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(edit);
  auto* browse = new QPushButton(QObject::tr("…"), row);
  browse->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  browse->setAccessibleName(QObject::tr("Elegir %1").arg(name));
  QObject::connect(browse, &QPushButton::clicked, row, [edit, filter, row] {
    const QString file = QFileDialog::getOpenFileName(row, QString(), edit->text(), filter);
    if (!file.isEmpty()) edit->setText(file);
  });
  layout->addWidget(browse);
  return row;
}

std::optional<std::int64_t> Hex(const QLineEdit* edit) {
  QString text = edit->text().trimmed();
  if (text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) text.remove(0, 2);
  return ParseHexNumber(text.toStdString());
}

}  // namespace

void SilentAsker::Inform(QWidget*, const QString& title, const QString& text) {
  std::fprintf(stderr, "%s: %s\n", title.toUtf8().constData(), text.toUtf8().constData());
}

void TypeText(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    const bool newline = c == QLatin1Char('\n');
    const QString typed = newline ? QStringLiteral("\r") : QString(c);
    const int key = newline ? Qt::Key_Return : Qt::Key_unknown;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, typed);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, typed);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
  }
}

// --- Asking through dialogs ----------------------------------------------------

QString DialogAsker::ProjectToOpen(QWidget* parent) {
  return QFileDialog::getOpenFileName(parent, QObject::tr("Abrir proyecto"), QString(),
                                      QObject::tr("Proyectos (*.toml)"));
}

QString DialogAsker::FileToOpen(QWidget* parent, const QString& title, const QString& filter) {
  return QFileDialog::getOpenFileName(parent, title, QString(), filter);
}

QString DialogAsker::FileToWrite(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& suggested) {
  return QFileDialog::getSaveFileName(parent, title, suggested, filter);
}

std::optional<std::pair<QString, ScriptFormat>> DialogAsker::ScriptsSettings(
    QWidget* parent, const QString& suggestedFolder) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QObject::tr("Guiones del proyecto"));
  auto* form = new QFormLayout(&dialog);
  form->addRow(new QLabel(QObject::tr("El proyecto no dice dónde guardar los guiones; se añadirá "
                                      "al archivo del proyecto."),
                          &dialog));
  auto* folder = new QLineEdit(suggestedFolder, &dialog);
  folder->setAccessibleName(QObject::tr("Carpeta de los guiones"));
  form->addRow(QObject::tr("Carpeta:"), folder);
  auto* format = new QComboBox(&dialog);
  format->setAccessibleName(QObject::tr("Formato de los guiones"));
  format->addItem(QObject::tr("TSV (hoja de cálculo)"), static_cast<int>(ScriptFormat::kTsv));
  format->addItem(QObject::tr("PO (Poedit, Weblate)"), static_cast<int>(ScriptFormat::kPo));
  format->addItem(QObject::tr("Atlas"), static_cast<int>(ScriptFormat::kAtlas));
  form->addRow(QObject::tr("Formato:"), format);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted || folder->text().trimmed().isEmpty()) return std::nullopt;
  return std::pair(folder->text().trimmed(), static_cast<ScriptFormat>(format->currentData().toInt()));
}

Asker::Answer DialogAsker::UnsavedChanges(QWidget* parent) {
  const auto button = QMessageBox::question(
      parent, QObject::tr("Cambios sin guardar"),
      QObject::tr("Hay traducciones sin guardar. ¿Guardarlas antes de cerrar?"),
      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
  if (button == QMessageBox::Save) return Answer::kSave;
  if (button == QMessageBox::Discard) return Answer::kDiscard;
  return Answer::kCancel;
}

bool DialogAsker::Confirm(QWidget* parent, const QString& title, const QString& text) {
  return QMessageBox::question(parent, title, text) == QMessageBox::Yes;
}

void DialogAsker::Inform(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox::warning(parent, title, text);
}

std::optional<NewProjectChoice> DialogAsker::NewProjectSettings(QWidget* parent) {
  NewProjectDialog dialog(parent);
  for (;;) {
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    QString why;
    std::optional<NewProject> project = dialog.Choice(&why);
    if (!project) {
      Inform(parent, QObject::tr("Nuevo proyecto"), why);
      continue;
    }
    const QString file = FileToWrite(parent, QObject::tr("Guardar el proyecto"),
                                     QObject::tr("Proyectos (*.toml)"), QString());
    if (file.isEmpty()) return std::nullopt;
    return NewProjectChoice{file, *project};
  }
}

std::optional<Asker::Replacement> DialogAsker::ReplaceSettings(QWidget* parent) {
  ReplaceDialog dialog(parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Choice();
}

// --- New project ----------------------------------------------------------------

NewProjectDialog::NewProjectDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Nuevo proyecto"));
  auto* form = new QFormLayout(this);
  const auto named = [](QWidget* w, const QString& name) {
    w->setAccessibleName(name);
    return w;
  };

  m_rom = new QLineEdit(this);
  named(m_rom, tr("ROM"));
  form->addRow(tr("ROM:"), WithBrowse(m_rom, tr("ROM"), tr("ROM (*.*)"), this));
  m_table = new QLineEdit(this);
  named(m_table, tr("Tabla"));
  form->addRow(tr("Tabla:"), WithBrowse(m_table, tr("tabla"), tr("Tablas (*.tbl)"), this));
  m_tableFormat = new QComboBox(this);
  named(m_tableFormat, tr("Formato de la tabla"));
  m_tableFormat->addItem(tr("extendida"));
  m_tableFormat->addItem(tr("clásica"));
  form->addRow(tr("Formato de la tabla:"), m_tableFormat);
  m_encoding = new QLineEdit(this);
  named(m_encoding, tr("Codificación de la tabla"));
  m_encoding->setPlaceholderText(tr("utf-8, shift_jis, utf-16…"));
  form->addRow(tr("Codificación:"), m_encoding);
  connect(m_tableFormat, &QComboBox::currentIndexChanged, this,
          [this](int index) { m_encoding->setEnabled(index == 0); });

  m_map = new QComboBox(this);
  named(m_map, tr("Mapa de direcciones"));
  m_map->addItem(tr("lineal"));
  m_map->addItem(QStringLiteral("LoROM"));
  m_map->addItem(QStringLiteral("HiROM"));
  m_map->addItem(tr("por bancos (Game Boy)"));
  m_map->addItem(tr("por bancos (NES)"));
  form->addRow(tr("Mapa:"), m_map);
  m_header = new QSpinBox(this);
  named(m_header, tr("Cabecera"));
  m_header->setRange(0, 0xFFFF);
  form->addRow(tr("Cabecera (bytes):"), m_header);
  connect(m_map, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index == 4) m_header->setValue(16);
  });

  m_block = new QLineEdit(tr("textos"), this);
  named(m_block, tr("Nombre del bloque"));
  form->addRow(tr("Primer bloque:"), m_block);
  m_blockKind = new QComboBox(this);
  named(m_blockKind, tr("Clase de bloque"));
  m_blockKind->addItem(tr("tabla de punteros"));
  m_blockKind->addItem(tr("rango"));
  form->addRow(tr("Clase:"), m_blockKind);

  m_blockPages = new QStackedWidget(this);
  auto* pointers = new QWidget(m_blockPages);
  auto* pointerForm = new QFormLayout(pointers);
  m_pointerOffset = new QLineEdit(pointers);
  named(m_pointerOffset, tr("Offset de la tabla de punteros"));
  m_pointerOffset->setPlaceholderText(QStringLiteral("1F000"));
  pointerForm->addRow(tr("Offset (hex):"), m_pointerOffset);
  m_pointerCount = new QSpinBox(pointers);
  named(m_pointerCount, tr("Número de punteros"));
  m_pointerCount->setRange(1, 1 << 20);
  pointerForm->addRow(tr("Punteros:"), m_pointerCount);
  m_pointerSize = new QComboBox(pointers);
  named(m_pointerSize, tr("Tamaño de los punteros"));
  m_pointerSize->addItems({QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
  pointerForm->addRow(tr("Bytes por puntero:"), m_pointerSize);
  m_pointerEndian = new QComboBox(pointers);
  named(m_pointerEndian, tr("Orden de los bytes"));
  m_pointerEndian->addItem(tr("little endian"));
  m_pointerEndian->addItem(tr("big endian"));
  pointerForm->addRow(tr("Orden:"), m_pointerEndian);
  m_blockPages->addWidget(pointers);
  auto* range = new QWidget(m_blockPages);
  auto* rangeForm = new QFormLayout(range);
  m_rangeStart = new QLineEdit(range);
  named(m_rangeStart, tr("Inicio del rango"));
  rangeForm->addRow(tr("Inicio (hex):"), m_rangeStart);
  m_rangeEnd = new QLineEdit(range);
  named(m_rangeEnd, tr("Fin del rango"));
  rangeForm->addRow(tr("Fin (hex, incluido):"), m_rangeEnd);
  m_blockPages->addWidget(range);
  form->addRow(m_blockPages);
  connect(m_blockKind, &QComboBox::currentIndexChanged, m_blockPages,
          &QStackedWidget::setCurrentIndex);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
  resize(560, sizeHint().height());
}

std::optional<NewProject> NewProjectDialog::Choice(QString* why) const {
  NewProject p;
  p.Rom = m_rom->text().trimmed().toStdString();
  p.Table = m_table->text().trimmed().toStdString();
  if (p.Rom.empty() || p.Table.empty()) {
    *why = tr("Falta la ROM o la tabla.");
    return std::nullopt;
  }
  p.Format = m_tableFormat->currentIndex() == 1 ? TableFormat::kClassic : TableFormat::kExtended;
  p.Encoding = p.Format == TableFormat::kExtended ? m_encoding->text().trimmed().toStdString() : "";
  constexpr MapKind kinds[] = {MapKind::kLinear, MapKind::kLoRom, MapKind::kHiRom,
                               MapKind::kBanked, MapKind::kBanked};
  p.Map.Kind = kinds[m_map->currentIndex()];
  p.Map.Header = m_header->value();
  if (m_map->currentIndex() == 4) p.Map.Window = 0x8000;
  p.Block = m_block->text().trimmed().toStdString();
  if (p.Block.empty()) {
    *why = tr("Falta el nombre del bloque.");
    return std::nullopt;
  }
  if (m_blockKind->currentIndex() == 0) {
    const auto offset = Hex(m_pointerOffset);
    if (!offset) {
      *why = tr("El offset de la tabla de punteros debe ser hexadecimal.");
      return std::nullopt;
    }
    PointerFormat f;
    f.Offset = *offset;
    f.Count = m_pointerCount->value();
    f.Size = m_pointerSize->currentIndex() + 2;
    f.Order = m_pointerEndian->currentIndex() == 1 ? Endian::kBig : Endian::kLittle;
    p.Pointers = f;
  } else {
    const auto start = Hex(m_rangeStart);
    const auto end = Hex(m_rangeEnd);
    if (!start || !end) {
      *why = tr("El inicio y el fin del rango deben ser hexadecimales.");
      return std::nullopt;
    }
    p.Range = Region{*start, *end, {}};
  }
  return p;
}

// --- Replace ------------------------------------------------------------------

ReplaceDialog::ReplaceDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Buscar y reemplazar"));
  auto* form = new QFormLayout(this);
  m_find = new QLineEdit(this);
  m_find->setAccessibleName(tr("Texto que buscar"));
  form->addRow(tr("Buscar en las traducciones:"), m_find);
  m_with = new QLineEdit(this);
  m_with->setAccessibleName(tr("Texto nuevo"));
  form->addRow(tr("Reemplazar por:"), m_with);
  m_regex = new QCheckBox(tr("Expresión regular"), this);
  m_regex->setAccessibleName(tr("Expresión regular"));
  form->addRow(m_regex);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  buttons->addButton(tr("Reemplazar todo"), QDialogButtonBox::AcceptRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
}

Asker::Replacement ReplaceDialog::Choice() const {
  return {m_find->text(), m_with->text(), m_regex->isChecked()};
}

}  // namespace romscriber::studio
