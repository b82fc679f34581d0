#include "studio/studio_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>
#include <QThreadPool>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <sys/stat.h>

#include "base/app_error.h"
#include "base/file_io.h"
#include "insert/patch.h"
#include "project/project_text.h"
#include "studio/editor.h"
#include "studio/dict_dialog.h"
#include "studio/find_dialogs.h"
#include "studio/qt_text.h"

namespace romscriber::studio {

namespace {

namespace fs = std::filesystem;

fs::path PathOf(const QString& file) {
  return fs::path(Std(file));
}

QString Display(const fs::path& path) {
  return Utf8(path.string());
}

// One change of one string's translation, as a step of the undo history.
// Consecutive typing in one string is one step.
class EditCommand : public QUndoCommand {
 public:
  EditCommand(StudioWindow* window, std::size_t block, std::size_t index, std::string before,
              bool beforeFuzzy, std::string after, bool afterFuzzy, bool typing,
              const QString& text, QUndoCommand* parent = nullptr)
      : QUndoCommand(text, parent),
        m_window(window),
        m_block(block),
        m_index(index),
        m_before(std::move(before)),
        m_after(std::move(after)),
        m_beforeFuzzy(beforeFuzzy),
        m_afterFuzzy(afterFuzzy),
        m_typing(typing) {}

  void undo() override { m_window->ApplyTranslation(m_block, m_index, m_before, m_beforeFuzzy); }
  void redo() override { m_window->ApplyTranslation(m_block, m_index, m_after, m_afterFuzzy); }
  int id() const override { return m_typing ? 1 : -1; }
  bool mergeWith(const QUndoCommand* other) override {
    const auto* o = dynamic_cast<const EditCommand*>(other);
    if (!o || !o->m_typing || o->m_block != m_block || o->m_index != m_index) return false;
    m_after = o->m_after;
    m_afterFuzzy = o->m_afterFuzzy;
    return true;
  }

 private:
  StudioWindow* m_window;
  std::size_t m_block;
  std::size_t m_index;
  std::string m_before;
  std::string m_after;
  bool m_beforeFuzzy;
  bool m_afterFuzzy;
  bool m_typing;
};

// What a background job gives back: its result, or the error that stopped it.
template <class T>
struct Outcome {
  std::shared_ptr<T> Value;
  QString Error;
};

template <class T>
Outcome<T> Attempt(const std::function<std::shared_ptr<T>()>& work) {
  try {
    return {work(), {}};
  } catch (const AppError& e) {
    return {nullptr, Utf8(e.Description())};
  } catch (const std::exception& e) {
    return {nullptr, Utf8(e.what())};
  }
}

struct Opened {
  std::shared_ptr<Workbench> Bench;
  std::optional<fs::path> Scripts;
  std::optional<ScriptFormat> Format;
  std::int64_t Warnings = 0;
};

struct Generated {
  std::vector<Refusal> Refusals;
  std::vector<std::string> Warnings;
  std::int64_t Changed = 0;
  QString Rom;
};

// A file's modification time (nanoseconds) and size, or nothing when it
// cannot be read.
std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileStamp{static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                   static_cast<std::int64_t>(st.st_size)};
}

// Every file of `files`, each whole, in order, into `folder` (made when
// missing).
void WriteAll(const fs::path& folder, const std::vector<ScriptFile>& files) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) ThrowSystemError(ec, true);
  for (const ScriptFile& f : files)
    WriteFileWhole(folder / f.Name, {f.Text});
}

// The texts of the table's control codes, end tokens and line-break tokens
// (without the line break), as the editor colours them.
QStringList TokensOf(const CompiledTable& table) {
  QStringList tokens;
  for (const TableEntry& e : table.Entries()) {
    if (e.Kind != TokenKind::kControl && e.Kind != TokenKind::kEnd &&
        e.Kind != TokenKind::kLineBreak)
      continue;
    QString shown = Utf8(table.Shown(e));
    shown.remove(QLatin1Char('\n'));
    if (!shown.isEmpty() && !tokens.contains(shown)) tokens.push_back(shown);
  }
  return tokens;
}

}  // namespace

StudioWindow::StudioWindow(Asker& asker, QWidget* parent) : QMainWindow(parent), m_asker(asker) {
  BuildControls();
  BuildMenus();
  m_watcher = new QFileSystemWatcher(this);
  connect(m_watcher, &QFileSystemWatcher::fileChanged, this, [this] {
    if (isActiveWindow()) QMetaObject::invokeMethod(this, [this] { CheckScriptsOnDisk(); }, Qt::QueuedConnection);
  });
  connect(&m_undo, &QUndoStack::cleanChanged, this, [this](bool clean) {
    setWindowModified(!clean);
  });
  setWindowTitle(tr("Romscriber Studio") + QStringLiteral("[*]"));
  SetStatus(tr("Abra un proyecto (Archivo, Abrir proyecto…) o cree uno nuevo."));
}

StudioWindow::~StudioWindow() {
  // Work under way finishes first: it may be writing a file.
  QThreadPool::globalInstance()->waitForDone();
  m_undo.clear();
  // The views outlive the workbench while the window's children go.
  m_stringModel->SetWorkbench(nullptr);
  m_blockModel->SetWorkbench(nullptr);
}

// --- Layout -------------------------------------------------------------------

