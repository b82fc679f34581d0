#include "studio/dict_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "base/file_io.h"
#include "base/text.h"
#include "hex/hex.h"
#include "studio/qt_text.h"

namespace romscriber::studio {

namespace {

QString Saved(std::int64_t before, std::int64_t after) {
  const double share = before > 0 ? 100.0 * static_cast<double>(before - after) / static_cast<double>(before) : 0.0;
  return QObject::tr("%1 → %2 bytes (%3 menos, %4 %)")
      .arg(before)
      .arg(after)
      .arg(before - after)
      .arg(share, 0, 'f', 1);
}

}  // namespace

DictionaryDialog::DictionaryDialog(std::shared_ptr<const Session> session, Asker& asker,
                                   QWidget* parent)
    : QDialog(parent), m_session(std::move(session)), m_asker(asker) {
  setWindowTitle(tr("Diccionario"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout();
  m_table = new QComboBox(this);
  m_table->setAccessibleName(tr("Tabla"));
  for (const OpenedTable& t : m_session->Image()->Tables)
    m_table->addItem(Utf8(t.Settings->Name));
  form->addRow(tr("Tabla:"), m_table);
  m_blocks = new QListWidget(this);
  m_blocks->setAccessibleName(tr("Bloques que cuentan"));
  m_blocks->setMaximumHeight(90);
  form->addRow(tr("Bloques:"), m_blocks);
  m_codes = new QLineEdit(QStringLiteral("80-FF"), this);
  m_codes->setAccessibleName(tr("Códigos"));
  m_codes->setPlaceholderText(QStringLiteral("80-BF, C0"));
  form->addRow(tr("Códigos (hex):"), m_codes);
  m_maxLength = new QSpinBox(this);
  m_maxLength->setAccessibleName(tr("Letras por entrada"));
  m_maxLength->setRange(2, kMaxDictionaryLength);
  form->addRow(tr("Letras por entrada, hasta:"), m_maxLength);
  m_pad = new QLineEdit(QStringLiteral("00"), this);
  m_pad->setAccessibleName(tr("Relleno de los datos"));
  m_pad->setMaxLength(2);
  form->addRow(tr("Relleno de los datos (hex):"), m_pad);
  layout->addLayout(form);
  m_choose = new QPushButton(tr("&Elegir entradas"), this);
  m_choose->setAccessibleName(tr("Elegir entradas"));
  layout->addWidget(m_choose);
  m_entries = new QTableWidget(0, 2, this);
  m_entries->setAccessibleName(tr("Entradas"));
  m_entries->setHorizontalHeaderLabels({tr("Código"), tr("Texto")});
  m_entries->horizontalHeader()->setStretchLastSection(true);
  m_entries->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_entries->verticalHeader()->hide();
  m_entries->verticalHeader()->setDefaultSectionSize(m_entries->fontMetrics().height() + 6);
  layout->addWidget(m_entries, 1);
  m_summary = new QLabel(this);
  m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_summary->setAccessibleName(tr("Bytes ahorrados"));
  layout->addWidget(m_summary);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  m_writeLines = buttons->addButton(tr("Escribir &líneas…"), QDialogButtonBox::ActionRole);
  m_writeLines->setAccessibleName(tr("Escribir las líneas de tabla"));
  m_writeData = buttons->addButton(tr("Escribir &datos…"), QDialogButtonBox::ActionRole);
  m_writeData->setAccessibleName(tr("Escribir los datos del diccionario"));
  m_writeLines->setEnabled(false);
  m_writeData->setEnabled(false);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_table, &QComboBox::currentIndexChanged, this, [this] { TableChanged(); });
  connect(m_choose, &QPushButton::clicked, this, [this] { Choose(); });
  connect(m_writeLines, &QPushButton::clicked, this, [this] { WriteLines(); });
  connect(m_writeData, &QPushButton::clicked, this, [this] { WriteData(); });
  connect(&m_watcher, &QFutureWatcher<Chosen>::finished, this, [this] {
    const Chosen chosen = m_watcher.result();
    m_choosing = false;
    m_choose->setEnabled(true);
    m_result = chosen.Dictionary;
    m_error = chosen.Error;
    if (!m_error.isEmpty()) {
      SetSummary(m_error);
      return;
    }
    m_entries->setRowCount(static_cast<int>(m_result.Entries.size()));
    for (int r = 0; r < static_cast<int>(m_result.Entries.size()); ++r) {
      const DictionaryEntry& e = m_result.Entries[static_cast<std::size_t>(r)];
      std::string code;
      AppendByteHex(code, e.Code);
      m_entries->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(code)));
      QString text = Utf8(e.Text);
      m_entries->setItem(r, 1, new QTableWidgetItem(QStringLiteral("«%1»").arg(text)));
    }
    QStringList lines;
    lines << tr("%n textos: ", nullptr, static_cast<int>(m_result.Texts)) + Saved(m_result.Before, m_result.After);
    for (const BlockDictionaryBytes& b : m_result.Blocks)
      lines << QStringLiteral("%1: ").arg(Utf8(b.Block)) + Saved(b.Before, b.After);
    SetSummary(lines.join(QLatin1Char('\n')));
    m_writeLines->setEnabled(!m_result.Entries.empty());
    m_writeData->setEnabled(!m_result.Entries.empty());
  });
  TableChanged();
  resize(560, 560);
}

