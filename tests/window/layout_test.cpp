// The window as it opens: controls, measures, fonts, colours, tab order,
// placement and the icon.
#include <QApplication>
#include <QScreen>

#include "window/app_icon.h"
#include "window/layout.h"
#include "window_harness.h"

using namespace romscriber;
using namespace romscriber::testing;

class LayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void controlsStandWhereTheyBelong_data();
  void controlsStandWhereTheyBelong();
  void windowIsAFixedToolWindowOnTop();
  void startsInItsStartUpState();
  void tabVisitsTheControlsInOrderAndSkipsTheDisabledField();
  void indicatorCheckBoxIsClickableWhereItCrossesTheFrame();
  void longMessagesWrapInsideTheLabel();
  void fontsAndColours();
  void placementKeepsTheWindowOnTheScreen();
  void romFilterHasItsElevenEntries();
  void iconHasEverySize();
};

void LayoutTest::controlsStandWhereTheyBelong_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("parentName");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QRect>("twips");
  QTest::addColumn<QString>("toolTip");
  const auto row = [](const char* name, const char* parent, const QString& text, QRect twips,
                      const QString& tip = QString()) {
    QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(parent) << text << twips
                        << tip;
  };
  row("cmdROM", "frmMain", "Abrir ROM", {120, 120, 1335, 255});
  row("cmdTable", "frmMain", "Abrir tabla", {120, 480, 1335, 255});
  row("frmOffset", "frmMain", "Offsets [Hex]", {120, 840, 1335, 1455});
  row("Label1", "frmOffset", "Inicio del texto:", {120, 240, 1095, 255});
  row("txtOffsetIni", "frmOffset", "", {120, 480, 1095, 285}, "Offset inicial en hexadecimal");
  row("Label2", "frmOffset", "Fin del texto:", {120, 840, 975, 255});
  row("txtOffsetFin", "frmOffset", "", {120, 1080, 1095, 285}, "Offset Final en hexadecimal");
  row("Frame2", "frmMain", "Formato Bytes", {120, 2280, 1335, 1935});
  row("Label3", "Frame2", "Cierre izquierdo {,[,(,<,/,\\ o ~", {120, 240, 1095, 495});
  row("txtCierreI", "Frame2", "<", {120, 720, 1095, 285}, "Formato para cierre izquierdo de bytes");
  row("Label4", "Frame2", "Cierre derecho },],),>,/,\\ o ~", {120, 1080, 1095, 495});
  row("txtCierreD", "Frame2", ">", {120, 1560, 1095, 285}, "Formato derecho para cierre de bytes");
  row("ckIndicador", "frmMain", "Byte indicador", {120, 4250, 1335, 255});
  row("Frame1", "frmMain", "", {120, 4440, 1335, 735});
  row("Label5", "Frame1", "Byte que indica", {120, 120, 1095, 255});
  row("txtByteIni", "Frame1", "", {120, 360, 1095, 285},
      "Byte que indica el inicio de un bloque de texto");
  row("Frame3", "frmMain", "Mensajes", {120, 5160, 1335, 1575}, "Mensajes");
  row("m", "Frame3", "Bienvenido a Romscriber.", {120, 240, 1095, 1215});
  row("l", "frmMain", "0 (0%)", {120, 6840, 1335, 255},
      QString::fromUtf8("Progreso de la extracción"));
  row("Label7", "frmMain", "Tiempo transcurrido", {0, 7200, 1575, 255});
  row("t", "frmMain", "0h, 0m, 0s.", {120, 7560, 1335, 255}, "Tiempo transcurrido");
  row("cmdExtraer", "frmMain", "Extraer", {120, 7920, 855, 255});
  row("cmdAcerca", "frmMain", "?", {1080, 7920, 375, 255});
}