void StudioWindow::BuildControls() {
  m_blockModel = new BlockModel(this);
  m_stringModel = new StringModel(this);
  m_filter = new StringFilter(this);
  m_filter->setSourceModel(m_stringModel);

  auto* central = new QWidget(this);
  auto* outer = new QVBoxLayout(central);

  // The search and the filter above everything.
  auto* searchRow = new QHBoxLayout();
  auto* searchLabel = new QLabel(tr("&Buscar:"), central);
  m_search = new QLineEdit(central);
  m_search->setAccessibleName(QStringLiteral("Buscar"));
  m_search->setPlaceholderText(tr("en el original y la traducción"));
  m_search->setClearButtonEnabled(true);
  searchLabel->setBuddy(m_search);
  m_regex = new QCheckBox(tr("Expresión &regular"), central);
  m_regex->setAccessibleName(tr("Expresión regular"));
  auto* filterLabel = new QLabel(tr("&Filtro:"), central);
  m_filterMode = new QComboBox(central);
  m_filterMode->setAccessibleName(QStringLiteral("Filtro"));
  m_filterMode->addItem(tr("todos"));
  m_filterMode->addItem(tr("sin traducir"));
  m_filterMode->addItem(tr("con problemas"));
  filterLabel->setBuddy(m_filterMode);
  searchRow->addWidget(searchLabel);
  searchRow->addWidget(m_search, 1);
  searchRow->addWidget(m_regex);
  searchRow->addSpacing(12);
  searchRow->addWidget(filterLabel);
  searchRow->addWidget(m_filterMode);
  outer->addLayout(searchRow);
  const auto research = [this] {
    const bool ok = m_filter->SetSearch(m_search->text(), m_regex->isChecked());
    m_search->setStyleSheet(ok ? QString() : QStringLiteral("color: #b00020;"));
    if (!ok) SetStatus(tr("La expresión regular no es válida."));
  };
  connect(m_search, &QLineEdit::textChanged, this, research);
  connect(m_regex, &QCheckBox::toggled, this, research);
  connect(m_filterMode, &QComboBox::currentIndexChanged, this,
          [this](int mode) { m_filter->SetMode(static_cast<StringFilter::Mode>(mode)); });

  auto* split = new QSplitter(Qt::Horizontal, central);
  m_blocks = new QTableView(split);
  m_blocks->setAccessibleName(QStringLiteral("Bloques"));
  m_blocks->setModel(m_blockModel);
  m_blocks->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_blocks->setSelectionMode(QAbstractItemView::SingleSelection);
  m_blocks->verticalHeader()->hide();
  m_blocks->horizontalHeader()->setStretchLastSection(true);
  m_blocks->horizontalHeader()->setAccessibleName(tr("Columnas de Bloques"));
  m_blocks->setMinimumWidth(260);

  auto* right = new QSplitter(Qt::Vertical, split);
  m_strings = new QTableView(right);
  m_strings->setAccessibleName(QStringLiteral("Textos"));
  m_strings->setModel(m_filter);
  m_strings->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_strings->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_strings->verticalHeader()->hide();
  m_strings->verticalHeader()->setDefaultSectionSize(m_strings->fontMetrics().height() + 6);
  m_strings->horizontalHeader()->setAccessibleName(tr("Columnas de Textos"));
  m_strings->setWordWrap(false);
  // Uniform rows: a view of 65,536 strings lays out only what it shows.
  m_strings->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  m_strings->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  m_strings->horizontalHeader()->setStretchLastSection(false);

  auto* editors = new QWidget(right);
  auto* editorsLayout = new QVBoxLayout(editors);
  editorsLayout->setContentsMargins(0, 0, 0, 0);
  auto* texts = new QHBoxLayout();
  auto* originalBox = new QVBoxLayout();
  auto* originalLabel = new QLabel(tr("Original:"), editors);
  m_original = new QPlainTextEdit(editors);
  m_original->setAccessibleName(QStringLiteral("Original"));
  m_original->setReadOnly(true);
  new TextHighlighter(m_original->document());
  originalBox->addWidget(originalLabel);
  originalBox->addWidget(m_original);
  auto* translationBox = new QVBoxLayout();
  auto* translationLabel = new QLabel(tr("&Traducción:"), editors);
  m_translation = new TranslationEditor(editors);
  m_translation->setAccessibleName(QStringLiteral("Traducción"));
  translationLabel->setBuddy(m_translation);
  translationBox->addWidget(translationLabel);
  translationBox->addWidget(m_translation);
  texts->addLayout(originalBox);
  texts->addLayout(translationBox);
  editorsLayout->addLayout(texts);
  m_meter = new QLineEdit(editors);
  m_meter->setAccessibleName(QStringLiteral("Medidor"));
  m_meter->setReadOnly(true);
  m_meter->setFrame(false);
  editorsLayout->addWidget(m_meter);
  right->addWidget(m_strings);
  right->addWidget(editors);
  right->setStretchFactor(0, 3);
  right->setStretchFactor(1, 2);
  split->addWidget(m_blocks);
  split->addWidget(right);
  split->setStretchFactor(1, 1);
  outer->addWidget(split, 1);
  setCentralWidget(central);

  m_status = new QLabel(statusBar());
  m_status->setAccessibleName(QStringLiteral("Estado"));
  m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_progress = new QProgressBar(statusBar());
  m_progress->setAccessibleName(tr("Progreso"));
  m_progress->setRange(0, 0);
  m_progress->setMaximumWidth(160);
  m_progress->hide();
  statusBar()->setAccessibleName(tr("Barra de estado"));
  statusBar()->addWidget(m_status, 1);
  statusBar()->addPermanentWidget(m_progress);

  connect(m_blocks->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (!current.isValid() || current.row() == m_stringModel->Block()) return;
            m_stringModel->SetBlock(current.row());
            ShowString();
          });
  connect(m_strings->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this] { ShowString(); });
  connect(m_translation, &TranslationEditor::Edited, this, &StudioWindow::OnEdited);

  // Copy and paste of translations between rows and spreadsheets.
  auto* copy = new QAction(tr("Copiar traducciones"), m_strings);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  connect(copy, &QAction::triggered, this, &StudioWindow::CopyRows);
  auto* paste = new QAction(tr("Pegar traducciones"), m_strings);
  paste->setShortcut(QKeySequence::Paste);
  paste->setShortcutContext(Qt::WidgetShortcut);
  connect(paste, &QAction::triggered, this, &StudioWindow::PasteRows);
  m_strings->addActions({copy, paste});

  setTabOrder(m_search, m_regex);
  setTabOrder(m_regex, m_filterMode);
  setTabOrder(m_filterMode, m_blocks);
  setTabOrder(m_blocks, m_strings);
  setTabOrder(m_strings, m_translation);
  setTabOrder(m_translation, m_original);
  setTabOrder(m_original, m_meter);
  resize(1180, 760);
}

