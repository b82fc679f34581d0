#include "studio/editor.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCharFormat>

namespace romscriber::studio {

namespace {

const QRegularExpression& RawByte() {
  static const QRegularExpression kRaw(QStringLiteral("<\\$[0-9A-Fa-f]{2}>"));
  return kRaw;
}

// The index in UTF-16 units of character `n` (from 0, a code point each) of
// `text`, or -1 when it has fewer.
int UnitOfCharacter(const QString& text, int n) {
  int unit = 0;
  for (int k = 0; k < n; ++k) {
    if (unit >= text.size()) return -1;
    unit += text.at(unit).isHighSurrogate() ? 2 : 1;
  }
  return unit < text.size() ? unit : -1;
}

}  // namespace

TextHighlighter::TextHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

void TextHighlighter::SetTokens(const QStringList& tokens) {
  // Strings of one block share their tokens: the text shown next is
  // highlighted as it is set.
  if (tokens == m_tokens) return;
  m_tokens = tokens;
  rehighlight();
}

void TextHighlighter::SetFailure(int column) {
  if (column == m_failure) return;
  m_failure = column;
  rehighlight();
}

void TextHighlighter::highlightBlock(const QString& text) {
  QTextCharFormat token;
  token.setForeground(QColor(0, 110, 150));
  token.setBackground(QColor(226, 242, 248));
  for (const QString& t : m_tokens) {
    for (int at = text.indexOf(t); at >= 0 && !t.isEmpty(); at = text.indexOf(t, at + t.size()))
      setFormat(at, static_cast<int>(t.size()), token);
  }
  for (auto it = RawByte().globalMatch(text); it.hasNext();) {
    const auto match = it.next();
    setFormat(static_cast<int>(match.capturedStart()), static_cast<int>(match.capturedLength()),
              token);
  }
  if (m_failure <= 0) return;
  // The failing character, counted over the whole text: the lines before
  // this one and their line breaks.
  int before = 0;
  for (QTextBlock b = currentBlock().document()->firstBlock(); b.isValid() && b != currentBlock();
       b = b.next()) {
    const QString line = b.text();
    before += 1;  // its line break
    for (int k = 0; k < line.size(); ++k)
      before += line.at(k).isLowSurrogate() ? 0 : 1;
  }
  const int here = m_failure - 1 - before;
  if (here < 0) return;
  const int unit = UnitOfCharacter(text, here);
  QTextCharFormat wrong = format(unit < 0 ? 0 : unit);
  wrong.setUnderlineStyle(QTextCharFormat::WaveUnderline);
  wrong.setUnderlineColor(QColor(200, 0, 0));
  wrong.setForeground(QColor(176, 0, 32));
  if (unit >= 0) {
    setFormat(unit, text.at(unit).isHighSurrogate() ? 2 : 1, wrong);
  } else if (here == CodePointCount(text) && currentBlock().next().isValid()) {
    // The line break that ends this line cannot be encoded: the last
    // character shows it.
    if (!text.isEmpty()) setFormat(static_cast<int>(text.size()) - 1, 1, wrong);
  }
}

int TextHighlighter::CodePointCount(const QString& text) {
  int n = 0;
  for (const QChar c : text)
    n += c.isLowSurrogate() ? 0 : 1;
  return n;
}

TranslationEditor::TranslationEditor(QWidget* parent)
    : QPlainTextEdit(parent), m_highlighter(new TextHighlighter(document())) {
  setTabChangesFocus(true);
  connect(this, &QPlainTextEdit::textChanged, this, [this] {
    const QString text = toPlainText();
    if (text == m_last) return;
    m_last = text;
    emit Edited(text);
  });
}

void TranslationEditor::Show(const QString& text) {
  m_last = text;
  if (toPlainText() == text) return;
  setPlainText(text);
  moveCursor(QTextCursor::End);
}

}  // namespace romscriber::studio
