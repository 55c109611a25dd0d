#include "gui/widgets/TimeEdit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>

TMaskTimeEdit::TMaskTimeEdit(QWidget *parent) : QLineEdit(parent) {
  // Digits only, fixed colons, and 0 for an unfilled position: whatever removes a digit
  // leaves a 0 in its place, so the field never loses its shape.
  setInputMask(QStringLiteral("99:99:99;0"));
  setText(QStringLiteral("00:00:00"));
  const QFontMetrics metrics(font());
  setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("00:00:00")) + 16);
  connect(this, &QLineEdit::textChanged, this, [this] { emit Change(); });
}

QString TMaskTimeEdit::Normalized(const QString &value) {
  const QStringList parts = value.split(u':');
  QString result;
  for (int i = 0; i < 3; ++i) {
    QString part = i < parts.size() ? parts.at(i).trimmed() : QString();
    for (QChar &c : part)
      if (!c.isDigit() || c.unicode() > '9')
        c = u'0';
    part = part.left(2).rightJustified(2, u'0');
    if (i > 0)
      result += u':';
    result += part;
  }
  return result;
}

void TMaskTimeEdit::SetText(const QString &value) {
  const QString normalized = Normalized(value);
  if (normalized == Text())
    return;
  const int caret = cursorPosition();
  setText(normalized);
  setCursorPosition(caret);
}

void TMaskTimeEdit::keyPressEvent(QKeyEvent *event) {
  if (!DeleteKeyEnabled && event->key() == Qt::Key_Delete && !isReadOnly()) {
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void TMaskTimeEdit::focusInEvent(QFocusEvent *event) {
  QLineEdit::focusInEvent(event);
  // Entering by Tab selects all, as a masked edit does; typing then starts at the hours.
  if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
    QTimer::singleShot(0, this, [this] { selectAll(); });
}
