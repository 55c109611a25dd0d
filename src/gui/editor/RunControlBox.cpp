#include "gui/editor/RunControlBox.h"

#include "core/EditorSession.h"
#include "gui/editor/EditRules.h"
#include "gui/widgets/TimeEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// What a duration field can show at most: two digits of hours.
constexpr std::int64_t LongestShownMs = (99 * 3600 + 59 * 60 + 59) * 1000LL;
// A checked duration starts from one hour, not from nothing.
constexpr std::int64_t SuggestedMs = 3600 * 1000LL;

// hh:mm:ss of a duration, cut to what the field can show.
QString DurationFieldText(std::int64_t ms) {
  const std::int64_t seconds = std::clamp<std::int64_t>(ms, 0, LongestShownMs) / 1000;
  return QStringLiteral("%1:%2:%3")
      .arg(seconds / 3600, 2, 10, QChar(u'0'))
      .arg(seconds / 60 % 60, 2, 10, QChar(u'0'))
      .arg(seconds % 60, 2, 10, QChar(u'0'));
}

// How Dispatch tells a program call from a message ('"' or '\'') and an internal command ('%'):
// by the first character of the stored text. An empty text is still to be typed, most likely
// a program.
bool IsProgramText(const QString &text) {
  return text.isEmpty() || (text.front() != u'"' && text.front() != u'\'' && text.front() != u'%');
}

} // namespace

TRunControlBox::TRunControlBox(QWidget *parent) : QGroupBox(QStringLiteral("Ausführung"), parent) {
  CreateControls();
  Arrange();
  ConnectHandlers();
  SetEntry(TActionEntry{});
}

void TRunControlBox::CreateControls() {
  FActiveBox = new QCheckBox(QStringLiteral("A&ktiv"), this);
  FActiveBox->setToolTip(QStringLiteral("Ausgeschaltet wird die Aktion nie ausgeführt; "
                                        "eingeschaltet holt sie die Zeit dazwischen nicht nach."));
  const QStringList days = {QStringLiteral("Mo"), QStringLiteral("Di"), QStringLiteral("Mi"),
                            QStringLiteral("Do"), QStringLiteral("Fr"), QStringLiteral("Sa"),
                            QStringLiteral("So")};
  for (std::size_t day = 0; day < FDayBoxes.size(); ++day)
    FDayBoxes[day] = new QCheckBox(days.at(static_cast<qsizetype>(day)), this);
  FWorkdaysBtn = new QPushButton(QStringLiteral("&Werktage"), this);
  FWorkdaysBtn->setToolTip(QStringLiteral("Montag bis Freitag"));
  FLateBox = new QCheckBox(QStringLiteral("nicht na&chholen, wenn mehr als"), this);
  FLateBox->setToolTip(QStringLiteral("Ein Aufruf, der so viel später käme, wird ausgelassen "
                                      "und im Verlauf vermerkt."));
  FLateEdit = new TMaskTimeEdit(this);
  FIfRunningBox = new QComboBox(this);
  FIfRunningBox->addItems({QStringLiteral("parallel starten"), QStringLiteral("überspringen"),
                           QStringLiteral("danach starten")});
  FIfRunningBox->setToolTip(QStringLiteral("Was geschieht, wenn das Programm zum nächsten "
                                           "Aufruf noch läuft"));
  FTimeLimitBox = new QCheckBox(QStringLiteral("&beenden nach"), this);
  FTimeLimitBox->setToolTip(QStringLiteral("Läuft das Programm länger, wird es beendet."));
  FTimeLimitEdit = new TMaskTimeEdit(this);
}

void TRunControlBox::Arrange() {
  // Five lines, so that the group keeps the dialog's classic width: the weekdays alone fill a
  // line, and their "Werktage" stands above their end.
  auto *active = new QHBoxLayout;
  active->addWidget(FActiveBox);
  active->addStretch(1);
  active->addWidget(FWorkdaysBtn);

  auto *days = new QHBoxLayout;
  days->setSpacing(2);
  auto *daysLabel = new QLabel(QStringLiteral("nur an"), this);
  daysLabel->setBuddy(FDayBoxes[0]);
  days->addWidget(daysLabel);
  for (QCheckBox *box : FDayBoxes)
    days->addWidget(box);
  days->addStretch(1);

  auto *late = new QHBoxLayout;
  late->addWidget(FLateBox);
  late->addWidget(FLateEdit);
  late->addWidget(new QLabel(QStringLiteral("zu spät"), this));
  late->addStretch(1);

  auto *running = new QHBoxLayout;
  auto *runningLabel = new QLabel(QStringLiteral("Läuft n&och:"), this);
  runningLabel->setBuddy(FIfRunningBox);
  running->addWidget(runningLabel);
  running->addWidget(FIfRunningBox);
  running->addStretch(1);

  auto *limit = new QHBoxLayout;
  limit->addWidget(FTimeLimitBox);
  limit->addWidget(FTimeLimitEdit);
  limit->addStretch(1);

  auto *rows = new QVBoxLayout(this);
  rows->setContentsMargins(6, 2, 6, 4);
  rows->setSpacing(2);
  for (QHBoxLayout *line : {active, days, late, running, limit})
    rows->addLayout(line);
}