void StudioWindow::BuildMenus() {
  menuBar()->setAccessibleName(tr("Menú"));
  const auto add = [this](QMenu* menu, const QString& text, const QKeySequence& keys,
                          auto&& slot) {
    QAction* action = menu->addAction(text);
    if (!keys.isEmpty()) action->setShortcut(keys);
    connect(action, &QAction::triggered, this, slot);
    return action;
  };
  QMenu* file = menuBar()->addMenu(tr("&Archivo"));
  add(file, tr("&Nuevo proyecto…"), QKeySequence::New, [this] { NewProject(); });
  add(file, tr("&Abrir proyecto…"), QKeySequence::Open, [this] { AskOpenProject(); });
  add(file, tr("&Guardar"), QKeySequence(Qt::CTRL | Qt::Key_S), [this] { Save(); });
  add(file, tr("&Volcar de nuevo"), QKeySequence(), [this] { Redump(); });
  file->addSeparator();
  add(file, tr("&Salir"), QKeySequence::Quit, [this] { close(); });

  QMenu* edit = menuBar()->addMenu(tr("&Editar"));
  QAction* undo = m_undo.createUndoAction(this, tr("&Deshacer"));
  undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  QAction* redo = m_undo.createRedoAction(this, tr("&Rehacer"));
  redo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
  edit->addAction(undo);
  edit->addAction(redo);
  edit->addSeparator();
  add(edit, tr("&Buscar y reemplazar…"), QKeySequence(Qt::CTRL | Qt::Key_H), [this] { ReplaceAll(); });
  add(edit, tr("&Siguiente sin traducir"), QKeySequence(Qt::CTRL | Qt::Key_Return),
      [this] { NextUntranslated(); });
  add(edit, tr("&Ajustar líneas"), QKeySequence(), [this] { WrapLines(); });

  QMenu* rom = menuBar()->addMenu(tr("&ROM"));
  add(rom, tr("&Generar ROM"), QKeySequence(Qt::CTRL | Qt::Key_G), [this] { GenerateRom(); });
  add(rom, tr("&Probar en emulador"), QKeySequence(Qt::Key_F5), [this] { TryInEmulator(); });

  QMenu* tools = menuBar()->addMenu(tr("&Herramientas"));
  add(tools, tr("Búsqueda &relativa…"), QKeySequence(), [this] { ShowRelativeSearch(); });
  add(tools, tr("Buscar &punteros…"), QKeySequence(), [this] { ShowPointerSearch(); });
  add(tools, tr("&Diccionario…"), QKeySequence(), [this] { ShowDictionary(); });
}

// --- Showing --------------------------------------------------------------------

void StudioWindow::ReplaceWorkbench(std::shared_ptr<Workbench> bench) {
  // The history speaks of the strings being replaced; the old workbench goes
  // only once the views show the new one.
  m_undo.clear();
  const std::shared_ptr<Workbench> old = std::exchange(m_bench, std::move(bench));
  ShowWorkbench();
}

void StudioWindow::ShowWorkbench() {
  m_blockModel->SetWorkbench(m_bench.get());
  m_stringModel->SetWorkbench(m_bench.get());
  m_blocks->resizeColumnsToContents();
  if (m_bench && m_bench->BlockCount() > 0) m_blocks->selectRow(0);
  // The texts share what the numbers leave; no column is measured against
  // its contents, which would read every row.
  QHeaderView* header = m_strings->horizontalHeader();
  const QFontMetrics metrics = m_strings->fontMetrics();
  const auto fixed = [&](int column, const QString& widest) {
    header->setSectionResizeMode(column, QHeaderView::Interactive);
    m_strings->setColumnWidth(column, metrics.horizontalAdvance(widest) + 24);
  };
  fixed(StringModel::kId, QStringLiteral("00000"));
  fixed(StringModel::kOffset, QStringLiteral("0000000"));
  fixed(StringModel::kPointers, tr("Punteros"));
  fixed(StringModel::kBytes, tr("%1 de %2").arg(8888).arg(8888));
  fixed(StringModel::kState, StateText(State::kCannotEncode));
  header->setSectionResizeMode(StringModel::kOriginal, QHeaderView::Stretch);
  header->setSectionResizeMode(StringModel::kTranslation, QHeaderView::Stretch);
  if (m_filter->rowCount() > 0) m_strings->selectRow(0);
  ShowString();
}

int StudioWindow::CurrentBlock() const {
  return m_stringModel->Block();
}

int StudioWindow::CurrentString() const {
  const QModelIndex at = m_filter->mapToSource(m_strings->currentIndex());
  return at.isValid() ? at.row() : -1;
}

void StudioWindow::ShowString() {
  const int b = CurrentBlock();
  const int i = CurrentString();
  const bool any = m_bench && b >= 0 && i >= 0;
  m_translation->setEnabled(any);
  if (!any) {
    m_original->setPlainText(QString());
    m_translation->Show(QString());
    m_meter->clear();
    return;
  }
  const StringRecord& s = m_bench->String(static_cast<std::size_t>(b), static_cast<std::size_t>(i));
  const QStringList tokens = TokensOf(m_bench->Block(static_cast<std::size_t>(b)).Table->Table);
  // The tokens first, so that each text is highlighted once, as it is set.
  if (auto* h = m_original->document()->findChild<TextHighlighter*>()) h->SetTokens(tokens);
  m_translation->Highlighter()->SetTokens(tokens);
  m_original->setPlainText(Utf8(s.Original));
  m_translation->Show(Utf8(s.Translation));
  UpdateMeter();
}

