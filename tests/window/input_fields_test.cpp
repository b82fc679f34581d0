// The five fields: their character sets, the beep, Enter, Backspace, the
// length limits, selection on entry and insertions that bypass the keys.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include "window_harness.h"

using namespace romscriber;
using namespace romscriber::testing;

class InputFieldsTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void hexFieldsTakeDigitsInEitherCase();
  void hexFieldsRefuseEverythingElseWithABeep();
  void bracketFieldsTakeOnlyTheirOwnSide();
  void typedBracketReplacesTheOneInTheField();
  void lengthLimitsHold();
  void backspaceDeleteAndArrowsWork();
  void controlCharactersAreRefused();
  void enterMovesAlongTheTabOrder();
  void focusAndClickSelectTheWholeText();
  void pasteAndDropHoldToTheSet();

 private:
  void Type(const char* field, const QString& keys) {
    QLineEdit* edit = h->Field(field);
    edit->setFocus();
    QTest::keyClicks(edit, keys);
  }
  std::unique_ptr<WindowHarness> h;
};

void InputFieldsTest::init() {
  h = std::make_unique<WindowHarness>();
  h->Window->show();
  QVERIFY(QTest::qWaitForWindowActive(h->Window.get()));
  h->Get<QCheckBox>("ckIndicador")->setChecked(true);
}

void InputFieldsTest::cleanup() {
  h.reset();
}

void InputFieldsTest::hexFieldsTakeDigitsInEitherCase() {
  Type("txtOffsetIni", "1f");
  QCOMPARE(h->Field("txtOffsetIni")->text(), QStringLiteral("1f"));
  Type("txtOffsetFin", "0123456789ABCDEFabcdef");
  QCOMPARE(h->Field("txtOffsetFin")->text(), QStringLiteral("0123456789ABCDEFabcdef"));
  Type("txtByteIni", "aF");
  QCOMPARE(h->Field("txtByteIni")->text(), QStringLiteral("aF"));
  QCOMPARE(h->Beeps.Count, 0);
}

void InputFieldsTest::hexFieldsRefuseEverythingElseWithABeep() {
  for (const char* field : {"txtOffsetIni", "txtOffsetFin", "txtByteIni"}) {
    h->Beeps.Count = 0;
    h->Field(field)->clear();
    Type(field, QStringLiteral("Gx$- "));
    QKeyEvent enye(QEvent::KeyPress, Qt::Key_Ntilde, Qt::NoModifier, QString::fromUtf8("ñ"));
    QApplication::sendEvent(h->Field(field), &enye);
    QTest::keyClicks(h->Field(field), "1");
    QCOMPARE(h->Field(field)->text(), QStringLiteral("1"));
    QCOMPARE(h->Beeps.Count, 6);
  }
}

void InputFieldsTest::bracketFieldsTakeOnlyTheirOwnSide() {
  const auto typeInto = [&](const char* field, QChar c) {
    h->Field(field)->clear();
    Type(field, QString(c));
    return h->Field(field)->text();
  };
  h->Beeps.Count = 0;
  for (QChar c : QStringLiteral("{[(</\\~"))
    QCOMPARE(typeInto("txtCierreI", c), QString(c));
  for (QChar c : QStringLiteral("}])>/\\~"))
    QCOMPARE(typeInto("txtCierreD", c), QString(c));
  QCOMPARE(h->Beeps.Count, 0);
  QCOMPARE(typeInto("txtCierreD", QLatin1Char('[')), QString());
  QCOMPARE(typeInto("txtCierreI", QLatin1Char(']')), QString());
  QCOMPARE(typeInto("txtCierreI", QLatin1Char('a')), QString());
  QCOMPARE(h->Beeps.Count, 3);
}

void InputFieldsTest::typedBracketReplacesTheOneInTheField() {
  h->Field("txtCierreD")->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);  // back into txtCierreI
  QCOMPARE(QApplication::focusWidget(), h->Field("txtCierreI"));
  QTest::keyClicks(h->Field("txtCierreI"), "[");
  QCOMPARE(h->Field("txtCierreI")->text(), QStringLiteral("["));
}

void InputFieldsTest::lengthLimitsHold() {
  Type("txtByteIni", "AB");
  QLineEdit* byteIni = h->Field("txtByteIni");
  byteIni->end(false);
  QTest::keyClicks(byteIni, "C");
  QCOMPARE(byteIni->text(), QStringLiteral("AB"));
  Type("txtOffsetIni", "123456789ABCDEF0123");
  QCOMPARE(h->Field("txtOffsetIni")->text().size(), 19);  // no limit
}

void InputFieldsTest::backspaceDeleteAndArrowsWork() {
  Type("txtOffsetIni", "1234");
  QLineEdit* edit = h->Field("txtOffsetIni");
  QTest::keyClick(edit, Qt::Key_Backspace);
  QCOMPARE(edit->text(), QStringLiteral("123"));
  QTest::keyClick(edit, Qt::Key_Left);
  QTest::keyClick(edit, Qt::Key_Left);
  QTest::keyClick(edit, Qt::Key_Delete);
  QCOMPARE(edit->text(), QStringLiteral("13"));
  QTest::keyClick(edit, Qt::Key_Home);
  QTest::keyClicks(edit, "A");
  QCOMPARE(edit->text(), QStringLiteral("A13"));
  QCOMPARE(h->Beeps.Count, 0);
}