void TRunControlBox::ConnectHandlers() {
  connect(FWorkdaysBtn, &QPushButton::clicked, this, [this] {
    for (std::size_t day = 0; day < FDayBoxes.size(); ++day)
      FDayBoxes[day]->setChecked(day < 5);
  });
  for (QCheckBox *box : FDayBoxes)
    connect(box, &QCheckBox::toggled, this, &TRunControlBox::WeekdaysChanged);
  for (QCheckBox *box : {FLateBox, FTimeLimitBox})
    connect(box, &QCheckBox::toggled, this, &TRunControlBox::UpdateEnabled);
  for (TMaskTimeEdit *field : {FLateEdit, FTimeLimitEdit})
    connect(field, &TMaskTimeEdit::Change, this, [this, field] {
      // Each correction is a change again; CorrectTimeField repeats the check itself.
      if (FCorrecting)
        return;
      FCorrecting = true;
      CorrectTimeField(*field, false);
      FCorrecting = false;
    });
}

void TRunControlBox::SetEntry(const TActionEntry &entry) {
  FActiveBox->setChecked(entry.Active);
  for (std::size_t day = 0; day < FDayBoxes.size(); ++day)
    FDayBoxes[day]->setChecked(entry.Weekdays & (1u << day));
  FLoadedLateMs = entry.LateLimitMs;
  FLoadedLateText = DurationFieldText(entry.LateLimitMs > 0 ? entry.LateLimitMs : SuggestedMs);
  FLateEdit->SetText(FLoadedLateText);
  FLateBox->setChecked(entry.LateLimitMs > 0);
  FIfRunningBox->setCurrentIndex(std::min<int>(entry.IfRunning, irAfter));
  FLoadedTimeLimitMs = entry.TimeLimitMs;
  FLoadedTimeLimitText = DurationFieldText(entry.TimeLimitMs > 0 ? entry.TimeLimitMs : SuggestedMs);
  FTimeLimitEdit->SetText(FLoadedTimeLimitText);
  FTimeLimitBox->setChecked(entry.TimeLimitMs > 0);
  UpdateEnabled();
}

std::int64_t TRunControlBox::DurationOf(const TMaskTimeEdit &field, std::int64_t loadedMs,
                                        const QString &loadedText) const {
  if (loadedMs > 0 && field.Text() == loadedText)
    return loadedMs;
  bool ok = false;
  const std::int64_t ms = ParseDurationText(field.Text(), &ok);
  return ok ? ms : 0;
}

void TRunControlBox::ApplyTo(TActionEntry &entry, TDateTime now) const {
  SetEntryActive(entry, FActiveBox->isChecked(), now);
  // A kind without weekdays keeps every day, so that a later switch to daily starts complete.
  const std::uint8_t days = Weekdays();
  entry.Weekdays = days != 0 ? days : AllWeekdays;
  entry.LateLimitMs =
      FLateBox->isChecked() ? DurationOf(*FLateEdit, FLoadedLateMs, FLoadedLateText) : 0;
  entry.IfRunning = static_cast<TIfRunning>(std::max(FIfRunningBox->currentIndex(), 0));
  entry.TimeLimitMs = FTimeLimitBox->isChecked()
                          ? DurationOf(*FTimeLimitEdit, FLoadedTimeLimitMs, FLoadedTimeLimitText)
                          : 0;
}

std::uint8_t TRunControlBox::Weekdays() const {
  unsigned mask = 0;
  for (std::size_t day = 0; day < FDayBoxes.size(); ++day)
    if (FDayBoxes[day]->isChecked())
      mask |= 1u << day;
  return static_cast<std::uint8_t>(mask);
}

void TRunControlBox::SetTimePoint(int kind) {
  FDaily = kind == tpDaily;
  UpdateEnabled();
}

void TRunControlBox::SetActionText(const QString &text) {
  FProgram = IsProgramText(text);
  UpdateEnabled();
}

void TRunControlBox::UpdateEnabled() {
  for (QCheckBox *box : FDayBoxes)
    box->setEnabled(FDaily);
  FWorkdaysBtn->setEnabled(FDaily);
  FLateEdit->setEnabled(FLateBox->isChecked());
  FIfRunningBox->setEnabled(FProgram);
  FTimeLimitBox->setEnabled(FProgram);
  FTimeLimitEdit->setEnabled(FProgram && FTimeLimitBox->isChecked());
}

QString TRunControlBox::CheckInput(QWidget **field) const {
  if (FDaily && Weekdays() == 0) {
    *field = FDayBoxes[0];
    return QStringLiteral("Bitte wählen Sie unter „nur an“ mindestens einen Wochentag, sonst "
                          "wird die tägliche Aktion nie ausgeführt.");
  }
  if (FLateBox->isChecked() && DurationOf(*FLateEdit, FLoadedLateMs, FLoadedLateText) == 0) {
    *field = FLateEdit;
    return QStringLiteral("Bei „nicht nachholen, wenn mehr als … zu spät“ muss die Zeit länger "
                          "als 00:00:00 sein.");
  }
  if (FTimeLimitBox->isEnabled() && FTimeLimitBox->isChecked() &&
      DurationOf(*FTimeLimitEdit, FLoadedTimeLimitMs, FLoadedTimeLimitText) == 0) {
    *field = FTimeLimitEdit;
    return QStringLiteral("Bei „beenden nach“ muss die Zeit länger als 00:00:00 sein.");
  }
  return QString();
}

int TRunControlBox::HelpTopicOf(const QWidget *widget) const {
  // The combo box's list and the like belong to their control.
  for (; widget && widget != this; widget = widget->parentWidget()) {
    if (widget == FActiveBox)
      return ActiveTopic;
    if (widget == FWorkdaysBtn ||
        std::find(FDayBoxes.begin(), FDayBoxes.end(), widget) != FDayBoxes.end())
      return WeekdaysTopic;
    if (widget == FLateBox || widget == FLateEdit)
      return LateTopic;
    if (widget == FIfRunningBox)
      return IfRunningTopic;
    if (widget == FTimeLimitBox || widget == FTimeLimitEdit)
      return TimeLimitTopic;
  }
  return 0;
}