void StudioWindow::UpdateMeter() {
  const int b = CurrentBlock();
  const int i = CurrentString();
  if (!m_bench || b < 0 || i < 0) return;
  const auto block = static_cast<std::size_t>(b);
  const StringRecord& s = m_bench->String(block, static_cast<std::size_t>(i));
  const Standing& st = m_bench->StandingOf(block, static_cast<std::size_t>(i));
  const BlockTotals& t = m_bench->Totals(block);
  QString text = tr("Bytes: %1 (original %2) · Bloque: %3 de %4")
                     .arg(st.Bytes)
                     .arg(s.Length)
                     .arg(t.Used)
                     .arg(t.Available);
  const ProjectBlock& settings = *m_bench->Block(block).Settings;
  if (settings.LineLimit && !st.Widths.empty()) {
    QStringList lines;
    for (const int w : st.Widths)
      lines << tr("%1 de %2").arg(w).arg(*settings.LineLimit);
    text += tr(" · Líneas: %1").arg(lines.join(QStringLiteral(", ")));
  }
  if (settings.MaxLines && !st.Widths.empty()) {
    text += tr(" · %1 de %2 líneas").arg(st.Widths.size()).arg(*settings.MaxLines);
  }
  if (st.Failure) {
    text += tr(" · No se puede codificar «%1» (columna %2)")
                .arg(st.Failure->Character == "\n" ? tr("salto de línea") : Utf8(st.Failure->Character))
                .arg(st.Failure->Column);
  }
  m_meter->setText(text);
  m_meter->setCursorPosition(0);
  m_meter->setAccessibleDescription(text);
  m_translation->Highlighter()->SetFailure(
      st.Failure && !s.Translation.empty() ? static_cast<int>(st.Failure->Column) : 0);
}

QString StudioWindow::MeterText() const {
  return m_meter->text();
}

QString StudioWindow::StatusText() const {
  return m_status->text();
}

void StudioWindow::SetStatus(const QString& text) {
  m_status->setText(text);
  // A screen reader reads a named label's description: kept equal to its text.
  m_status->setAccessibleDescription(text);
}

bool StudioWindow::SelectString(int block, int id) {
  if (!m_bench || block < 0 || static_cast<std::size_t>(block) >= m_bench->BlockCount()) return false;
  if (id < 0 || static_cast<std::size_t>(id) >= m_bench->Block(static_cast<std::size_t>(block)).Strings.size())
    return false;
  m_blocks->selectRow(block);
  if (m_stringModel->Block() != block) m_stringModel->SetBlock(block);
  if (!m_filter->Passes(id)) {
    m_filterMode->setCurrentIndex(0);
    m_search->clear();
  }
  const QModelIndex at = m_filter->mapFromSource(m_stringModel->index(id, 0));
  m_strings->setCurrentIndex(at);
  m_strings->selectRow(at.row());
  m_strings->scrollTo(at);
  ShowString();
  return true;
}

// --- Editing --------------------------------------------------------------------

void StudioWindow::ApplyTranslation(std::size_t block, std::size_t index, const std::string& text,
                                    bool fuzzy) {
  if (!m_bench) return;
  const std::vector<std::size_t> rows = m_bench->SetTranslation(block, index, text, fuzzy);
  if (static_cast<int>(block) == m_stringModel->Block()) m_stringModel->RowsChanged(rows);
  m_blockModel->BlockChanged(block);
  if (static_cast<int>(block) == CurrentBlock()) {
    if (static_cast<int>(index) == CurrentString()) m_translation->Show(Utf8(text));
    UpdateMeter();
  }
}

void StudioWindow::OnEdited(const QString& text) {
  const int b = CurrentBlock();
  const int i = CurrentString();
  if (!m_bench || b < 0 || i < 0) return;
  const StringRecord& s = m_bench->String(static_cast<std::size_t>(b), static_cast<std::size_t>(i));
  const std::string after = Std(text);
  if (after == s.Translation) return;
  // A translation the translator edits is no longer doubtful.
  m_undo.push(new EditCommand(this, static_cast<std::size_t>(b), static_cast<std::size_t>(i),
                              s.Translation, s.Fuzzy, after, false, true, tr("Escribir")));
}

void StudioWindow::ReplaceAll() {
  if (!m_bench) return;
  const std::optional<Asker::Replacement> r = m_asker.ReplaceSettings(this);
  if (!r || r->Find.isEmpty()) return;
  QRegularExpression expression(r->Find);
  if (r->Regex && !expression.isValid()) {
    m_asker.Inform(this, tr("Buscar y reemplazar"), tr("La expresión regular no es válida."));
    return;
  }
  int changed = 0;
  m_undo.beginMacro(tr("Reemplazar todo"));
  for (std::size_t b = 0; b < m_bench->BlockCount(); ++b) {
    for (std::size_t i = 0; i < m_bench->Block(b).Strings.size(); ++i) {
      const StringRecord& s = m_bench->String(b, i);
      if (s.Translation.empty()) continue;
      QString text = Utf8(s.Translation);
      const QString before = text;
      if (r->Regex) {
        text.replace(expression, r->With);
      } else {
        text.replace(r->Find, r->With);
      }
      if (text == before) continue;
      m_undo.push(new EditCommand(this, b, i, s.Translation, s.Fuzzy, Std(text), s.Fuzzy, false,
                                  tr("Reemplazar")));
      ++changed;
    }
  }
  m_undo.endMacro();
  SetStatus(tr("%n traducciones cambiadas.", nullptr, changed));
}

void StudioWindow::NextUntranslated() {
  if (!m_bench) return;
  const std::size_t blocks = m_bench->BlockCount();
  const int startBlock = std::max(0, CurrentBlock());
  int from = CurrentString() + 1;
  for (std::size_t step = 0; blocks > 0 && step <= blocks; ++step) {
    const std::size_t b = (static_cast<std::size_t>(startBlock) + step) % blocks;
    const std::size_t n = m_bench->Block(b).Strings.size();
    for (std::size_t i = static_cast<std::size_t>(std::max(0, from)); i < n; ++i) {
      if (m_bench->StandingOf(b, i).Is == State::kUntranslated) {
        SelectString(static_cast<int>(b), static_cast<int>(i));
        m_translation->setFocus();
        return;
      }
    }
    from = 0;
  }
  SetStatus(tr("No queda ningún texto sin traducir."));
}

