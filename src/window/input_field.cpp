#include "window/input_field.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include "window/services.h"

namespace romscriber {

bool CharSetValidator::Holds(const QString& text) const {
  for (const QChar c : text)
    if (!m_allowed.contains(c)) return false;
  return true;
}

QValidator::State CharSetValidator::validate(QString& input, int&) const {
  if (Holds(input)) return Acceptable;
  m_beeper.Beep();
  return Invalid;
}

InputField::InputField(const QString& allowed, ClickSelects clickSelects, Beeper& beeper,
                       QWidget* parent)
    : QLineEdit(parent),
      m_validator(new CharSetValidator(allowed, beeper, this)),
      m_clickSelects(clickSelects),
      m_beeper(beeper) {
  setValidator(m_validator);
  setAlignment(Qt::AlignCenter);
}

namespace {

// Keys that edit or move without putting a character into the text.
bool IsEditingKey(int key) {
  switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
      return true;
    default:
      return false;
  }
}

}  // namespace

void InputField::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    event->accept();
    // Queues a Tab for after this event, which moves the focus on along the
    // tab order: disabled controls are skipped, the last wraps to the first.
    QCoreApplication::postEvent(this, new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
    return;
  }
  if (IsEditingKey(key) || event->text().isEmpty()) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  // Anything that arrives as typed text, control characters included, must
  // belong to the set.
  if (!m_validator->Holds(event->text())) {
    m_beeper.Beep();
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void InputField::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  selectAll();
}

void InputField::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  if (m_clickSelects == ClickSelects::kYes) selectAll();
}

}  // namespace romscriber
