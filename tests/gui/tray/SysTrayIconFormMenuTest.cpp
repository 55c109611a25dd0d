// The tray menu, its switches, the icon and its tooltip, the window shown without a
// notification area, and the timer.
#include "TestFiles.h"
#include "TrayHostFixture.h"
#include "XSession.h"
#include "core/InstanceLock.h"
#include "gui/editor/HelpViewer.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QToolButton>

TEST_F(TrayHost, TheMenuHoldsEveryItemInItsOrder) {
  auto host = Start();
  QStringList captions;
  for (QAction *action : host->PopupMenu()->actions())
    captions.append(action->isSeparator() ? QStringLiteral("-") : action->text());
  EXPECT_EQ(captions, QStringList({"Programm an&gehalten", "&Aktionen...", "&Verlauf...", "-",
                                   "Aktionen &laden...", "Aktionen &sichern...", "-",
                                   "Stop per Umschalt bei Start ermöglichen", "Protokoll führen",
                                   "Desktop-Benachrichtigungen", "Beim Anmelden starten", "-",
                                   "&Beenden", "-", "&Hilfe", "&Info..."}));
  EXPECT_EQ(host->TrayIcon()->Hint(), QStringLiteral("Kronolab"));
  EXPECT_TRUE(host->TrayIcon()->Active());
  EXPECT_TRUE(host->DueChecksArmed());
  EXPECT_EQ(static_cast<int>(host->Scheduler().TimerInterval()), 1000);
  EXPECT_FALSE(host->isVisible());
}

TEST_F(TrayHost, TheNotificationSwitchIsOnByDefaultAndSavedWithTheConfiguration) {
  auto host = Start();
  host->FormShow();
  EXPECT_TRUE(host->DesktopNotifications1()->isChecked());
  EXPECT_TRUE(host->Notifier()->Enabled);
  host->DesktopNotifications1()->trigger();
  EXPECT_FALSE(host->DesktopNotifications1()->isChecked());
  EXPECT_FALSE(host->Notifier()->Enabled);
  host->Beenden()->trigger();
  host.reset();

  auto again = Start();
  again->FormShow();
  EXPECT_FALSE(again->DesktopNotifications1()->isChecked());
  EXPECT_FALSE(again->Notifier()->Enabled);
}

TEST_F(TrayHost, TheAutostartItemWritesAndRemovesTheEntryForThisProgramAndItsFiles) {
  const QByteArray oldConfigHome = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", FTemp.filePath(QStringLiteral("cfg")).toUtf8());
  auto host = Start(QStringLiteral("mein plan.ini"));
  host->FormShow();
  EXPECT_FALSE(host->AutostartItem()->isChecked());

  host->AutostartItem()->trigger();
  EXPECT_TRUE(host->AutostartItem()->isChecked());
  const QString entry =
      FTemp.filePath(QStringLiteral("cfg/autostart/io.github.kronolab.Kronolab.desktop"));
  QFile file(entry);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(file.readAll());
  // This very program, with the configuration and log it runs on.
  EXPECT_TRUE(text.contains(QStringLiteral("Exec=") + QCoreApplication::applicationFilePath() +
                            QStringLiteral(" \"") + Config + QStringLiteral("\" \"") +
                            FTemp.filePath(QStringLiteral("mein plan.log")) +
                            QStringLiteral("\"\n")))
      << qPrintable(text);

  host->AutostartItem()->trigger();
  EXPECT_FALSE(host->AutostartItem()->isChecked());
  EXPECT_FALSE(QFileInfo::exists(entry));
  qputenv("XDG_CONFIG_HOME", oldConfigHome);
}

