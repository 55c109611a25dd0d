// TMaskTimeEdit: the masked time field "hh:mm:ss". It always holds eight characters with
// fixed colons; the six digit positions take digits only and an unfilled position holds 0.
// Qt's input mask keeps that shape on every editing path (typing, Backspace, Delete, the
// platform's bindings such as Ctrl+K on X11, cut, paste, undo, drag and drop).
#pragma once

#include <QLineEdit>

// A time field of the fixed form hh:mm:ss.
class TMaskTimeEdit : public QLineEdit {
  Q_OBJECT
public:
  explicit TMaskTimeEdit(QWidget *parent = nullptr);

  // The eight characters shown, e.g. "09:05:03". (QLineEdit::text() leaves out the digits 0,
  // which the mask takes for unfilled positions; always read the field through this.)
  QString Text() const { return displayText(); }
  // Writes a time text into the field: each colon-separated number is aligned to the right of
  // its two positions ("9:5:3" shows 09:05:03); anything that is not a digit reads as 0.
  // The caret stays where it was, so a correction made while the user types does not move it.
  void SetText(const QString &value);
  // Whether the Delete key blanks the digit under the caret (the interval field swallows it).
  bool DeleteKeyEnabled = true;

  // The eight-character form of value, as SetText shows it.
  static QString Normalized(const QString &value);

signals:
  // The text changed, by the user or by SetText (the same as textChanged; named for callers).
  void Change();

protected:
  void keyPressEvent(QKeyEvent *event) override;
  void focusInEvent(QFocusEvent *event) override;
};