void DictionaryDialog::SetSummary(const QString& text) {
  m_summary->setText(text);
  // A screen reader reads a named label's description: kept equal to its text.
  m_summary->setAccessibleDescription(text);
}

DictionaryDialog::~DictionaryDialog() {
  m_stop = true;
  m_watcher.waitForFinished();
}

void DictionaryDialog::TableChanged() {
  // The blocks through the chosen table, all of them counted to begin with.
  m_blocks->clear();
  const std::string table = Std(m_table->currentText());
  for (const SessionBlock& b : m_session->Blocks()) {
    if (b.Settings->Table != table) continue;
    auto* item = new QListWidgetItem(Utf8(b.Settings->Name), m_blocks);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
  }
}

bool DictionaryDialog::Choose() {
  if (m_choosing) return false;
  const std::optional<std::vector<std::uint8_t>> codes = ParseCodeList(Std(m_codes->text()));
  if (!codes || codes->empty()) {
    SetSummary(tr("Los códigos deben ser hexadecimales, como 80-BF o 80-8F,A0."));
    return false;
  }
  DictionaryRequest request;
  request.Table = Std(m_table->currentText());
  for (int i = 0; i < m_blocks->count(); ++i)
    if (m_blocks->item(i)->checkState() == Qt::Checked)
      request.Blocks.push_back(Std(m_blocks->item(i)->text()));
  if (request.Blocks.empty()) {
    SetSummary(tr("Marque al menos un bloque."));
    return false;
  }
  request.Options.Codes = *codes;
  request.Options.MaxLength = m_maxLength->value();
  m_codesChosen = *codes;
  m_lengthChosen = m_maxLength->value();
  m_stop = false;
  m_choosing = true;
  m_choose->setEnabled(false);
  m_entries->setRowCount(0);
  SetSummary(tr("Eligiendo…"));
  const auto session = m_session;
  std::atomic<bool>* stop = &m_stop;
  m_watcher.setFuture(QtConcurrent::run([session, request, stop] {
    SearchControl control;
    control.Stop = stop;
    Chosen chosen;
    try {
      chosen.Dictionary = BuildProjectDictionary(*session, request, control);
    } catch (const AppError& e) {
      chosen.Error = Utf8(e.Description());
    }
    return chosen;
  }));
  return true;
}

QString DictionaryDialog::WriteLines() {
  if (m_result.Entries.empty()) return {};
  const QString file = m_asker.FileToWrite(this, tr("Guardar las líneas de tabla"),
                                           tr("Tablas (*.tbl)"), QStringLiteral("diccionario.tbl"));
  if (file.isEmpty()) return {};
  try {
    WriteFileWhole(Std(file), {TableLines(m_result.Entries)});
  } catch (const AppError& e) {
    m_asker.Inform(this, tr("Diccionario"), Utf8(e.Description()));
    return {};
  }
  return file;
}

QString DictionaryDialog::WriteData() {
  if (m_result.Entries.empty() || m_codesChosen.empty()) return {};
  const int pad = HexByteAt(Std(m_pad->text().rightJustified(2, QLatin1Char('0'))), 0);
  if (pad < 0) {
    SetSummary(tr("El relleno debe ser un byte en hexadecimal, como 00 o FF."));
    return {};
  }
  const QString file = m_asker.FileToWrite(this, tr("Guardar los datos del diccionario"),
                                           tr("Datos (*.bin)"), QStringLiteral("diccionario.bin"));
  if (file.isEmpty()) return {};
  try {
    WriteFileWhole(Std(file), {DictionaryData(m_result.Entries, m_codesChosen.front(),
                                              m_codesChosen.back(), m_lengthChosen,
                                              static_cast<std::uint8_t>(pad))});
  } catch (const AppError& e) {
    m_asker.Inform(this, tr("Diccionario"), Utf8(e.Description()));
    return {};
  }
  return file;
}

}  // namespace romscriber::studio
