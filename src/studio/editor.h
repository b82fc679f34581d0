// The translation editor and how texts are coloured in it and in the
// original: control codes and raw bytes (<$HH>, [color]<$02>) in a colour of
// their own, the character that cannot be encoded underlined.
#pragma once

#include <QPlainTextEdit>
#include <QSyntaxHighlighter>
#include <QStringList>

namespace romscriber::studio {

class TextHighlighter : public QSyntaxHighlighter {
  Q_OBJECT

 public:
  explicit TextHighlighter(QTextDocument* document);

  // The texts the table shows for its control codes and end tokens, which
  // are coloured like raw bytes.
  void SetTokens(const QStringList& tokens);
  // The character (from 1, a line break counting one) that cannot be
  // encoded; 0 for none.
  void SetFailure(int column);

 protected:
  void highlightBlock(const QString& text) override;

 private:
  static int CodePointCount(const QString& text);

  QStringList m_tokens;
  int m_failure = 0;
};

// A plain-text editor whose line breaks are the text's own; it says when the
// translator changed the text, not when the window did (showing another
// text) nor when only its colours changed (Qt reports those as changes of
// the document too).
class TranslationEditor : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit TranslationEditor(QWidget* parent = nullptr);

  // Shows `text` without reporting it as an edit.
  void Show(const QString& text);
  TextHighlighter* Highlighter() const { return m_highlighter; }

 signals:
  // The translator changed the text.
  void Edited(const QString& text);

 private:
  TextHighlighter* m_highlighter;
  QString m_last;  // the text as last shown or reported
};

}  // namespace romscriber::studio
