// A one-line field that holds only the characters of its set.
//
//   typed character   let through when it is in the set, else refused with a
//                     beep; Backspace, Delete and the cursor keys work as usual
//   Enter             moves the focus on along the tab order, without a beep
//   paste, drop       refused whole, with a beep, when any character of the
//                     new text is outside the set
//   focus             selects the whole text; a click selects it again unless
//                     the field keeps the cursor where the user clicked
#pragma once

#include <QLineEdit>
#include <QValidator>

#include "extract/run_text.h"

namespace romscriber {

class Beeper;


// Accepts a text only when every character is in the set; a refusal beeps.
class CharSetValidator : public QValidator {
 public:
  CharSetValidator(QString allowed, Beeper& beeper, QObject* parent)
      : QValidator(parent), m_allowed(std::move(allowed)), m_beeper(beeper) {}
  State validate(QString& input, int& pos) const override;
  bool Holds(const QString& text) const;

 private:
  QString m_allowed;
  Beeper& m_beeper;
};

class InputField : public QLineEdit {
 public:
  enum class ClickSelects { kYes, kNo };

  InputField(const QString& allowed, ClickSelects clickSelects, Beeper& beeper, QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  CharSetValidator* m_validator;
  ClickSelects m_clickSelects;
  Beeper& m_beeper;
};

}  // namespace romscriber
