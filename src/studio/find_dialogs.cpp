#include "studio/find_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "base/file_io.h"
#include "hex/hex.h"
#include "project/project_text.h"
#include "studio/qt_text.h"

namespace romscriber::studio {

namespace {

QTableWidget* ResultTable(QWidget* parent, const QString& name, const QStringList& columns) {
  auto* table = new QTableWidget(0, static_cast<int>(columns.size()), parent);
  table->setAccessibleName(name);
  table->setHorizontalHeaderLabels(columns);
  table->horizontalHeader()->setStretchLastSection(true);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->verticalHeader()->hide();
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  return table;
}

QString Hex(std::int64_t value) {
  return value < 0 ? QStringLiteral("-") + QString::fromStdString(OffsetHex(-value))
                   : QString::fromStdString(OffsetHex(value));
}

}  // namespace

// --- Relative search ----------------------------------------------------------

RelativeDialog::RelativeDialog(std::shared_ptr<const std::vector<std::uint8_t>> rom, Asker& asker,
                               QWidget* parent)
    : QDialog(parent), m_rom(std::move(rom)), m_asker(asker) {
  setWindowTitle(tr("Búsqueda relativa"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout();
  m_text = new QLineEdit(this);
  m_text->setAccessibleName(tr("Texto visto en pantalla"));
  m_text->setPlaceholderText(tr("una palabra del juego, como Espada"));
  form->addRow(tr("Texto:"), m_text);
  m_width = new QComboBox(this);
  m_width->setAccessibleName(tr("Ancho de los valores"));
  m_width->addItem(tr("1 byte por letra"));
  m_width->addItem(tr("2 bytes por letra"));
  form->addRow(tr("Valores:"), m_width);
  m_endian = new QComboBox(this);
  m_endian->setAccessibleName(tr("Orden de los bytes"));
  m_endian->addItem(tr("little endian"));
  m_endian->addItem(tr("big endian"));
  form->addRow(tr("Orden:"), m_endian);
  m_kana = new QCheckBox(tr("Kana (hiragana y katakana en orden gojūon)"), this);
  m_kana->setAccessibleName(tr("Kana"));
  form->addRow(m_kana);
  layout->addLayout(form);
  m_search = new QPushButton(tr("&Buscar"), this);
  m_search->setAccessibleName(tr("Buscar en la ROM"));
  layout->addWidget(m_search);
  m_hits = ResultTable(this, tr("Coincidencias"), {tr("Offset"), tr("Primera letra de cada clase")});
  layout->addWidget(m_hits, 1);
  m_status = new QLabel(this);
  layout->addWidget(m_status);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  m_table = buttons->addButton(tr("Escribir &tabla…"), QDialogButtonBox::ActionRole);
  m_table->setAccessibleName(tr("Escribir tabla"));
  m_table->setEnabled(false);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_search, &QPushButton::clicked, this, [this] { Search(); });
  connect(m_text, &QLineEdit::returnPressed, this, [this] { Search(); });
  connect(m_hits, &QTableWidget::currentCellChanged, this,
          [this](int row) { m_table->setEnabled(row >= 0); });
  connect(m_table, &QPushButton::clicked, this, [this] { WriteTable(m_hits->currentRow()); });
  connect(&m_watcher, &QFutureWatcher<RelativeResult>::finished, this, [this] {
    m_result = m_watcher.result();
    m_searching = false;
    m_search->setEnabled(true);
    m_hits->setRowCount(static_cast<int>(m_result.Hits.size()));
    for (int r = 0; r < static_cast<int>(m_result.Hits.size()); ++r) {
      const RelativeHit& hit = m_result.Hits[static_cast<std::size_t>(r)];
      QStringList classes;
      for (std::size_t c = 0; c < kLetterClasses; ++c) {
        if (!m_query.Present(static_cast<LetterClass>(c))) continue;
        classes << Utf8(ClassLabel(static_cast<LetterClass>(c))) + QStringLiteral("=") + Hex(hit.First[c]);
      }
      m_hits->setItem(r, 0, new QTableWidgetItem(Hex(hit.Offset)));
      m_hits->setItem(r, 1, new QTableWidgetItem(classes.join(QLatin1Char(' '))));
    }
    if (!m_result.Hits.empty()) m_hits->selectRow(0);
    m_status->setText(m_result.Hits.empty() ? tr("Ninguna coincidencia.")
                                            : tr("%n coincidencias.", nullptr,
                                                 static_cast<int>(m_result.Hits.size())));
  });
  resize(560, 460);
}

RelativeDialog::~RelativeDialog() {
  m_stop = true;
  m_watcher.waitForFinished();
}

bool RelativeDialog::Search() {
  if (Searching()) return false;
  try {
    m_query = ParseRelativeQuery(Std(m_text->text()), m_kana->isChecked(),
                                 m_width->currentIndex() + 1,
                                 m_endian->currentIndex() == 1 ? Endian::kBig : Endian::kLittle);
  } catch (const AppError& e) {
    m_status->setText(Utf8(e.Description()));
    return false;
  }
  m_stop = false;
  m_searching = true;
  m_search->setEnabled(false);
  m_status->setText(tr("Buscando…"));
  m_hits->setRowCount(0);
  const auto rom = m_rom;
  const RelativeQuery query = m_query;
  std::atomic<bool>* stop = &m_stop;
  m_watcher.setFuture(QtConcurrent::run([rom, query, stop] {
    SearchControl control;
    control.Stop = stop;
    return FindRelative(*rom, query, control);
  }));
  return true;
}

QString RelativeDialog::WriteTable(int row) {
  if (row < 0 || row >= static_cast<int>(m_result.Hits.size())) return {};
  const QString file = m_asker.FileToWrite(this, tr("Guardar la tabla"), tr("Tablas (*.tbl)"),
                                           QStringLiteral("relativa.tbl"));
  if (file.isEmpty()) return {};
  try {
    WriteFileWhole(Std(file), {RelativeTableText(m_query, m_result.Hits[static_cast<std::size_t>(row)])});
  } catch (const AppError& e) {
    m_asker.Inform(this, tr("Guardar la tabla"), Utf8(e.Description()));
    return {};
  }
  m_status->setText(tr("Tabla escrita en %1.").arg(file));
  return file;
}

// --- Pointer search -------------------------------------------------------------

PointerDialog::PointerDialog(std::shared_ptr<const Session> session, QString projectFile,
                             Asker& asker, QWidget* parent)
    : QDialog(parent), m_session(std::move(session)), m_projectFile(std::move(projectFile)),
      m_asker(asker) {
  setWindowTitle(tr("Buscar punteros"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout();
  m_source = new QComboBox(this);
  m_source->setAccessibleName(tr("Textos que buscar"));
  m_source->addItem(tr("los textos de un bloque"));
  m_source->addItem(tr("los textos que encuentra una tabla"));
  form->addRow(tr("Buscar punteros a:"), m_source);
  m_block = new QComboBox(this);
  m_block->setAccessibleName(tr("Bloque"));
  for (const SessionBlock& b : m_session->Blocks())
    m_block->addItem(Utf8(b.Settings->Name));
  form->addRow(tr("Bloque:"), m_block);
  m_table = new QComboBox(this);
  m_table->setAccessibleName(tr("Tabla"));
  for (const OpenedTable& t : m_session->Image()->Tables)
    m_table->addItem(Utf8(t.Settings->Name));
  form->addRow(tr("Tabla:"), m_table);
  m_minLength = new QSpinBox(this);
  m_minLength->setAccessibleName(tr("Entradas mínimas por texto"));
  m_minLength->setRange(1, 64);
  m_minLength->setValue(4);
  form->addRow(tr("Entradas mínimas por texto:"), m_minLength);
  m_top = new QSpinBox(this);
  m_top->setAccessibleName(tr("Candidatos"));
  m_top->setRange(1, 50);
  m_top->setValue(5);
  form->addRow(tr("Candidatos:"), m_top);
  layout->addLayout(form);
  const auto sourceChanged = [this](int source) {
    m_block->setEnabled(source == 0);
    m_table->setEnabled(source == 1);
    m_minLength->setEnabled(source == 1);
  };
  connect(m_source, &QComboBox::currentIndexChanged, this, sourceChanged);
  sourceChanged(0);
  m_search = new QPushButton(tr("&Buscar"), this);
  m_search->setAccessibleName(tr("Buscar punteros"));
  layout->addWidget(m_search);
  m_candidates = ResultTable(this, tr("Candidatos"),
                             {tr("Offset"), tr("Punteros"), tr("Bytes"), tr("Orden"), tr("Paso"),
                              tr("Mapa"), tr("Suma"), tr("Alcanzados")});
  layout->addWidget(m_candidates, 1);
  m_status = new QLabel(this);
  layout->addWidget(m_status);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  m_add = buttons->addButton(tr("&Añadir al proyecto"), QDialogButtonBox::ActionRole);
  m_add->setAccessibleName(tr("Añadir al proyecto"));
  m_add->setEnabled(false);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_search, &QPushButton::clicked, this, [this] { Search(); });
  connect(m_candidates, &QTableWidget::currentCellChanged, this,
          [this](int row) { m_add->setEnabled(row >= 0); });
  connect(m_add, &QPushButton::clicked, this, [this] { AddToProject(m_candidates->currentRow()); });
  connect(&m_watcher, &QFutureWatcher<Found>::finished, this, [this] {
    const Found found = m_watcher.result();
    m_result = found.Result;
    m_searching = false;
    m_search->setEnabled(true);
    m_candidates->setRowCount(static_cast<int>(m_result.Candidates.size()));
    for (int r = 0; r < static_cast<int>(m_result.Candidates.size()); ++r) {
      const PointerCandidate& c = m_result.Candidates[static_cast<std::size_t>(r)];
      const QStringList cells = {Hex(c.Format.Offset),
                                 QString::number(c.Format.Count),
                                 QString::number(c.Format.Size),
                                 c.Format.Order == Endian::kBig ? tr("big") : tr("little"),
                                 QString::number(c.Format.Stride),
                                 Utf8(MapLabel(c.Map)),
                                 Hex(c.Format.Add),
                                 tr("%1 de %2").arg(c.Reached).arg(m_result.Targets)};
      for (int k = 0; k < static_cast<int>(cells.size()); ++k)
        m_candidates->setItem(r, k, new QTableWidgetItem(cells[k]));
    }
    // Every column as wide as its contents but the last, which takes the
    // rest of the table's width (sizing it too would stop its stretch).
    for (int k = 0; k + 1 < m_candidates->columnCount(); ++k)
      m_candidates->resizeColumnToContents(k);
    if (!m_result.Candidates.empty()) m_candidates->selectRow(0);
    m_status->setText(m_result.Candidates.empty()
                          ? tr("Ninguna tabla de punteros llega a esos %n textos.", nullptr,
                               static_cast<int>(found.Targets))
                          : tr("%n candidatos.", nullptr, static_cast<int>(m_result.Candidates.size())));
  });
  resize(760, 480);
}

PointerDialog::~PointerDialog() {
  m_stop = true;
  m_watcher.waitForFinished();
}

bool PointerDialog::Search() {
  if (Searching() || m_session->Blocks().empty()) return false;
  m_stop = false;
  m_searching = true;
  m_search->setEnabled(false);
  m_status->setText(tr("Buscando…"));
  m_candidates->setRowCount(0);
  const auto session = m_session;
  const int source = m_source->currentIndex();
  const std::size_t block = static_cast<std::size_t>(std::max(0, m_block->currentIndex()));
  const std::size_t table = static_cast<std::size_t>(std::max(0, m_table->currentIndex()));
  const std::int64_t minEntries = m_minLength->value();
  const std::size_t top = static_cast<std::size_t>(m_top->value());
  std::atomic<bool>* stop = &m_stop;
  m_watcher.setFuture(QtConcurrent::run([session, source, block, table, minEntries, top, stop] {
    SearchControl control;
    control.Stop = stop;
    std::vector<std::int64_t> targets;
    if (source == 0) {
      for (const StringRecord& s : session->Blocks()[block].Strings)
        targets.push_back(s.Offset);
    } else {
      // The strings the table finds in the whole ROM (a project's tables
      // show what they do not say as a search does).
      const CompiledTable& found = session->Image()->Tables[table].Table;
      TextSearchOptions options;
      options.MinEntries = minEntries;
      options.WithText = false;
      for (const FoundText& f : FindTexts(found, session->Rom(), options, control).Texts)
        targets.push_back(f.Offset);
    }
    std::sort(targets.begin(), targets.end());
    targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
    PointerSearchOptions options;
    options.Maps = {session->Settings().Map};
    options.Top = top;
    return Found{static_cast<std::int64_t>(targets.size()),
                 FindPointerTables(session->Rom(), targets, options, control)};
  }));
  return true;
}

bool PointerDialog::AddToProject(int row) {
  if (row < 0 || row >= static_cast<int>(m_result.Candidates.size())) return false;
  const PointerCandidate& candidate = m_result.Candidates[static_cast<std::size_t>(row)];
  const std::string table = m_session->Image()->Tables.empty()
                                ? "main"
                                : m_session->Image()->Tables[static_cast<std::size_t>(
                                                               std::max(0, m_table->currentIndex()))]
                                      .Settings->Name;
  try {
    const std::filesystem::path file = Std(m_projectFile);
    const std::string text = ReadWholeFile(file);
    // A block name the project has already gets a number after it.
    const Project before = ParseProject(text, file);
    const std::string base = BlockName(candidate);
    std::string name = base;
    for (int n = 2; std::any_of(before.Blocks.begin(), before.Blocks.end(),
                                [&](const ProjectBlock& b) { return b.Name == name; });
         ++n)
      name = base + "_" + std::to_string(n);
    const std::string changed = WithStanza(text, BlockStanza(candidate, table, name));
    ParseProject(changed, file);
    WriteFileWhole(file, {changed});
  } catch (const AppError& e) {
    m_asker.Inform(this, tr("Añadir al proyecto"), Utf8(e.Description()));
    return false;
  }
  m_status->setText(tr("Bloque añadido al proyecto."));
  emit ProjectChanged();
  return true;
}

}  // namespace romscriber::studio