void StudioWindow::WrapLines() {
  const int b = CurrentBlock();
  const int i = CurrentString();
  if (!m_bench || b < 0 || i < 0) return;
  const auto block = static_cast<std::size_t>(b);
  const SessionBlock& sb = m_bench->Block(block);
  const StringRecord& s = sb.Strings[static_cast<std::size_t>(i)];
  if (!sb.Settings->LineLimit) {
    SetStatus(tr("El bloque %1 no tiene line_limit: no hay ancho al que ajustar.").arg(Utf8(sb.Settings->Name)));
    return;
  }
  if (s.Translation.empty()) return;
  // The table's line break: its line-break entry, else an entry that shows
  // just a line break.
  const CompiledTable& table = sb.Table->Table;
  std::string lineBreak;
  for (const TableEntry& e : table.Entries())
    if (e.Kind == TokenKind::kLineBreak && lineBreak.empty()) lineBreak = std::string(table.Shown(e));
  for (const TableEntry& e : table.Entries())
    if (lineBreak.empty() && table.Shown(e) == "\n") lineBreak = "\n";
  if (lineBreak.empty()) {
    SetStatus(tr("La tabla no tiene una entrada de salto de línea."));
    return;
  }
  std::string text = s.Translation;
  std::string end;
  if (s.EndEntry >= 0) {
    const std::string shown(table.Shown(table.Entries()[static_cast<std::size_t>(s.EndEntry)]));
    if (text.ends_with(shown)) {
      end = shown;
      text.resize(text.size() - shown.size());
    }
  }
  // The line breaks there are become spaces, and the words are laid out again.
  for (std::size_t at = text.find(lineBreak); at != std::string::npos; at = text.find(lineBreak, at))
    text.replace(at, lineBreak.size(), " ");
  std::vector<std::string> words;
  for (std::size_t from = 0; from <= text.size();) {
    const std::size_t space = std::min(text.find(' ', from), text.size());
    if (space > from) words.push_back(text.substr(from, space - from));
    from = space + 1;
  }
  const int limit = *sb.Settings->LineLimit;
  const auto width = [&](const std::string& line) {
    const std::vector<int> w = m_bench->GetMeasurer().Widths(block, line);
    return w.empty() ? 0 : *std::max_element(w.begin(), w.end());
  };
  std::string wrapped;
  std::string line;
  for (const std::string& word : words) {
    if (!line.empty() && width(line + " " + word) > limit) {
      wrapped += line + lineBreak;
      line = word;
    } else {
      line += (line.empty() ? "" : " ") + word;
    }
  }
  wrapped += line + end;
  if (wrapped == s.Translation) return;
  m_undo.push(new EditCommand(this, block, static_cast<std::size_t>(i), s.Translation, s.Fuzzy,
                              wrapped, false, false, tr("Ajustar líneas")));
}

void StudioWindow::CopyRows() {
  if (!m_bench || CurrentBlock() < 0) return;
  QModelIndexList rows = m_strings->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end());
  QStringList lines;
  for (const QModelIndex& at : rows) {
    const int i = m_filter->mapToSource(at).row();
    QString text = Utf8(m_bench->String(static_cast<std::size_t>(CurrentBlock()), static_cast<std::size_t>(i)).Translation);
    text.replace(QStringLiteral("\\"), QStringLiteral("\\\\")).replace(QStringLiteral("\n"), QStringLiteral("\\n"));
    lines << text;
  }
  QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

void StudioWindow::PasteRows() {
  const int b = CurrentBlock();
  if (!m_bench || b < 0) return;
  QString clip = QApplication::clipboard()->text();
  if (clip.endsWith(QLatin1Char('\n'))) clip.chop(1);
  const QStringList lines = clip.split(QLatin1Char('\n'));
  // One line to each selected row; from a single row, to the rows after it.
  QModelIndexList rows = m_strings->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end());
  std::vector<int> targets;
  if (rows.size() > 1) {
    for (const QModelIndex& at : rows)
      targets.push_back(m_filter->mapToSource(at).row());
  } else {
    for (int r = m_strings->currentIndex().row(); r >= 0 && r < m_filter->rowCount() &&
                                                  targets.size() < static_cast<std::size_t>(lines.size());
         ++r)
      targets.push_back(m_filter->mapToSource(m_filter->index(r, 0)).row());
  }
  m_undo.beginMacro(tr("Pegar"));
  for (std::size_t k = 0; k < targets.size() && k < static_cast<std::size_t>(lines.size()); ++k) {
    QString text = lines[static_cast<qsizetype>(k)];
    if (text.endsWith(QLatin1Char('\r'))) text.chop(1);
    // "\n" for a line break and "\\" for a backslash, as TSV scripts write them.
    QString unescaped;
    for (qsizetype c = 0; c < text.size(); ++c) {
      if (text[c] == QLatin1Char('\\') && c + 1 < text.size() &&
          (text[c + 1] == QLatin1Char('n') || text[c + 1] == QLatin1Char('\\'))) {
        unescaped += text[c + 1] == QLatin1Char('n') ? QLatin1Char('\n') : QLatin1Char('\\');
        ++c;
      } else {
        unescaped += text[c];
      }
    }
    const auto i = static_cast<std::size_t>(targets[k]);
    const StringRecord& s = m_bench->String(static_cast<std::size_t>(b), i);
    const std::string after = Std(unescaped);
    if (after == s.Translation) continue;
    m_undo.push(new EditCommand(this, static_cast<std::size_t>(b), i, s.Translation, s.Fuzzy, after,
                                false, false, tr("Pegar")));
  }
  m_undo.endMacro();
}

// --- Work in the background -------------------------------------------------------

void StudioWindow::StartWork(const QString& what) {
  m_busy = true;
  SetStatus(what);
  m_progress->show();
}

void StudioWindow::EndWork() {
  m_busy = false;
  m_progress->hide();
}

template <class Result>
void StudioWindow::RunInBackground(const QString& what, std::function<Result()> work,
                                   std::function<void(Result)> done) {
  StartWork(what);
  auto* watcher = new QFutureWatcher<Result>(this);
  connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, done] {
    Result result = watcher->result();
    watcher->deleteLater();
    EndWork();
    done(std::move(result));
    if (m_closeAfterWork && !m_busy) close();
  });
  watcher->setFuture(QtConcurrent::run(std::move(work)));
}

