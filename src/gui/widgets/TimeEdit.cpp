#include "gui/widgets/TimeEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>

namespace {

constexpr int FieldLength = 8;

bool IsColonPosition(int position) {
  return position == 2 || position == 5;
}

} // namespace

TMaskTimeEdit::TMaskTimeEdit(QWidget *parent) : QLineEdit(parent) {
  setMaxLength(FieldLength);
  setText(QStringLiteral("00:00:00"));
  setContextMenuPolicy(Qt::NoContextMenu);
  setDragEnabled(false);
  setAcceptDrops(false);
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
  if (normalized == text())
    return;
  const int caret = cursorPosition();
  setText(normalized);
  setCursorPosition(caret);
}

void TMaskTimeEdit::SetDigit(int position, QChar digit) {
  if (position < 0 || position >= FieldLength || IsColonPosition(position))
    return;
  QString value = text();
  if (value.at(position) == digit)
    return;
  value[position] = digit;
  const int caret = cursorPosition();
  setText(value);
  setCursorPosition(caret);
}

void TMaskTimeEdit::BlankSelection() {
  if (!hasSelectedText())
    return;
  const int start = selectionStart();
  const int end = start + static_cast<int>(selectedText().size());
  QString value = text();
  for (int position = start; position < end && position < FieldLength; ++position)
    if (!IsColonPosition(position))
      value[position] = u'0';
  deselect();
  setText(value);
  setCursorPosition(start);
}

void TMaskTimeEdit::TypeDigit(QChar digit) {
  BlankSelection();
  int position = cursorPosition();
  if (IsColonPosition(position))
    ++position;
  if (position >= FieldLength)
    return;
  int next = position + 1;
  if (IsColonPosition(next))
    ++next;
  QString value = text();
  value[position] = digit;
  setText(value);
  setCursorPosition(std::min(next, FieldLength));
}

void TMaskTimeEdit::PasteDigits(const QString &pasted) {
  for (QChar c : pasted)
    if (c.isDigit() && c.unicode() <= '9')
      TypeDigit(c);
}

void TMaskTimeEdit::keyPressEvent(QKeyEvent *event) {
  if (isReadOnly()) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  if (event == QKeySequence::Paste) {
    PasteDigits(QApplication::clipboard()->text());
    return;
  }
  if (event == QKeySequence::Cut || event == QKeySequence::Undo || event == QKeySequence::Redo)
    return;
  switch (event->key()) {
  case Qt::Key_Backspace: {
    if (hasSelectedText()) {
      BlankSelection();
      return;
    }
    int position = cursorPosition() - 1;
    if (IsColonPosition(position))
      --position;
    if (position < 0)
      return;
    setCursorPosition(position);
    SetDigit(position, u'0');
    setCursorPosition(position);
    return;
  }
  case Qt::Key_Delete:
    if (!DeleteKeyEnabled)
      return;
    if (hasSelectedText()) {
      BlankSelection();
      return;
    }
    SetDigit(IsColonPosition(cursorPosition()) ? cursorPosition() + 1 : cursorPosition(), u'0');
    return;
  default:
    break;
  }
  const QString typed = event->text();
  if (typed.size() == 1 && typed.at(0).isDigit() && typed.at(0).unicode() <= '9' &&
      !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    TypeDigit(typed.at(0));
    return;
  }
  // Caret movement, selection and shortcuts pass; any other printable key is refused.
  if (!typed.isEmpty() && typed.at(0).isPrint() &&
      !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
    return;
  QLineEdit::keyPressEvent(event);
}

void TMaskTimeEdit::focusInEvent(QFocusEvent *event) {
  QLineEdit::focusInEvent(event);
  // Entering by Tab selects all, as a masked edit does; typing then starts at the hours.
  if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
    QTimer::singleShot(0, this, [this] { selectAll(); });
}
