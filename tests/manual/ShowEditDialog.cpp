// Shows the action edit dialog filled with sample values; with "help [topic]" the help
// window over it, with "hint" the action text's hint, with "open" the program file dialog, with
// "weekly" the weekly kind, with "new" as for a new action (no last run, empty text); for
// looking at the layout by eye (for instance under xvfb-run).
#include "base/DateTime.h"
#include "gui/editor/EditActionDlg.h"
#include "gui/editor/HelpViewer.h"
#include "gui/widgets/Calendar.h"
#include "gui/widgets/TimeEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTimer>
#include <QToolTip>

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  const QStringList args = app.arguments();
  const bool help = args.size() > 1 && args.at(1) == QStringLiteral("help");
  const int topic = args.size() > 2 ? args.at(2).toInt() : TEditActionDlg::HelpContext;

  TEditActionDlg dialog;
  dialog.TimeEdit->SetText(QStringLiteral("08:30:00"));
  dialog.FreqEdit->SetText(QStringLiteral("01:15:00"));
  dialog.AllCallsBox->setChecked(true);
  dialog.SuddenStartBox->setChecked(true);
  dialog.Calendar->SetCalendarDate(EncodeDate(2026, 12, 8));
  dialog.LastTimeLabel->setText(DateTimeText(EncodeDate(2026, 12, 7) + 0.75));
  dialog.ActionEdit->setText(
      QStringLiteral("%Copy @/home/anna/Bilder/*.jpg /home/anna/Hintergrund-%FullDay%.jpg"));
  dialog.ActionEdit->setCursorPosition(0);
  dialog.SetTimePointIndex(args.contains(QStringLiteral("weekly")) ? 3 : 0);
  if (args.contains(QStringLiteral("new"))) {
    dialog.SetLastRunVisible(false);
    dialog.ActionEdit->clear();
    dialog.FreqEdit->SetText(QStringLiteral("00:00:00"));
    dialog.AllCallsBox->setChecked(false);
    dialog.SuddenStartBox->setChecked(false);
  }
  if (args.contains(QStringLiteral("hint")))
    QTimer::singleShot(300, &dialog, [&dialog] {
      QToolTip::showText(dialog.ActionEdit->mapToGlobal(QPoint(20, 20)),
                         dialog.ActionEdit->toolTip(), dialog.ActionEdit);
    });
  if (args.contains(QStringLiteral("open")))
    QTimer::singleShot(300, &dialog, [&dialog] { dialog.OpenBtnClick(); });
  if (help)
    QTimer::singleShot(300, &dialog, [&dialog, topic, &args] {
      ShowHelpTopic(topic, &dialog);
      if (args.contains(QStringLiteral("tall")))
        OpenHelpForm()->resize(700, 1000);
    });
  return dialog.exec() == QDialog::Accepted ? 0 : 1;
}