void StudioWindow::OpenProject(const QString& file, std::function<void(bool)> done) {
  if (m_busy) return;
  const fs::path path = PathOf(file);
  RunInBackground<Outcome<Opened>>(
      tr("Abriendo %1…").arg(file),
      [path] {
        return Attempt<Opened>([&] {
          auto opened = std::make_shared<Opened>();
          std::int64_t warnings = 0;
          auto session = std::make_unique<Session>(
              Session::Open(path, [&](const std::string&) { ++warnings; }));
          opened->Scripts = session->Settings().Scripts;
          opened->Format = session->Settings().Format;
          if (opened->Scripts) session->ReadScripts(*opened->Scripts, false);
          for (const SessionBlock& b : session->Blocks())
            warnings += static_cast<std::int64_t>(b.Warnings.size());
          opened->Warnings = warnings;
          opened->Bench = std::make_shared<Workbench>(std::move(session));
          return opened;
        });
      },
      [this, file, done](Outcome<Opened> outcome) {
        if (!outcome.Value) {
          SetStatus(tr("No se ha abierto el proyecto."));
          m_asker.Inform(this, tr("Abrir proyecto"), outcome.Error);
          if (done) done(false);
          return;
        }
        ReplaceWorkbench(outcome.Value->Bench);
        m_projectFile = file;
        m_scripts = outcome.Value->Scripts;
        m_format = outcome.Value->Format;
        Stamp();
        setWindowTitle(tr("%1 — Romscriber Studio").arg(QFileInfo(file).fileName()) + QStringLiteral("[*]"));
        setWindowModified(false);
        std::int64_t strings = 0;
        for (std::size_t b = 0; b < m_bench->BlockCount(); ++b)
          strings += m_bench->Totals(b).Strings;
        SetStatus(tr("Proyecto abierto: %1 bloques, %2 textos, %3 avisos.")
                      .arg(m_bench->BlockCount())
                      .arg(strings)
                      .arg(outcome.Value->Warnings));
        if (done) done(true);
      });
}

bool StudioWindow::EnsureScriptsSettings() {
  if (m_scripts && m_format) return true;
  const auto chosen = m_asker.ScriptsSettings(this, m_scripts ? Display(*m_scripts) : tr("traduccion"));
  if (!chosen) return false;
  // The keys go into the project file as text; the rest stays as written.
  try {
    const fs::path file = PathOf(m_projectFile);
    const std::string text = ReadWholeFile(file);
    std::vector<std::pair<std::string, std::string>> keys;
    fs::path folder = PathOf(chosen->first);
    if (!m_scripts) {
      keys.emplace_back("scripts", TomlString(folder.is_absolute() ? folder.string()
                                                                   : folder.generic_string()));
    }
    if (!m_format) keys.emplace_back("format", TomlString(FormatName(chosen->second)));
    const std::string changed = WithTopLevelKeys(text, keys);
    const Project check = ParseProject(changed, file);
    WriteFileWhole(file, {changed});
    if (!m_scripts) m_scripts = check.Scripts;
    if (!m_format) m_format = check.Format;
  } catch (const AppError& e) {
    m_asker.Inform(this, tr("Guardar"), Utf8(e.Description()));
    return false;
  }
  return true;
}

void StudioWindow::Save(std::function<void(bool)> done) {
  if (!m_bench || m_busy || !EnsureScriptsSettings()) {
    if (done) done(false);
    return;
  }
  // The strings as they stand now: editing goes on while they are written.
  auto copy = std::make_shared<const Session>(m_bench->GetSession());
  const fs::path folder = *m_scripts;
  const ScriptFormat format = *m_format;
  const int index = m_undo.index();
  RunInBackground<QString>(
      tr("Guardando…"),
      [copy, folder, format]() -> QString {
        try {
          WriteAll(folder, copy->ScriptFiles(format));
        } catch (const AppError& e) {
          return Utf8(e.Description());
        }
        return {};
      },
      [this, index, done](QString error) {
        if (!error.isEmpty()) {
          SetStatus(tr("No se ha guardado."));
          m_asker.Inform(this, tr("Guardar"), error);
          if (done) done(false);
          return;
        }
        if (m_undo.index() == index) m_undo.setClean();
        Stamp();
        SetStatus(tr("Guardado en %1.").arg(Display(*m_scripts)));
        if (done) done(true);
      });
}

void StudioWindow::GenerateRom(std::function<void(const QString&)> done) {
  Save([this, done](bool saved) {
    if (!saved) {
      if (done) done({});
      return;
    }
    const OutputSettings& output = m_bench->GetSession().Settings().Output;
    QString rom = output.Rom ? Display(*output.Rom) : QString();
    if (rom.isEmpty()) {
      rom = m_asker.FileToWrite(this, tr("ROM nueva"), tr("ROM (*.*)"), QString());
      if (rom.isEmpty()) {
        if (done) done({});
        return;
      }
      if (SameFile(PathOf(rom), m_bench->GetSession().Settings().Rom)) {
        m_asker.Inform(this, tr("Generar ROM"), tr("Esa es la ROM original del proyecto, que nunca se cambia."));
        if (done) done({});
        return;
      }
    }
    auto copy = std::make_shared<const Session>(m_bench->GetSession());
    auto cache = std::make_shared<EncodeCache>(m_bench->GetMeasurer().Cache());
    const fs::path romPath = PathOf(rom);
    const std::optional<fs::path> ips = output.Ips;
    const std::optional<fs::path> bps = output.Bps;
    RunInBackground<Outcome<Generated>>(
        tr("Generando la ROM…"),
        [copy, cache, romPath, ips, bps, rom] {
          return Attempt<Generated>([&] {
            auto g = std::make_shared<Generated>();
            const SessionInsertion insertion = copy->Insert(cache.get());
            const InsertOutcome& outcome = insertion.Outcome;
            if (!outcome.Refusals.empty()) {
              g->Refusals = outcome.Refusals;
              return g;
            }
            WriteRomAndPatches(copy->Rom(), outcome.Rom, romPath, ips, bps);
            for (const BlockReport& r : outcome.Blocks) {
              g->Changed += r.Changed;
              g->Warnings.insert(g->Warnings.end(), r.Warnings.begin(), r.Warnings.end());
            }
            g->Warnings.insert(g->Warnings.end(), insertion.LineWarnings.begin(),
                               insertion.LineWarnings.end());
            g->Rom = rom;
            return g;
          });
        },
        [this, done](Outcome<Generated> outcome) {
          m_refusals.clear();
          if (!outcome.Value) {
            SetStatus(tr("No se ha generado la ROM."));
            m_asker.Inform(this, tr("Generar ROM"), outcome.Error);
            if (done) done({});
            return;
          }
          if (!outcome.Value->Refusals.empty()) {
            for (const Refusal& r : outcome.Value->Refusals)
              m_refusals.push_back({Utf8(r.Block), r.Id, Utf8(r.Text)});
            SetStatus(tr("No se ha escrito nada: %n rechazos.", nullptr,
                         static_cast<int>(m_refusals.size())));
            ShowRefusals();
            if (done) done({});
            return;
          }
          SetStatus(tr("ROM nueva en %1: %2 textos cambiados, %3 avisos.")
                        .arg(outcome.Value->Rom)
                        .arg(outcome.Value->Changed)
                        .arg(outcome.Value->Warnings.size()));
          if (done) done(outcome.Value->Rom);
        });
  });
}

