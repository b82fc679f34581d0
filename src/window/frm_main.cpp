#include "window/frm_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "base/app_error.h"
#include "extract/rom_source.h"
#include "extract/script_files.h"
#include "extract/settings.h"
#include "table/loader.h"
#include "window/app_icon.h"
#include "window/input_field.h"
#include "window/layout.h"
#include "window/services.h"

namespace romscriber {

QString RomDialogFilter() {
  return QStringLiteral("SNES SMC ") +
         QStringLiteral(
             "(*.smc)|*.smc|SNES SWC (*.swc)|*.swc|SNES FIG (*.fig)|*.fig|SNES GD7 "
             "(*.078)|*.078|") +
         QStringLiteral("NES (*.nes)|*.nes|") +
         QStringLiteral(
             "Genesis BIN (*.bin)|*.bin|Genesis SMD (*.smd)|*.smd|Gameboy GB(*.gb)|*.gb|") +
         QStringLiteral(
             "Gameboy GBC (*.gbc*)|*.gbc|Game Gear GG  (*.gg)|*.gg |Todos los archivos (*.*)|*.*");
}

const char kCreditLine[] =
    "Romscriber, extractor de scripts para traductores de juegos. Hecho por el equipo de "
    "Romscriber.";

namespace {

const char kCaptionExtraer[] = "Extraer";
const char kCaptionDetener[] = "Detener";
const char kTimeZero[] = "0h, 0m, 0s.";

std::filesystem::path ToPath(const QString& name) {
  return std::filesystem::path(QFile::encodeName(name).toStdString());
}

QString FromPath(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

QString Utf8(const std::string& text) {
  return QString::fromStdString(text);
}

QFont MakeFont(const QStringList& families, QFont::StyleHint hint, qreal points) {
  QFont font;
  font.setFamilies(families);
  font.setStyleHint(hint);
  font.setPointSizeF(points);
  font.setWeight(QFont::Normal);
  return font;
}

// "MS Sans Serif" and "MS Serif" at 8.25 pt, or the closest font at hand. The
// layout was made for that compact font, so where it is missing a narrow
// sans serif keeps the captions inside their controls.
QFont ControlFont() {
  return MakeFont({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans Narrow",
                   "Arial Narrow", "Liberation Sans", "DejaVu Sans"},
                  QFont::SansSerif, 8.25);
}

QFont ProgressFont() {
  return MakeFont({"MS Serif", "Times New Roman", "Liberation Serif", "DejaVu Serif"}, QFont::Serif,
                  8.25);
}

QFont WindowFont() {
  return MakeFont({"Courier", "Courier New", "Liberation Mono", "DejaVu Sans Mono"},
                  QFont::Monospace, 9.75);
}

template <typename Widget>
Widget* Place(Widget* widget, const char* name, QRect twipsRect) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(twipsRect);
  widget->setFont(ControlFont());
  return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, QRect rect) {
  auto* label = Place(new QLabel(caption, parent), name, rect);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

// A centred one-line label with a thin border on light yellow.
QLabel* MakeStatusLabel(QWidget* parent, const char* name, const QString& caption, QRect rect) {
  auto* label = Place(new QLabel(caption, parent), name, rect);
  label->setAlignment(Qt::AlignCenter);
  label->setFrameStyle(QFrame::Box | QFrame::Plain);
  label->setLineWidth(1);
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, QColor(255, 255, 128));
  label->setPalette(palette);
  return label;
}

// A centred field holding only the characters of `allowed`, with its initial
// text and length limit (0: none).
InputField* MakeField(QWidget* parent, const char* name, const char* allowed,
                      InputField::ClickSelects clickSelects, Beeper& beeper, QRect rect,
                      const QString& toolTip, const QString& text = QString(), int maxLength = 0) {
  auto* field =
      Place(new InputField(QString::fromLatin1(allowed), clickSelects, beeper, parent), name, rect);
  field->setToolTip(toolTip);
  field->setText(text);
  if (maxLength > 0) field->setMaxLength(maxLength);
  return field;
}

}  // namespace

frmMain::frmMain(std::filesystem::path programFolder, FileDialog& dialog, Beeper& beeper,
                 QWidget* parent)
    : QWidget(parent),
      m_programFolder(std::move(programFolder)),
      m_dialog(dialog),
      m_beeper(beeper),
      m_table(std::make_shared<const Table>()) {
  BuildControls();
  Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::BuildControls() {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Romscriber 1.6"));
  // A tool window (no task-bar button) with a close button only, always on
  // top of the other windows.
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  setAttribute(Qt::WA_QuitOnClose, true);
  setWindowIcon(MakeAppIcon());
  setFont(WindowFont());
  setFixedSize(Px(kClientWidth), Px(kClientHeight));
  QRect wanted(Px(kWindowLeft), Px(kWindowTop), Px(kClientWidth), Px(kClientHeight));
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    wanted = PlaceOnScreen(wanted, screen->availableGeometry());
  setGeometry(wanted);

  cmdROM = Place(new QPushButton(QStringLiteral("Abrir ROM"), this), "cmdROM",
                 TwipsRect(120, 120, 1335, 255));
  cmdTable = Place(new QPushButton(QStringLiteral("Abrir tabla"), this), "cmdTable",
                   TwipsRect(120, 480, 1335, 255));

  frmOffset = Place(new QGroupBox(QStringLiteral("Offsets [Hex]"), this), "frmOffset",
                    TwipsRect(120, 840, 1335, 1455));
  Label1 = MakeLabel(frmOffset, "Label1", QStringLiteral("Inicio del texto:"),
                     TwipsRect(120, 240, 1095, 255));
  txtOffsetIni =
      MakeField(frmOffset, "txtOffsetIni", kHexDigits, InputField::ClickSelects::kYes, m_beeper,
                TwipsRect(120, 480, 1095, 285), QStringLiteral("Offset inicial en hexadecimal"));
  Label2 = MakeLabel(frmOffset, "Label2", QStringLiteral("Fin del texto:"),
                     TwipsRect(120, 840, 975, 255));
  txtOffsetFin =
      MakeField(frmOffset, "txtOffsetFin", kHexDigits, InputField::ClickSelects::kYes, m_beeper,
                TwipsRect(120, 1080, 1095, 285), QStringLiteral("Offset Final en hexadecimal"));

  Frame2 = Place(new QGroupBox(QStringLiteral("Formato Bytes"), this), "Frame2",
                 TwipsRect(120, 2280, 1335, 1935));
  Label3 = MakeLabel(Frame2, "Label3", QStringLiteral("Cierre izquierdo {,[,(,<,/,\\ o ~"),
                     TwipsRect(120, 240, 1095, 495));
  Label3->setWordWrap(true);
  txtCierreI =
      MakeField(Frame2, "txtCierreI", kLeftBrackets, InputField::ClickSelects::kYes, m_beeper,
                TwipsRect(120, 720, 1095, 285),
                QStringLiteral("Formato para cierre izquierdo de bytes"), QStringLiteral("<"), 1);
  Label4 = MakeLabel(Frame2, "Label4", QStringLiteral("Cierre derecho },],),>,/,\\ o ~"),
                     TwipsRect(120, 1080, 1095, 495));
  Label4->setWordWrap(true);
  txtCierreD =
      MakeField(Frame2, "txtCierreD", kRightBrackets, InputField::ClickSelects::kYes, m_beeper,
                TwipsRect(120, 1560, 1095, 285),
                QStringLiteral("Formato derecho para cierre de bytes"), QStringLiteral(">"), 1);

  Frame1 = Place(new QGroupBox(this), "Frame1", TwipsRect(120, 4440, 1335, 735));
  Label5 = MakeLabel(Frame1, "Label5", QStringLiteral("Byte que indica"),
                     TwipsRect(120, 120, 1095, 255));
  txtByteIni =
      MakeField(Frame1, "txtByteIni", kHexDigits, InputField::ClickSelects::kNo, m_beeper,
                TwipsRect(120, 360, 1095, 285),
                QStringLiteral("Byte que indica el inicio de un bloque de texto"), QString(), 2);
  // The check box is the frame's title: it lies across the frame's top edge,
  // in front of it, whole and clickable.
  ckIndicador = Place(new QCheckBox(QStringLiteral("Byte indicador"), this), "ckIndicador",
                      TwipsRect(120, 4250, 1335, 255));
  ckIndicador->setAutoFillBackground(true);
  ckIndicador->raise();

  Frame3 = Place(new QGroupBox(QStringLiteral("Mensajes"), this), "Frame3",
                 TwipsRect(120, 5160, 1335, 1575));
  Frame3->setToolTip(QStringLiteral("Mensajes"));
  m = MakeLabel(Frame3, "m", QString(), TwipsRect(120, 240, 1095, 1215));
  m->setWordWrap(true);
  {
    QPalette palette = m->palette();
    palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    m->setPalette(palette);
  }

  l = MakeStatusLabel(this, "l", QStringLiteral("0 (0%)"), TwipsRect(120, 6840, 1335, 255));
  l->setFont(ProgressFont());
  l->setToolTip(QString::fromUtf8("Progreso de la extracción"));
  Label7 = MakeLabel(this, "Label7", QStringLiteral("Tiempo transcurrido"),
                     TwipsRect(0, 7200, 1575, 255));
  Label7->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  t = MakeStatusLabel(this, "t", QString::fromLatin1(kTimeZero), TwipsRect(120, 7560, 1335, 255));
  t->setToolTip(QStringLiteral("Tiempo transcurrido"));

  cmdExtraer = Place(new QPushButton(QString::fromLatin1(kCaptionExtraer), this), "cmdExtraer",
                     TwipsRect(120, 7920, 855, 255));
  cmdAcerca = Place(new QPushButton(QStringLiteral("?"), this), "cmdAcerca",
                    TwipsRect(1080, 7920, 375, 255));
  for (QPushButton* button : {cmdROM, cmdTable, cmdExtraer, cmdAcerca}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }

  Tiempo = new QTimer(this);
  Tiempo->setObjectName(QStringLiteral("Tiempo"));
  Tiempo->setInterval(1000);

  QWidget::setTabOrder(cmdROM, cmdTable);
  QWidget::setTabOrder(cmdTable, txtOffsetIni);
  QWidget::setTabOrder(txtOffsetIni, txtOffsetFin);
  QWidget::setTabOrder(txtOffsetFin, txtCierreI);
  QWidget::setTabOrder(txtCierreI, txtCierreD);
  QWidget::setTabOrder(txtCierreD, cmdExtraer);
  QWidget::setTabOrder(cmdExtraer, cmdAcerca);
  QWidget::setTabOrder(cmdAcerca, txtByteIni);
  QWidget::setTabOrder(txtByteIni, ckIndicador);

  connect(cmdROM, &QPushButton::clicked, this, [this] { cmdROM_Click(); });
  connect(cmdTable, &QPushButton::clicked, this, [this] { cmdTable_Click(); });
  connect(cmdExtraer, &QPushButton::clicked, this, [this] { cmdExtraer_Click(); });
  connect(cmdAcerca, &QPushButton::clicked, this, [this] { cmdAcerca_Click(); });
  connect(ckIndicador, &QCheckBox::stateChanged, this, [this] { ckIndicador_Click(); });
  connect(Tiempo, &QTimer::timeout, this, [this] { Tiempo_Timer(); });
}

void frmMain::Form_Load() {
  m_stopRequested = false;
  m_elapsedSeconds = m_elapsedMinutes = m_elapsedHours = 0;
  m->setText(QStringLiteral("Bienvenido a Romscriber."));
  txtByteIni->setEnabled(false);
  cmdROM->setFocus();
}

void frmMain::closeEvent(QCloseEvent* event) {
  // Closing ends the program at once; a run under way stops where it is and
  // the script it was building is not written.
  if (m_inRun) m_closeRequested = true;
  Tiempo->stop();
  event->accept();
  emit Closed();
}

// ---------------------------------------------------------------- ROM, table

std::optional<QString> frmMain::AskForFile(const QString& title, const QString& filter,
                                           int filterIndex) {
  OpenFileRequest request;
  request.Title = title;
  request.Folder = FromPath(m_programFolder);
  request.Filters = ParseDialogFilter(filter);
  request.FilterIndex = filterIndex;
  std::optional<QString> chosen = m_dialog.GetOpenFileName(request);
  if (chosen && chosen->isEmpty()) return std::nullopt;
  return chosen;
}

void frmMain::cmdROM_Click() {
  if (m_inRun) return;
  const std::optional<QString> chosen =
      AskForFile(QStringLiteral("Abrir ROM"), RomDialogFilter(), 0);
  if (!chosen) return;  // cancelled: nothing changes, nothing shown

  std::int64_t size = 0;
  try {
    size = MeasureRom(ToPath(*chosen));
  } catch (const AppError& error) {
    m->setText(QStringLiteral("Error #: ") + QString::number(error.Number()));
    return;
  }
  m_romPath = *chosen;
  cmdROM->setToolTip(*chosen);
  m_romSize = size;
  m_romLoaded = true;
  m->setText(QStringLiteral("Abierta ROM: ") + *chosen);
}

void frmMain::cmdTable_Click() {
  if (m_inRun) return;
  const std::optional<QString> chosen =
      AskForFile(QStringLiteral("Abrir tabla thingy"), QString::fromLatin1(kTableDialogFilter), 2);
  if (!chosen) return;

  try {
    m_table = std::make_shared<const Table>(LoadTableFile(ToPath(*chosen)));
  } catch (const AppError& error) {
    // The table in use stays as it was. Access errors pass in silence.
    if (error.Number() != 75 && error.Number() != 32755)
      m->setText(QStringLiteral("Error #:") + QString::number(error.Number()));
    return;
  }
  cmdTable->setToolTip(*chosen);
  m_tableLoaded = true;
  m->setText(QStringLiteral("Abierta Tabla: ") + *chosen);
}

// ---------------------------------------------------------------- extraction

void frmMain::cmdExtraer_Click() {
  // While a stopped run is still inside its loop the button already reads
  // "Extraer"; a click then must not start a second run inside the first.
  if (m_inRun && cmdExtraer->text() == QLatin1String(kCaptionExtraer)) return;

  m->setText(QString());
  ExtractionInputs inputs;
  inputs.RomLoaded = m_romLoaded;
  inputs.TableLoaded = m_tableLoaded;
  inputs.RomSize = m_romSize;
  inputs.OffsetIni = txtOffsetIni->text().toStdString();
  inputs.OffsetFin = txtOffsetFin->text().toStdString();
  inputs.CierreI = txtCierreI->text().toStdString();
  inputs.CierreD = txtCierreD->text().toStdString();
  inputs.Indicador = ckIndicador->isChecked();
  inputs.ByteIni = txtByteIni->text().toStdString();

  const bool running = m_inRun;
  CheckOutcome outcome;
  try {
    outcome = CheckSettings(inputs);
    if (outcome.Passed()) EnsureScriptsFolder(m_programFolder);
  } catch (const AppError& error) {
    // With a run under way the inputs are locked and the checks pass; a
    // Scripts folder that cannot be made again must not keep it from
    // stopping.
    if (running) {
      RequestStop();
      return;
    }
    FailRun(error.Description());
    return;
  }
  if (!outcome.Passed()) {
    m_beeper.Beep();
    m->setText(Utf8(outcome.Message));
    return;
  }
  if (cmdExtraer->text() == QLatin1String(kCaptionExtraer))
    StartRun(outcome.Settings);
  else
    RequestStop();
}

void frmMain::StartRun(const RunSettings& settings) {
  std::unique_ptr<FileByteSource> rom;
  try {
    rom = std::make_unique<FileByteSource>(ToPath(m_romPath));
    // The checks judged the offsets against the size the ROM had when it was
    // chosen; a file that has since become shorter is no longer that ROM.
    if (rom->Size() < m_romSize) throw AppError(62);
  } catch (const AppError& error) {
    FailRun(error.Description());
    return;
  }
  t->setText(QString::fromLatin1(kTimeZero));
  cmdExtraer->setText(QString::fromLatin1(kCaptionDetener));
  m_stopRequested = false;
  LockControls();
  m_elapsedSeconds = m_elapsedMinutes = m_elapsedHours = 0;
  Tiempo->start();
  m->setText(settings.Mode == RunMode::kFree
                 ? QStringLiteral("Analizando bytes en la ROM..., sea paciente por favor.")
                 : QStringLiteral("Analizando bytes en la ROM..."));

  const std::shared_ptr<const Table> table = m_table;
  FolderScriptSink scripts(ScriptsFolder(m_programFolder));
  WindowRunHost host(
      *l, [this] { return m_closeRequested; }, m_serviceIntervalMs);
  RunHooks hooks{*rom, scripts, host, m_stopRequested};
  m_inRun = true;
  std::optional<RunResult> result;
  std::string failure;
  bool aborted = false;
  try {
    result = RunExtraction(*table, settings, hooks);
  } catch (const AppError& error) {
    failure = error.Description();
  } catch (const RunAborted&) {
    aborted = true;
  }
  m_inRun = false;
  m_lastRunStats = host.Stats();
  if (aborted) return;  // the window was closed: the program is ending, nothing more is shown
  host.Finish();
  rom.reset();
  if (result)
    EndRun(*result);
  else
    FailRun(failure);
}

void frmMain::RequestStop() {
  cmdExtraer->setText(QString::fromLatin1(kCaptionExtraer));
  UnlockControls();
  m_stopRequested = true;
  Tiempo->stop();
}

void frmMain::SetInputsEnabled(bool enabled) {
  for (QWidget* control :
       std::initializer_list<QWidget*>{cmdROM, cmdTable, txtOffsetIni, txtOffsetFin, txtCierreI,
                                       txtCierreD, cmdAcerca, ckIndicador})
    control->setEnabled(enabled);
}

void frmMain::LockControls() {
  SetInputsEnabled(false);
  txtByteIni->setEnabled(false);
}

void frmMain::UnlockControls() {
  SetInputsEnabled(true);
  txtByteIni->setEnabled(ckIndicador->isChecked());
}

void frmMain::EndRun(const RunResult& result) {
  m_beeper.Beep();
  m->setText(Utf8(RunEndMessage(result.ScriptCount, m_stopRequested)));
  Tiempo->stop();
  UnlockControls();
  cmdExtraer->setText(QString::fromLatin1(kCaptionExtraer));
}

void frmMain::FailRun(const std::string& description) {
  m->setText(QStringLiteral("Error: ") + Utf8(description));
  Tiempo->stop();
  UnlockControls();
  cmdExtraer->setText(QString::fromLatin1(kCaptionExtraer));
}

// ---------------------------------------------------------------- timer, options

void frmMain::Tiempo_Timer() {
  if (++m_elapsedSeconds == 60) {
    m_elapsedSeconds = 0;
    ++m_elapsedMinutes;
  }
  if (m_elapsedMinutes == 60) {
    m_elapsedMinutes = 0;
    ++m_elapsedHours;
  }
  t->setText(Utf8(ElapsedText(m_elapsedHours, m_elapsedMinutes, m_elapsedSeconds)));
}

void frmMain::ckIndicador_Click() {
  if (ckIndicador->checkState() == Qt::Unchecked) {
    txtByteIni->setText(QString());
    txtByteIni->setEnabled(false);
  } else {
    txtByteIni->setEnabled(true);
  }
}

void frmMain::cmdAcerca_Click() {
  m_beeper.Beep();
  m->setText(QString::fromUtf8(kCreditLine));
}

}  // namespace romscriber
