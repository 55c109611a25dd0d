#include "gui/editor/EditRules.h"

#include "base/ActionEntry.h"
#include "gui/widgets/TimeEdit.h"

#include <QLineEdit>
#include <QStringList>
#include <QToolTip>
#include <QValidator>
#include <algorithm>

namespace {

// Refuses a text longer than an action may be. QLineEdit's own length limit counts UTF-16
// units and cuts what is pasted, which could split a character and loses text unseen.
class TActionLengthValidator : public QValidator {
public:
  using QValidator::QValidator;
  State validate(QString &input, int &) const override {
    return ActionTextLength(input) > MaxActionLength ? Invalid : Acceptable;
  }
};

// The number in two characters of s from position (counted from 0); -1 when not a number.
int PairValue(const QString &s, int position) {
  bool ok = false;
  const int value = s.mid(position, 2).toInt(&ok);
  return ok && s.mid(position, 2).size() == 2 ? value : -1;
}

} // namespace

QString CorrectedTimeText(const QString &text, bool limitHours) {
  QString s = text;
  s.replace(u' ', u'0');
  QString correction;
  if (limitHours && PairValue(s, 0) > 23)
    correction = QStringLiteral("23") + s.mid(2);
  if (PairValue(s, 3) > 59)
    correction = s.left(3) + QStringLiteral("59") + s.mid(5);
  if (PairValue(s, 6) > 59)
    correction = s.left(6) + QStringLiteral("59");
  return correction.isEmpty() ? text : correction;
}

void CorrectTimeField(TMaskTimeEdit &field, bool limitHours) {
  // Seconds, minutes and hours: three passes at most; the bound guards against a field
  // that would not take the corrected text.
  for (int pass = 0; pass < 4; ++pass) {
    const QString text = field.Text();
    const QString corrected = CorrectedTimeText(text, limitHours);
    if (corrected == text)
      return;
    field.SetText(corrected);
  }
}

int ActionTextLength(const QString &text) {
  return static_cast<int>(text.toUcs4().size());
}

void LimitActionLength(QLineEdit &field) {
  field.setValidator(new TActionLengthValidator(&field));
  QObject::connect(&field, &QLineEdit::inputRejected, &field, [&field] {
    QToolTip::showText(field.mapToGlobal(QPoint(0, field.height())),
                       QStringLiteral("Eine Aktion hat höchstens %1 Zeichen.").arg(MaxActionLength),
                       &field);
  });
}

const QStringList &CommandBoxItems() {
  static const QStringList items = {
      QStringLiteral("Copy"),    QStringLiteral("Move"),      QStringLiteral("LZHCopy"),
      QStringLiteral("Delete"),  QStringLiteral("Rename"),    QStringLiteral("MkDir"),
      QStringLiteral("Exec"),    QStringLiteral("TimeStamp"), QStringLiteral("FullDay"),
      QStringLiteral("Day"),     QStringLiteral("Weekday"),   QStringLiteral("Month"),
      QStringLiteral("Year"),    QStringLiteral("Hour"),      QStringLiteral("Minute"),
      QStringLiteral("Second"),  QStringLiteral("FullTime"),  QStringLiteral("Temp"),
      QStringLiteral("RandFile")};
  return items;
}

QString CommandBoxText(const QString &text, int index, int selStart, int selLength, int *caret) {
  const QString item = CommandBoxItems().value(index);
  if (index >= 7) {
    const QString token = u'%' + item + u'%';
    const int start = std::clamp(selStart, 0, int(text.size()));
    const int length = std::clamp(selLength, 0, int(text.size()) - start);
    if (caret)
      *caret = start + int(token.size());
    return text.left(start) + token + text.mid(start + length);
  }
  QString result;
  if (text.isEmpty() || !text.startsWith(u'%'))
    result = u'%' + item + u' ' + text;
  else if (const qsizetype blank = text.indexOf(u' '); blank >= 0)
    result = u'%' + item + u' ' + text.mid(blank);
  else
    result = u'%' + item;
  if (caret)
    *caret = int(result.size());
  return result;
}