TEST_F(TrayHost, PauseStopsTheTimerShowsThePausedIconAndResumeBringsTheMoonBack) {
  auto host = Start();
  const QIcon moon = host->TrayIcon()->Icon();
  host->StoppedItem()->trigger();
  EXPECT_TRUE(host->StoppedItem()->isChecked());
  EXPECT_FALSE(host->DueChecksArmed());
  EXPECT_EQ(host->TrayIcon()->Hint(), QStringLiteral("Kronolab (angehalten)"));
  EXPECT_TRUE(TRxTrayIcon::SamePicture(host->TrayIcon()->Icon(), host->PausedIcon()));

  host->StoppedItem()->trigger();
  EXPECT_FALSE(host->StoppedItem()->isChecked());
  EXPECT_TRUE(host->DueChecksArmed());
  EXPECT_EQ(host->TrayIcon()->Hint(), QStringLiteral("Kronolab"));
  EXPECT_TRUE(TRxTrayIcon::SamePicture(host->TrayIcon()->Icon(), moon));
}

TEST_F(TrayHost, ShiftAtStartPausesOnlyWhenTheSwitchAllowsIt) {
  auto host = Start();
  Modifiers = Qt::ShiftModifier;
  host->FormShow(); // NoShiftReaction is true by default
  EXPECT_FALSE(host->Paused());
  EXPECT_FALSE(host->StopperUmschaltermglichen1()->isChecked());

  EXPECT_TRUE(Sink.Texts().isEmpty());

  auto second = Start(QStringLiteral("zwei.ini"));
  second->Scheduler().SetNoShiftReaction(false);
  second->FormShow();
  EXPECT_TRUE(second->StopperUmschaltermglichen1()->isChecked());
  EXPECT_TRUE(second->Paused());
  EXPECT_EQ(second->TrayIcon()->Hint(), QStringLiteral("Kronolab (angehalten)"));
  // A start that does nothing says why.
  ASSERT_EQ(Sink.Texts().size(), 1);
  EXPECT_TRUE(Sink.Texts()[0].startsWith(QStringLiteral("Kronolab: ")));
  EXPECT_TRUE(Sink.Texts()[0].contains(QStringLiteral("Umschalttaste")));
  EXPECT_TRUE(Sink.Texts()[0].contains(QStringLiteral("angehalten")));
}

// "Protokoll führen": checked as the file says, toggled by the menu, saved with the
// configuration, taken from a loaded action file.
TEST_F(TrayHost, TheLogSwitchFollowsTheFileAndIsSavedOnExit) {
  WriteBytes(FTemp.filePath(QStringLiteral("k.ini")), "[General]\r\nLogging=1\r\n");
  auto host = Start();
  EXPECT_TRUE(host->Protokollfuehren1()->isCheckable());
  EXPECT_TRUE(host->Protokollfuehren1()->isChecked());
  EXPECT_TRUE(host->Scheduler().Logging());
  host->Protokollfuehren1()->trigger();
  EXPECT_FALSE(host->Scheduler().Logging());
  EXPECT_FALSE(host->Protokollfuehren1()->isChecked());
  host->Beenden()->trigger();
  TScheduler saved;
  saved.LoadConfiguration(Config);
  EXPECT_FALSE(saved.Logging());

  host->Protokollfuehren1()->trigger();
  EXPECT_TRUE(host->Scheduler().Logging());
  const QString other = FTemp.filePath(QStringLiteral("anders.ini"));
  WriteBytes(other, "[General]\r\nLogging=0\r\n");
  host->Seams().ChooseFile = [&](bool, const QString &, const QString &) { return other; };
  host->AktionenLaden1()->trigger();
  EXPECT_FALSE(host->Protokollfuehren1()->isChecked());
  EXPECT_FALSE(host->Scheduler().Logging());
}