void InputFieldsTest::controlCharactersAreRefused() {
  Type("txtOffsetIni", "12");
  QLineEdit* edit = h->Field("txtOffsetIni");
  edit->selectAll();
  QApplication::clipboard()->setText(QStringLiteral("FF"));
  // Ctrl+C, Ctrl+V, Ctrl+X, Ctrl+Z and Escape, arriving as typed characters.
  for (char code : {char(3), char(22), char(24), char(26), char(27)}) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(code)));
    QApplication::sendEvent(edit, &press);
  }
  QCOMPARE(edit->text(), QStringLiteral("12"));
  QCOMPARE(h->Beeps.Count, 5);
}

void InputFieldsTest::enterMovesAlongTheTabOrder() {
  const auto enterFrom = [&](const char* field) {
    h->Field(field)->setFocus();
    const QString before = h->Field(field)->text();
    QTest::keyClick(h->Field(field), Qt::Key_Return);
    QCoreApplication::processEvents();  // the queued move
    if (h->Field(field)->text() != before) return QStringLiteral("text changed");
    return QApplication::focusWidget()->objectName();
  };
  QCOMPARE(enterFrom("txtOffsetIni"), QStringLiteral("txtOffsetFin"));
  QCOMPARE(enterFrom("txtOffsetFin"), QStringLiteral("txtCierreI"));
  QCOMPARE(enterFrom("txtCierreI"), QStringLiteral("txtCierreD"));
  QCOMPARE(enterFrom("txtCierreD"), QStringLiteral("cmdExtraer"));
  QCOMPARE(enterFrom("txtByteIni"), QStringLiteral("ckIndicador"));
  QCOMPARE(h->Beeps.Count, 0);
  // Typing the settings with Enter after each lands on "Extraer".
  h->Field("txtOffsetIni")->setFocus();
  for (const char* keys : {"10", "2F", "[", "]"}) {
    QTest::keyClicks(QApplication::focusWidget(), keys);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    QCoreApplication::processEvents();
  }
  QCOMPARE(QApplication::focusWidget(), h->Button("cmdExtraer"));
  QCOMPARE(h->Field("txtOffsetFin")->text(), QStringLiteral("2F"));
  QCOMPARE(h->Field("txtCierreD")->text(), QStringLiteral("]"));
}

void InputFieldsTest::focusAndClickSelectTheWholeText() {
  h->SetText("txtOffsetFin", QStringLiteral("ABCDEF"));
  h->SetText("txtByteIni", QStringLiteral("12"));
  QLineEdit* fin = h->Field("txtOffsetFin");
  h->Field("txtOffsetIni")->setFocus();
  QTest::keyClick(h->Field("txtOffsetIni"), Qt::Key_Tab);
  QCOMPARE(fin->selectedText(), QStringLiteral("ABCDEF"));
  // A click in the middle selects everything again.
  fin->deselect();
  QTest::mouseClick(fin, Qt::LeftButton, {}, fin->rect().center());
  QCOMPARE(fin->selectedText(), QStringLiteral("ABCDEF"));
  // In the indicator field a click places the cursor instead.
  QLineEdit* byteIni = h->Field("txtByteIni");
  byteIni->setFocus();
  QCOMPARE(byteIni->selectedText(), QStringLiteral("12"));
  QTest::mouseClick(byteIni, Qt::LeftButton, {}, byteIni->rect().center());
  QVERIFY(byteIni->selectedText().isEmpty());
}

void InputFieldsTest::pasteAndDropHoldToTheSet() {
  const auto paste = [](QLineEdit* field, const QString& text) {
    QApplication::clipboard()->setText(text);
    field->paste();
    return field->text();
  };
  QLineEdit* edit = h->Field("txtOffsetIni");
  edit->setFocus();
  QCOMPARE(paste(edit, QStringLiteral("1A2b")), QStringLiteral("1A2b"));
  QCOMPARE(h->Beeps.Count, 0);
  // One character outside the set refuses the whole insertion.
  QCOMPARE(paste(edit, QStringLiteral("12 34")), QStringLiteral("1A2b"));
  QCOMPARE(h->Beeps.Count, 1);
  QLineEdit* left = h->Field("txtCierreI");
  left->selectAll();
  QCOMPARE(paste(left, QStringLiteral(">")), QStringLiteral("<"));
  QCOMPARE(h->Beeps.Count, 2);
  // A drop goes through the same check.
  QMimeData mime;
  mime.setText(QStringLiteral("xyz"));
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  edit->selectAll();
  QApplication::sendEvent(edit, &drop);
  QCOMPARE(edit->text(), QStringLiteral("1A2b"));
}

QTEST_MAIN(InputFieldsTest)
#include "input_fields_test.moc"
