// The text rules of the edit dialog and the editor window, kept apart from the widgets so
// they are easy to follow and to test: the range corrections of the time fields, the length
// of an action text and the insertion of internal commands and placeholders into it.
// CorrectTimeField and LimitActionLength are the pieces that touch a field.
#pragma once

#include <QString>
#include <QStringList>

// One pass of the time-field check: the corrected text, or the text unchanged when hours
// (only when limitHours), minutes and seconds are in range. Blanks read as 0; each step
// builds on the uncorrected text, so repeated passes fix seconds, then minutes, then hours.
QString CorrectedTimeText(const QString &text, bool limitHours);

class QLineEdit;
class TMaskTimeEdit;

// Writes CorrectedTimeText into field until the field is in range. Each write is a change of
// the field again; the caller ignores those nested changes while this runs.
void CorrectTimeField(TMaskTimeEdit &field, bool limitHours);

// The length of an action text in characters, as the stored entry counts them (a surrogate
// pair is one character).
int ActionTextLength(const QString &text);

// Lets field take no more than MaxActionLength characters: a key or a paste that would make
// the text longer is refused whole, never cut, and a tooltip at the field says why.
void LimitActionLength(QLineEdit &field);

// The action text after picking item index of the command list (0..6 commands, 7..18
// placeholders). For a placeholder, selection [selStart, selStart + selLength) is replaced;
// caret receives the position after the inserted text.
QString CommandBoxText(const QString &text, int index, int selStart, int selLength, int *caret);

// The 19 items of the command list, in their order.
const QStringList &CommandBoxItems();
