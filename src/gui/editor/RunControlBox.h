// TRunControlBox: the edit dialog's group of an action's run controls (on/off, weekdays, too
// late, still running, time limit). It holds only controls; the dialog's owner fills it from an
// entry and writes it back after OK, so the box never keeps an entry of its own.
#pragma once

#include "base/ActionEntry.h"

#include <QGroupBox>
#include <array>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QPushButton;
class TMaskTimeEdit;

// The run-control group of the edit dialog.
class TRunControlBox : public QGroupBox {
  Q_OBJECT
public:
  explicit TRunControlBox(QWidget *parent = nullptr);

  // The help topics of the controls, one each.
  static constexpr int ActiveTopic = 2100;
  static constexpr int WeekdaysTopic = 2110;
  static constexpr int LateTopic = 2120;
  static constexpr int IfRunningTopic = 2130;
  static constexpr int TimeLimitTopic = 2140;

  // Shows the run-control values of entry.
  void SetEntry(const TActionEntry &entry);
  // Writes the values shown into entry (Active through the editor's switch, so that switching
  // on starts from now). Durations shown as typed are taken; one the field cannot show (over
  // 99:59:59) is kept while its field was not changed.
  void ApplyTo(TActionEntry &entry, TDateTime now) const;

  // The weekday boxes serve the daily kind only.
  void SetTimePoint(int kind);
  // "Läuft noch" and the time limit serve program calls only, not messages or internal
  // commands; the action text decides.
  void SetActionText(const QString &text);

  // Whether the values can be taken; otherwise returns the German reason and the control to
  // put the focus on.
  QString CheckInput(QWidget **field) const;
  // The help topic of a control of the box (or one inside it); 0 for any other widget.
  int HelpTopicOf(const QWidget *widget) const;

  // The controls, for the dialog's tab order and for tests.
  QCheckBox *ActiveBox() const { return FActiveBox; }
  // The weekday box of day (0 = Monday ... 6 = Sunday).
  QCheckBox *DayBox(int day) const { return FDayBoxes.at(static_cast<std::size_t>(day)); }
  QPushButton *WorkdaysBtn() const { return FWorkdaysBtn; }
  QCheckBox *LateBox() const { return FLateBox; }
  TMaskTimeEdit *LateEdit() const { return FLateEdit; }
  // Items in the order of TIfRunning: parallel, skip, after.
  QComboBox *IfRunningBox() const { return FIfRunningBox; }
  QCheckBox *TimeLimitBox() const { return FTimeLimitBox; }
  TMaskTimeEdit *TimeLimitEdit() const { return FTimeLimitEdit; }

  // The weekday mask the boxes show.
  std::uint8_t Weekdays() const;

signals:
  // A weekday box was checked or cleared (the dialog's date text names the days).
  void WeekdaysChanged();

private:
  void CreateControls();
  void Arrange();
  void ConnectHandlers();
  // Enables what the kind, the action and the check boxes leave open.
  void UpdateEnabled();
  // A duration field's value: the loaded one while the field shows it unchanged.
  std::int64_t DurationOf(const TMaskTimeEdit &field, std::int64_t loadedMs,
                          const QString &loadedText) const;

  QCheckBox *FActiveBox = nullptr;
  std::array<QCheckBox *, 7> FDayBoxes{};
  QPushButton *FWorkdaysBtn = nullptr;
  QCheckBox *FLateBox = nullptr;
  TMaskTimeEdit *FLateEdit = nullptr;
  QComboBox *FIfRunningBox = nullptr;
  QCheckBox *FTimeLimitBox = nullptr;
  TMaskTimeEdit *FTimeLimitEdit = nullptr;
  bool FDaily = false;
  bool FProgram = true;
  // The durations as loaded and the texts their fields showed for them.
  std::int64_t FLoadedLateMs = 0;
  std::int64_t FLoadedTimeLimitMs = 0;
  QString FLoadedLateText;
  QString FLoadedTimeLimitText;
  // Set while a field's range correction writes it.
  bool FCorrecting = false;
};