void StudioWindow::ShowRefusals() {
  auto* dialog = new QDialog(this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(tr("No se ha generado la ROM"));
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(new QLabel(tr("Nada se ha escrito. Elija un rechazo para ir a su texto."), dialog));
  auto* list = new QTableWidget(static_cast<int>(m_refusals.size()), 3, dialog);
  list->setAccessibleName(tr("Rechazos"));
  list->setHorizontalHeaderLabels({tr("Bloque"), tr("Texto"), tr("Motivo")});
  list->horizontalHeader()->setStretchLastSection(true);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->verticalHeader()->hide();
  for (int r = 0; r < static_cast<int>(m_refusals.size()); ++r) {
    const ShownRefusal& refusal = m_refusals[static_cast<std::size_t>(r)];
    list->setItem(r, 0, new QTableWidgetItem(refusal.Block));
    list->setItem(r, 1, new QTableWidgetItem(refusal.Id >= 0 ? QString::number(refusal.Id) : QString()));
    list->setItem(r, 2, new QTableWidgetItem(refusal.Why));
  }
  list->resizeColumnsToContents();
  layout->addWidget(list);
  // The dialog stays open while the translator works: it keeps its own
  // list, which a later generation does not change.
  connect(list, &QTableWidget::cellActivated, this, [this, refusals = m_refusals](int row, int) {
    const ShownRefusal& r = refusals[static_cast<std::size_t>(row)];
    for (std::size_t b = 0; m_bench && b < m_bench->BlockCount(); ++b)
      if (Utf8(m_bench->Block(b).Settings->Name) == r.Block && r.Id >= 0)
        SelectString(static_cast<int>(b), r.Id);
  });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
  connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  layout->addWidget(buttons);
  dialog->resize(760, 320);
  dialog->show();
}

void StudioWindow::ShowRelativeSearch() {
  // The project's ROM; without a project, a ROM the translator names.
  std::shared_ptr<const std::vector<std::uint8_t>> rom;
  if (m_bench) {
    // The session's own bytes, kept alive by the dialog as long as it needs them.
    const std::shared_ptr<const ProjectImage>& image = m_bench->GetSession().Image();
    rom = std::shared_ptr<const std::vector<std::uint8_t>>(image, &image->Rom);
  } else {
    const QString file = m_asker.FileToOpen(this, tr("ROM en la que buscar"), tr("ROM (*.*)"));
    if (file.isEmpty()) return;
    try {
      rom = std::make_shared<const std::vector<std::uint8_t>>(ReadFileBytes(PathOf(file), "la ROM"));
    } catch (const AppError& e) {
      m_asker.Inform(this, tr("Búsqueda relativa"), Utf8(e.Description()));
      return;
    }
  }
  auto* dialog = new RelativeDialog(std::move(rom), m_asker, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
}

void StudioWindow::ShowPointerSearch() {
  if (!m_bench) {
    SetStatus(tr("Abra antes un proyecto: los punteros se buscan en su ROM, con su mapa."));
    return;
  }
  auto* dialog = new PointerDialog(std::make_shared<const Session>(m_bench->GetSession()),
                                   m_projectFile, m_asker, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  // The project has a block more: opened again, its translations saved first.
  connect(dialog, &PointerDialog::ProjectChanged, this,
          [this] { SaveThen([this] { OpenProject(m_projectFile); }); });
  dialog->show();
}

void StudioWindow::ShowDictionary() {
  if (!m_bench) {
    SetStatus(tr("Abra antes un proyecto: el diccionario se elige sobre sus traducciones."));
    return;
  }
  auto* dialog = new DictionaryDialog(std::make_shared<const Session>(m_bench->GetSession()),
                                      m_asker, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
}

void StudioWindow::TryInEmulator() {
  GenerateRom([this](const QString& rom) {
    if (rom.isEmpty() || !m_bench) return;
    const std::optional<std::string>& emulator = m_bench->GetSession().Settings().Output.Emulator;
    if (!emulator) {
      m_asker.Inform(this, tr("Probar en emulador"),
                     tr("El proyecto no dice el emulador: añada emulator = \"programa\" en [output]."));
      return;
    }
    if (!QProcess::startDetached(Utf8(*emulator), {rom}))
      m_asker.Inform(this, tr("Probar en emulador"), tr("No se ha podido abrir %1.").arg(Utf8(*emulator)));
  });
}

void StudioWindow::Redump() {
  if (!m_bench || m_busy) return;
  const auto run = [this] {
    if (!EnsureScriptsSettings()) return;
    const fs::path project = PathOf(m_projectFile);
    const fs::path folder = *m_scripts;
    const ScriptFormat format = *m_format;
    RunInBackground<Outcome<Opened>>(
        tr("Volcando de nuevo…"),
        [project, folder, format] {
          return Attempt<Opened>([&] {
            auto opened = std::make_shared<Opened>();
            auto session = std::make_unique<Session>(Session::Open(project, {}));
            const DumpPlan plan = session->PlanDump(folder, format, true);
            WriteDumpPlan(folder, plan);
            for (const auto& w : plan.Warnings)
              opened->Warnings += static_cast<std::int64_t>(w.size());
            session->ReadScripts(folder, false);
            opened->Bench = std::make_shared<Workbench>(std::move(session));
            return opened;
          });
        },
        [this](Outcome<Opened> outcome) {
          if (!outcome.Value) {
            SetStatus(tr("No se ha vuelto a volcar."));
            m_asker.Inform(this, tr("Volcar de nuevo"), outcome.Error);
            return;
          }
          ReplaceWorkbench(outcome.Value->Bench);
          Stamp();
          SetStatus(tr("Volcado de nuevo: %1 avisos.").arg(outcome.Value->Warnings));
        });
  };
  // The scripts on disk are what a re-dump carries over.
  SaveThen(run);
}

void StudioWindow::SaveThen(std::function<void()> next) {
  if (m_undo.isClean()) {
    next();
    return;
  }
  Save([next = std::move(next)](bool saved) {
    if (saved) next();
  });
}

bool StudioWindow::SettleUnsaved(const std::function<void()>& retry) {
  if (m_undo.isClean()) return true;
  switch (m_asker.UnsavedChanges(this)) {
    case Asker::Answer::kCancel:
      return false;
    case Asker::Answer::kSave:
      SaveThen(retry);
      return false;
    case Asker::Answer::kDiscard:
      return true;
  }
  return false;
}

void StudioWindow::NewProject() {
  if (m_busy || !SettleUnsaved([this] { NewProject(); })) return;
  const std::optional<NewProjectChoice> choice = m_asker.NewProjectSettings(this);
  if (!choice) return;
  try {
    const std::string text = NewProjectText(choice->Project);
    ParseProject(text, PathOf(choice->File));
    WriteFileWhole(PathOf(choice->File), {text});
  } catch (const AppError& e) {
    m_asker.Inform(this, tr("Nuevo proyecto"), Utf8(e.Description()));
    return;
  }
  OpenProject(choice->File);
}

void StudioWindow::AskOpenProject() {
  if (m_busy || !SettleUnsaved([this] { AskOpenProject(); })) return;
  const QString file = m_asker.ProjectToOpen(this);
  if (!file.isEmpty()) OpenProject(file);
}

// --- Files changed elsewhere ------------------------------------------------------

void StudioWindow::Stamp() {
  m_stamps.clear();
  if (!m_watcher->files().isEmpty()) m_watcher->removePaths(m_watcher->files());
  if (!m_bench || !m_scripts) return;
  QStringList watched;
  for (std::size_t b = 0; b < m_bench->BlockCount(); ++b) {
    const std::optional<fs::path> found = [&]() -> std::optional<fs::path> {
      try {
        return FindBlockScript(*m_scripts, m_bench->Block(b).Settings->Name);
      } catch (const AppError&) {
        return std::nullopt;
      }
    }();
    if (!found) continue;
    const std::optional<FileStamp> stamp = StampOf(found->string());
    if (!stamp) continue;
    m_stamps[found->string()] = *stamp;
    watched << Display(*found);
  }
  if (!watched.isEmpty()) m_watcher->addPaths(watched);
}

void StudioWindow::CheckScriptsOnDisk() {
  if (!m_bench || m_busy || m_stamps.empty()) return;
  bool changed = false;
  for (const auto& [path, stamp] : m_stamps)
    changed = changed || StampOf(path) != stamp;
  if (!changed) return;
  const bool reload = m_asker.Confirm(
      this, tr("Guiones cambiados"),
      m_undo.isClean()
          ? tr("Otro programa ha cambiado los guiones del proyecto. ¿Cargarlos de nuevo?")
          : tr("Otro programa ha cambiado los guiones del proyecto. ¿Cargarlos de nuevo? Se "
               "perderán los cambios sin guardar."));
  if (!reload) {
    Stamp();  // asked once for this change
    return;
  }
  auto copy = std::make_shared<Session>(m_bench->GetSession());
  const fs::path folder = *m_scripts;
  RunInBackground<Outcome<Opened>>(
      tr("Cargando los guiones…"),
      [copy, folder] {
        return Attempt<Opened>([&] {
          auto opened = std::make_shared<Opened>();
          auto session = std::make_unique<Session>(*copy);
          for (SessionBlock& b : session->Blocks())
            for (StringRecord& s : b.Strings) {
              s.Translation.clear();
              s.Fuzzy = false;
            }
          session->ReadScripts(folder, false);
          opened->Bench = std::make_shared<Workbench>(std::move(session));
          return opened;
        });
      },
      [this](Outcome<Opened> outcome) {
        if (!outcome.Value) {
          m_asker.Inform(this, tr("Guiones cambiados"), outcome.Error);
          Stamp();
          return;
        }
        const int block = CurrentBlock();
        const int id = CurrentString();
        ReplaceWorkbench(outcome.Value->Bench);
        if (block >= 0 && id >= 0) SelectString(block, id);
        Stamp();
        SetStatus(tr("Guiones cargados de nuevo."));
      });
}

void StudioWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow())
    QMetaObject::invokeMethod(this, [this] { CheckScriptsOnDisk(); }, Qt::QueuedConnection);
}

void StudioWindow::closeEvent(QCloseEvent* event) {
  if (m_busy) {
    // The work under way finishes (a file is written whole or not at all);
    // the window closes after it.
    m_closeAfterWork = true;
    SetStatus(tr("Se cerrará al terminar…"));
    event->ignore();
    return;
  }
  if (!m_undo.isClean()) {
    switch (m_asker.UnsavedChanges(this)) {
      case Asker::Answer::kCancel:
        m_closeAfterWork = false;
        event->ignore();
        return;
      case Asker::Answer::kSave:
        event->ignore();
        Save([this](bool saved) {
          if (saved) close();
        });
        return;
      case Asker::Answer::kDiscard:
        m_undo.clear();
        break;
    }
  }
  event->accept();
}

}  // namespace romscriber::studio