void LayoutTest::controlsStandWhereTheyBelong() {
  QFETCH(QString, name);
  QFETCH(QString, parentName);
  QFETCH(QString, text);
  QFETCH(QRect, twips);
  QFETCH(QString, toolTip);
  WindowHarness h;
  auto* widget = h.Window->findChild<QWidget*>(name);
  QVERIFY(widget);
  QCOMPARE(widget->parentWidget()->objectName(), parentName);
  QString shown;
  if (auto* label = qobject_cast<QLabel*>(widget)) shown = label->text();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) shown = edit->text();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) shown = button->text();
  if (auto* frame = qobject_cast<QGroupBox*>(widget)) shown = frame->title();
  QCOMPARE(shown, text);
  QCOMPARE(widget->geometry(), TwipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
  QCOMPARE(widget->toolTip(), toolTip);
  if (auto* edit = qobject_cast<QLineEdit*>(widget))
    QCOMPARE(edit->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

void LayoutTest::windowIsAFixedToolWindowOnTop() {
  WindowHarness h;
  frmMain& w = *h.Window;
  QCOMPARE(w.windowTitle(), QStringLiteral("Romscriber 1.6"));
  QCOMPARE(w.size(), QSize(105, 552));
  QCOMPARE(w.minimumSize(), w.maximumSize());
  const Qt::WindowFlags flags = w.windowFlags();
  QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);  // no task-bar button
  QVERIFY(flags & Qt::WindowStaysOnTopHint);
  QVERIFY(flags & Qt::WindowCloseButtonHint);
  QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
  QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
  auto* timer = w.findChild<QTimer*>(QStringLiteral("Tiempo"));
  QVERIFY(timer);
  QCOMPARE(timer->interval(), 1000);
  QVERIFY(!timer->isActive());
  // No button takes Enter for the whole window.
  for (auto* button : w.findChildren<QPushButton*>()) {
    QVERIFY(!button->isDefault());
    QVERIFY(!button->autoDefault());
  }
}

void LayoutTest::startsInItsStartUpState() {
  WindowHarness h;
  h.Window->show();
  QVERIFY(QTest::qWaitForWindowActive(h.Window.get()));
  QCOMPARE(QApplication::focusWidget(), h.Button("cmdROM"));
  QVERIFY(!h.Field("txtByteIni")->isEnabled());
  QVERIFY(h.Field("txtByteIni")->text().isEmpty());
  QVERIFY(!h.Get<QCheckBox>("ckIndicador")->isChecked());
  QCOMPARE(h.Field("txtCierreI")->maxLength(), 1);
  QCOMPARE(h.Field("txtCierreD")->maxLength(), 1);
  QCOMPARE(h.Field("txtByteIni")->maxLength(), 2);
  QVERIFY(!h.Window->RomLoaded());
  QVERIFY(!h.Window->TableLoaded());
}

void LayoutTest::tabVisitsTheControlsInOrderAndSkipsTheDisabledField() {
  WindowHarness h;
  h.Window->show();
  QVERIFY(QTest::qWaitForWindowActive(h.Window.get()));
  const auto visit = [&](const QStringList& expected) {
    QStringList seen;
    for (int i = 0; i < expected.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      seen << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(seen, expected);
  };
  visit({"cmdTable", "txtOffsetIni", "txtOffsetFin", "txtCierreI", "txtCierreD", "cmdExtraer",
         "cmdAcerca", "ckIndicador", "cmdROM"});
  h.Get<QCheckBox>("ckIndicador")->setChecked(true);
  h.Button("cmdROM")->setFocus();
  visit({"cmdTable", "txtOffsetIni", "txtOffsetFin", "txtCierreI", "txtCierreD", "cmdExtraer",
         "cmdAcerca", "txtByteIni", "ckIndicador", "cmdROM"});
}

void LayoutTest::indicatorCheckBoxIsClickableWhereItCrossesTheFrame() {
  WindowHarness h;
  h.Window->show();
  auto* box = h.Get<QCheckBox>("ckIndicador");
  auto* frame = h.Get<QGroupBox>("Frame1");
  // The strip where the two overlap is the check box's, in front.
  const QRect overlap = box->geometry().intersected(frame->geometry());
  QVERIFY(!overlap.isEmpty());
  QCOMPARE(h.Window->childAt(overlap.center()), box);
  QTest::mouseClick(box, Qt::LeftButton, {},
                    box->mapFromParent(QPoint(box->x() + 8, overlap.center().y())));
  QVERIFY(box->isChecked());
  QVERIFY(h.Field("txtByteIni")->isEnabled());
}

void LayoutTest::longMessagesWrapInsideTheLabel() {
  WindowHarness h;
  h.Window->show();
  auto* m = h.Get<QLabel>("m");
  const QRect before = m->geometry();
  h.Dialog.Answers.push_back(
      QStringLiteral("/una/carpeta/que/no/existe/con/un/nombre/muy/largo/rom.smc"));
  h.Click("cmdROM");
  QCOMPARE(m->text(), QStringLiteral("Error #: 76"));
  h.OpenRom(h.File("una ROM con un nombre bastante largo para una sola línea.smc", "x"));
  QVERIFY(m->text().startsWith(QStringLiteral("Abierta ROM: ")));
  QVERIFY(m->wordWrap());
  QVERIFY(m->fontMetrics().horizontalAdvance(m->text()) > m->width());
  QCOMPARE(m->geometry(), before);
  QCOMPARE(h.Get<QGroupBox>("Frame3")->width(), Px(1335));
}

void LayoutTest::fontsAndColours() {
  WindowHarness h;
  for (const char* name : {"cmdROM", "txtOffsetIni", "Label3", "m", "t", "ckIndicador", "Frame2"}) {
    const QFont font = h.Window->findChild<QWidget*>(QString::fromLatin1(name))->font();
    QCOMPARE(font.pointSizeF(), 8.25);
    QVERIFY(!font.bold() && !font.italic() && !font.underline() && !font.strikeOut());
    QCOMPARE(font.families().value(0), QStringLiteral("MS Sans Serif"));
  }
  QCOMPARE(h.Get<QLabel>("l")->font().families().value(0), QStringLiteral("MS Serif"));
  QCOMPARE(h.Get<QLabel>("l")->font().pointSizeF(), 8.25);
  QCOMPARE(h.Get<QLabel>("m")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  for (const char* name : {"l", "t"}) {
    auto* label = h.Get<QLabel>(name);
    QCOMPARE(label->palette().color(QPalette::Window), QColor(255, 255, 128));
    QVERIFY(label->autoFillBackground());
    QCOMPARE(label->frameShape(), QFrame::Box);
    QCOMPARE(label->alignment(), Qt::AlignCenter);
  }
}

void LayoutTest::placementKeepsTheWindowOnTheScreen() {
  const QRect wanted(715, 106, 105, 552);
  // A screen that holds the place leaves it as it is.
  QCOMPARE(PlaceOnScreen(wanted, QRect(0, 0, 1920, 1080)), wanted);
  // A narrow, short screen moves it left and up just enough.
  QCOMPARE(PlaceOnScreen(wanted, QRect(0, 0, 800, 600)), QRect(695, 48, 105, 552));
  // A screen area that starts further right and down (a panel) moves it there.
  QCOMPARE(PlaceOnScreen(wanted, QRect(760, 200, 1000, 1000)), QRect(760, 200, 105, 552));
  // Too small for the window: its top-left corner stays visible.
  QCOMPARE(PlaceOnScreen(wanted, QRect(0, 0, 100, 500)).topLeft(), QPoint(0, 0));
  WindowHarness h;
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  QVERIFY(screen.contains(h.Window->geometry().topLeft()));
}

void LayoutTest::romFilterHasItsElevenEntries() {
  const QList<DialogFilter> entries = ParseDialogFilter(RomDialogFilter());
  QCOMPARE(entries.size(), 11);
  QCOMPARE(entries[0].Description, QStringLiteral("SNES SMC (*.smc)"));
  QCOMPARE(entries[3].Pattern, QStringLiteral("*.078"));
  QCOMPARE(entries[7].Description, QStringLiteral("Gameboy GB(*.gb)"));
  QCOMPARE(entries[8].Description, QStringLiteral("Gameboy GBC (*.gbc*)"));
  QCOMPARE(entries[8].Pattern, QStringLiteral("*.gbc"));
  QCOMPARE(entries[9].Description, QStringLiteral("Game Gear GG  (*.gg)"));
  QCOMPARE(entries[9].Pattern, QStringLiteral("*.gg "));
  QCOMPARE(entries[10].Description, QStringLiteral("Todos los archivos (*.*)"));
  QCOMPARE(entries[10].Pattern, QStringLiteral("*.*"));
}

void LayoutTest::iconHasEverySize() {
  WindowHarness h;
  const QList<QSize> sizes = h.Window->windowIcon().availableSizes();
  for (int size : {16, 24, 32, 48, 64, 72, 96, 128})
    QVERIFY(sizes.contains(QSize(size, size)));
  // Something is drawn, in more than one colour.
  const QImage image = DrawIcon(48);
  QSet<QRgb> colours;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 48; ++x)
      if (qAlpha(image.pixel(x, y)) == 255) colours.insert(image.pixel(x, y));
  QVERIFY(colours.size() > 3);
}

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