// The tooltip names the next due action and when; paused it says so instead.
TEST_F(TrayHost, TheTooltipNamesTheNextDueActionAndItsTime) {
  auto host = Start(); // now: 8 December 2026, 09:00
  EXPECT_EQ(host->TrayIcon()->Hint(), QStringLiteral("Kronolab"));
  const TDateTime now = At(2026, 12, 8, 9, 0, 0);
  TActionEntry later = Entry(QStringLiteral("%COPY /a /b"), At(2026, 12, 7, 10, 0, 0));
  later.FirstDate = At(2026, 1, 1, 10, 0, 0);
  TActionEntry sooner = Entry(QStringLiteral("\"Pause"), At(2026, 12, 8, 8, 0, 0));
  sooner.FirstDate = At(2026, 1, 1, 9, 30, 0);
  TActionEntry done = NewActionEntry(tpOnce, At(2026, 1, 1, 8, 0, 0), QStringLiteral("einmal"));
  done.LastDate = At(2026, 1, 1, 8, 0, 0) + RunMark; // ran, never again
  host->Scheduler().SetActions({later, done, sooner});
  host->IconStep(now + 2.0 / 86400);
  EXPECT_EQ(host->TrayIcon()->Hint(), QStringLiteral("Kronolab\nNächste Aktion: ") +
                                          DateTimeText(At(2026, 12, 8, 9, 30, 0)) +
                                          QStringLiteral("\n\"Pause"));

  host->StoppedItem()->trigger();
  EXPECT_EQ(host->TrayIcon()->Hint(), QStringLiteral("Kronolab (angehalten)"));
  host->StoppedItem()->trigger();
  EXPECT_TRUE(host->TrayIcon()->Hint().contains(QStringLiteral("\"Pause")));

  // A long action is shortened; within a second the hint is not worked out again (resuming
  // worked it out at the clock's 09:00:00).
  host->Scheduler().ActionList()[2]->Action = QString(100, u'x');
  host->IconStep(now + 0.5 / 86400);
  EXPECT_TRUE(host->TrayIcon()->Hint().endsWith(QStringLiteral("\"Pause")));
  host->IconStep(now + 1.5 / 86400);
  EXPECT_TRUE(host->TrayIcon()->Hint().endsWith(QString(59, u'x') + QStringLiteral("…")));

  // Switched off, an action is never next; the tooltip counts it.
  host->Scheduler().ActionList()[2]->Active = false;
  host->IconStep(now + 3.0 / 86400);
  EXPECT_EQ(host->TrayIcon()->Hint(), QStringLiteral("Kronolab\nNächste Aktion: ") +
                                          DateTimeText(At(2026, 12, 8, 10, 0, 0)) +
                                          QStringLiteral("\n%COPY /a /b\n1 Aktion ausgeschaltet"));
}

TEST_F(TrayHost, TheShiftSwitchTogglesItsCheckMark) {
  auto host = Start();
  host->StopperUmschaltermglichen1()->trigger();
  EXPECT_FALSE(host->Scheduler().NoShiftReaction());
  EXPECT_TRUE(host->StopperUmschaltermglichen1()->isChecked());
  host->StopperUmschaltermglichen1()->trigger();
  EXPECT_TRUE(host->Scheduler().NoShiftReaction());
  EXPECT_FALSE(host->StopperUmschaltermglichen1()->isChecked());
}

// The help's topic on the tray menu names every item of the real menu, and the contents lead
// to it and to the topics on pausing, the log and ending.
TEST_F(TrayHost, TheHelpCoversEveryMenuItemPausingTheLogAndEnding) {
  auto host = Start();
  const QString path = HelpFileLocation();
  ASSERT_FALSE(path.isEmpty());
  const auto topics = ParseHelpText(QString::fromUtf8(ReadBytes(path)));
  for (int topic : {3000, 3100, 3200, 3300}) {
    ASSERT_TRUE(topics.count(topic)) << topic;
    EXPECT_TRUE(topics.at(0).Html.contains(QStringLiteral("topic:%1").arg(topic))) << topic;
  }
  const QString menu = topics.at(3000).Html;
  for (QAction *action : host->PopupMenu()->actions()) {
    if (action->isSeparator())
      continue;
    const QString caption = action->text().remove(u'&');
    EXPECT_TRUE(menu.contains(caption.toHtmlEscaped())) << caption.toStdString();
  }
  EXPECT_TRUE(topics.at(3100).Html.contains(QStringLiteral("Umschalttaste")));
  EXPECT_TRUE(topics.at(3200).Html.contains(QStringLiteral(".log")));
  EXPECT_TRUE(topics.at(3300).Html.contains(QStringLiteral("TERM")));
}

// "Aktionen sichern..." into a file another scheduler runs would be saved over when that one
// ends: nothing is written and the user is told.
TEST_F(TrayHost, TheMenuSavesNothingIntoAFileAnotherSchedulerRuns) {
  auto host = Start();
  host->Scheduler().SetActions({Entry(QStringLiteral("a"), At(2026, 12, 8, 8, 0, 0))});
  const QString busy = FTemp.filePath(QStringLiteral("belegt.ini"));
  const QString free = FTemp.filePath(QStringLiteral("frei.ini"));
  WriteBytes(busy, "[General]\nCount=0\n");
  host->Seams().RunByAnother = [&](const QString &file) { return file == busy; };
  QString chosen = busy;
  host->Seams().ChooseFile = [&](bool, const QString &, const QString &) { return chosen; };
  host->Aktionensichern1()->trigger();
  EXPECT_EQ(ReadBytes(busy), QByteArray("[General]\nCount=0\n"));
  ASSERT_FALSE(Sink.Texts().isEmpty());
  EXPECT_EQ(Sink.Texts().back(),
            QStringLiteral("Fehler: ") + NotSavedForAnotherSchedulerText(busy));

  chosen = free;
  host->Aktionensichern1()->trigger();
  TScheduler saved;
  saved.LoadConfiguration(free);
  EXPECT_EQ(saved.ActionList().Count(), 1);
}

TEST_F(TrayHost, TheTrayIsToldOfTheMoonOnlyWhenItsPictureChanges) {
  auto host = Start();
  const int pushes = host->TrayIcon()->IconPushes();
  host->IconStep(At(2026, 12, 8, 9, 0, 1));
  host->IconStep(At(2026, 12, 8, 9, 0, 2));
  EXPECT_EQ(host->TrayIcon()->IconPushes(), pushes);
  host->IconStep(At(2026, 12, 20, 9, 0, 0));
  EXPECT_EQ(host->TrayIcon()->IconPushes(), pushes + 1);
  EXPECT_TRUE(TRxTrayIcon::SamePicture(QApplication::windowIcon(), host->TrayIcon()->Icon()));
}

TEST_F(TrayHost, WithoutANotificationAreaAWindowWithTheMenuShowsAndSaysWhyAfterTheGrace) {
  NoTrayGraceMs = 300;
  auto host = Start();
  ASSERT_NE(host->TrayIcon()->FallbackWindow(), nullptr);
  EXPECT_TRUE(host->TrayIcon()->FallbackWindow()->isVisible());
  auto *button = host->TrayIcon()->FallbackWindow()->findChild<QToolButton *>();
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->menu(), host->PopupMenu());
  EXPECT_TRUE(Sink.Texts().isEmpty());
  EXPECT_TRUE(WaitUntil([&] { return !Sink.Texts().isEmpty(); }, 30000));
  EXPECT_EQ(Sink.Texts().size(), 1);
  EXPECT_TRUE(Sink.Texts().value(0).contains(QStringLiteral("keinen Infobereich")));
}

TEST_F(TrayHost, IntervalZeroInTheConfigurationLeavesTheTimerSilent) {
  auto host = Start();
  host->Scheduler().SetInterval(0);
  host->ApplyInterval();
  EXPECT_FALSE(host->DueChecksArmed());
  host->Scheduler().SetInterval(500);
  host->ApplyInterval();
  EXPECT_TRUE(host->DueChecksArmed());
  EXPECT_EQ(static_cast<int>(host->Scheduler().TimerInterval()), 500);
}
