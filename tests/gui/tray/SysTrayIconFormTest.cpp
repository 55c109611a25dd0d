#include "gui/tray/SysTrayIconForm.h"

#include "RecordingSink.h"
#include "TestFiles.h"
#include "TestHelpers.h"
#include "XSession.h"
#include "core/InstanceLock.h"
#include "gui/editor/HelpViewer.h"
#include "gui/editor/HistoryModel.h"
#include "gui/editor/MainForm.h"
#include "gui/moon/Moon.h"
#include "gui/widgets/StringAlignGrid.h"
#include "gui/widgets/TimeEdit.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// A tray host on a configuration in a temporary folder, with every dialog replaced.
class TrayHost : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(FTemp.isValid()); }

  std::unique_ptr<TSysTrayIconForm> Start(const QString &configName = QStringLiteral("k.ini")) {
    Config = FTemp.filePath(configName);
    auto host = std::make_unique<TSysTrayIconForm>(
        TStartupArgs{{Config}, FTemp.path()}, [this](TSysTrayIconForm &h) {
          h.Scheduler().SetMessageSink(&Sink);
          h.Scheduler().SetClock([] { return At(2026, 12, 8, 9, 0, 0); });
          h.TrayIcon()->TrayAreaAvailable = [] { return false; };
          h.TrayIcon()->NoTrayGraceMs = NoTrayGraceMs;
          h.Seams().MessageBox = [this](QMessageBox::Icon icon, const QString &text,
                                        QMessageBox::StandardButtons buttons) {
            Boxes.append(text);
            LastIcon = icon;
            LastButtons = buttons;
            return Answer;
          };
          h.Seams().Quit = [this] { ++Quits; };
          h.Seams().KeyboardModifiers = [this] { return Modifiers; };
        });
    return host;
  }

  QTemporaryDir FTemp;
  QString Config;
  // Longer than any test, so that the notice that there is no notification area arrives only
  // where a test waits for it, never racing what another test counts.
  int NoTrayGraceMs = 24 * 60 * 60 * 1000;
  TRecordingSink Sink;
  QStringList Boxes;
  QMessageBox::Icon LastIcon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons LastButtons;
  QMessageBox::StandardButton Answer = QMessageBox::No;
  int Quits = 0;
  Qt::KeyboardModifiers Modifiers = Qt::NoModifier;
};

TActionEntry Entry(const QString &action, TDateTime last) {
  TActionEntry entry = NewActionEntry(tpDaily, At(2026, 1, 1, 8, 0, 0), action);
  entry.LastDate = last;
  return entry;
}

} // namespace

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
  EXPECT_TRUE(host->Timer()->isActive());
  EXPECT_EQ(host->Timer()->interval(), 1000);
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
  EXPECT_FALSE(host->Timer()->isActive());
  EXPECT_EQ(host->TrayIcon()->Hint(), QStringLiteral("Kronolab (angehalten)"));
  EXPECT_TRUE(TRxTrayIcon::SamePicture(host->TrayIcon()->Icon(), host->PausedIcon()));

  host->StoppedItem()->trigger();
  EXPECT_FALSE(host->StoppedItem()->isChecked());
  EXPECT_TRUE(host->Timer()->isActive());
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

TEST_F(TrayHost, FailedSaveOnExitAsksAndNoKeepsTheProgramRunning) {
  auto host = Start(QStringLiteral("fehlt/k.ini")); // its folder does not exist
  Answer = QMessageBox::No;
  host->Beenden()->trigger();
  ASSERT_EQ(Boxes.size(), 1);
  EXPECT_EQ(Boxes[0], ConfigWriteErrorText(host->Scheduler().ConfigFileName(),
                                           QStringLiteral("Datei oder Ordner nicht gefunden")));
  EXPECT_EQ(LastIcon, QMessageBox::Warning);
  EXPECT_EQ(LastButtons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(Quits, 0);
  EXPECT_TRUE(host->TrayIcon()->Active());

  Answer = QMessageBox::Yes;
  host->Beenden()->trigger();
  EXPECT_EQ(Quits, 1);
}

TEST_F(TrayHost, SuccessfulExitSavesAndEndsWithoutAQuestion) {
  auto host = Start();
  host->Beenden()->trigger();
  EXPECT_TRUE(Boxes.isEmpty());
  EXPECT_EQ(Quits, 1);
  EXPECT_TRUE(QFileInfo::exists(Config));
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

TEST(ConfigWriteError, ALongPathIsShortenedInTheMiddleAndTheQuestionStaysWhole) {
  const QString shortPath = QStringLiteral("/home/anna/.config/Kronolab/kronolab.ini");
  EXPECT_EQ(ConfigWriteErrorText(shortPath),
            QStringLiteral("Fehler beim Schreiben der Konfigurationsdatei!\nBitte stellen Sie "
                           "sicher das die Datei\n\"/home/anna/.config/Kronolab/kronolab.ini\"\n"
                           "nicht anderweitig geöffnet ist.\nWollen Sie das Programm trotzdem "
                           "schließen?"));
  const QString longPath =
      QStringLiteral("/home/anna/") + QString(300, u'x') + QStringLiteral("/ende.ini");
  const QString text = ConfigWriteErrorText(longPath);
  EXPECT_EQ(text.size(), 255);
  EXPECT_TRUE(text.endsWith(QStringLiteral("Wollen Sie das Programm trotzdem schließen?")));
  EXPECT_TRUE(text.contains(QStringLiteral("\"/home/anna/xx")));
  EXPECT_TRUE(text.contains(QStringLiteral("…")));
  EXPECT_TRUE(text.contains(QStringLiteral("x/ende.ini\"\n")));
}

TEST_F(TrayHost, EditorOkWithIntervalZeroIsRefusedWithOneMinute) {
  auto host = Start();
  host->Scheduler().SetActions({Entry(QStringLiteral("\"Hallo\""), 0)});
  host->Seams().RunEditor = [](TEditorSession &session) {
    EXPECT_EQ(session.Copies.size(), 1u);
    EXPECT_EQ(session.IntervalMs, 1000u);
    for (std::size_t i = 0; i < session.Copies.size(); ++i)
      session.Rows.push_back({session.Copies[i], static_cast<int>(i), false});
    session.IntervalMs = 0;
    return true;
  };
  host->Einstellungen1()->trigger();
  ASSERT_EQ(Boxes.size(), 1);
  EXPECT_EQ(Boxes[0], QStringLiteral("Der Abfrage-Intervall ist unkorrekt angegeben und wird auf "
                                     "1 Min eingestellt !"));
  EXPECT_EQ(LastButtons, QMessageBox::Ok);
  EXPECT_EQ(host->Scheduler().Interval(), 60000u);
  EXPECT_EQ(host->Timer()->interval(), 60000);

  TScheduler saved;
  saved.LoadConfiguration(Config);
  EXPECT_EQ(saved.Interval(), 60000u);
  EXPECT_EQ(saved.ActionList().Count(), 1);
}

TEST_F(TrayHost, EditorCancelledChangesAndSavesNothing) {
  auto host = Start();
  host->Scheduler().SetActions({Entry(QStringLiteral("\"Hallo\""), 0)});
  host->Seams().RunEditor = [](TEditorSession &session) {
    session.IntervalMs = 5000;
    return false;
  };
  host->Einstellungen1()->trigger();
  EXPECT_EQ(host->Scheduler().Interval(), 1000u);
  EXPECT_EQ(host->Scheduler().ActionList().Count(), 1);
  EXPECT_FALSE(QFileInfo::exists(Config));
}

TEST_F(TrayHost, RunsRecordedWhileTheEditorIsOpenAreNotMadeAgain) {
  auto host = Start();
  const TDateTime before = At(2026, 12, 7, 8, 0, 0);
  const TDateTime during = At(2026, 12, 8, 8, 0, 0);
  host->Scheduler().SetActions({Entry(QStringLiteral("a"), before),
                                Entry(QStringLiteral("b"), before),
                                Entry(QStringLiteral("c"), before)});
  int editors = 0;
  host->Seams().RunEditor = [&](TEditorSession &session) {
    ++editors;
    // A tick records runs of a and b meanwhile; a double click only raises this editor.
    host->Scheduler().ActionList()[0]->LastDate = during;
    host->Scheduler().ActionList()[1]->LastDate = during;
    host->TrayIconClick();
    TEditorRow a{session.Copies[0], 0, false};
    TEditorRow b{session.Copies[1], 1, true}; // the user set b's last run himself
    b.Entry.LastDate = At(2026, 11, 1);
    TEditorRow fresh{Entry(QStringLiteral("neu"), 0), -1, false};
    session.Rows = {a, b, fresh};
    session.IntervalMs = 1000;
    return true;
  };
  host->Einstellungen1()->trigger();
  EXPECT_EQ(editors, 1);
  ASSERT_EQ(host->Scheduler().ActionList().Count(), 3);
  EXPECT_DOUBLE_EQ(host->Scheduler().ActionList()[0]->LastDate, during);
  EXPECT_DOUBLE_EQ(host->Scheduler().ActionList()[1]->LastDate, At(2026, 11, 1));
  EXPECT_EQ(host->Scheduler().ActionList()[2]->Action.Text(), QStringLiteral("neu"));
}

TEST_F(TrayHost, TheEditorCanMoveTheConfigurationToAnotherFile) {
  auto host = Start();
  const QString other = FTemp.filePath(QStringLiteral("anders.ini"));
  host->Seams().RunEditor = [&](TEditorSession &session) {
    session.ConfigFileName = other;
    session.IntervalMs = 2000;
    return true;
  };
  host->Einstellungen1()->trigger();
  EXPECT_EQ(host->Scheduler().ConfigFileName(), other);
  EXPECT_TRUE(QFileInfo::exists(other));
  EXPECT_EQ(host->Timer()->interval(), 2000);
}

// The editor's load button shows another list; only OK makes that file the configuration.
// After Abbruch (and its question) the list the user only looked at stays untouched, and
// the configuration is saved where it was.
TEST_F(TrayHost, AListLoadedInTheEditorBecomesTheConfigurationOnlyWithOK) {
  auto host = Start();
  host->Scheduler().SetActions({Entry(QStringLiteral("a"), 0)});
  const QString other = FTemp.filePath(QStringLiteral("andere.ini"));
  const QByteArray otherBytes =
      "[General]\r\nInterval=1000\r\nCount=1\r\n\r\n[Action1]\r\nTimePoint=2\r\n"
      "FirstDate=46000.5\r\nAction=b\r\n";
  {
    QFile file(other);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(otherBytes);
  }
  // Drives the open editor as the user does: load, then Abbruch or OK; the question is
  // the real message box, answered with its "Ja" button.
  const auto runEditor = [&](bool ok) {
    QStringList asked;
    QTimer::singleShot(0, [&] {
      auto *form = qobject_cast<TMainForm *>(QApplication::activeModalWidget());
      ASSERT_NE(form, nullptr);
      form->Seams().ChooseFile = [&](bool, const QString &, const QString &) { return other; };
      QTest::mouseClick(form->OpenBtn(), Qt::LeftButton);
      if (!ok)
        QTimer::singleShot(0, [&] {
          auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
          ASSERT_NE(box, nullptr);
          asked.append(box->text());
          QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
        });
      QTest::mouseClick(ok ? form->OKBtn() : form->CancelBtn(), Qt::LeftButton);
    });
    host->Einstellungen1()->trigger();
    return asked;
  };

  EXPECT_EQ(runEditor(false),
            QStringList{QStringLiteral("Wollen Sie wirklich alle Änderungen verwerfen ?")});
  EXPECT_EQ(host->Scheduler().ConfigFileName(), Config);
  EXPECT_EQ(host->Scheduler().ActionList().Count(), 1);
  EXPECT_TRUE(host->SaveOnExit());
  EXPECT_TRUE(QFileInfo::exists(Config));
  QFile kept(other);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), otherBytes);
  kept.close();

  // OK never asks.
  EXPECT_TRUE(runEditor(true).isEmpty());
  EXPECT_EQ(host->Scheduler().ConfigFileName(), other);
  TScheduler saved;
  saved.LoadConfiguration(other);
  ASSERT_EQ(saved.ActionList().Count(), 2);
  EXPECT_EQ(saved.ActionList()[1]->Action.Text(), QStringLiteral("b"));
}

// The one-scheduler lock follows the editor to the new file; when it cannot (another
// scheduler runs that file), the configuration stays where it was and the user is told why.
TEST_F(TrayHost, TheConfigurationStaysWhenItsLockCannotFollowTheEditor) {
  auto host = Start();
  const QString other = FTemp.filePath(QStringLiteral("anders.ini"));
  QStringList asked;
  QString refusal;
  host->Seams().FollowConfigFile = [&](const QString &newFile) {
    asked.append(newFile);
    return refusal;
  };
  host->Seams().RunByAnother = [&](const QString &file) { return file == other; };
  bool editorKnowsTheOtherScheduler = false;
  host->Seams().RunEditor = [&](TEditorSession &session) {
    editorKnowsTheOtherScheduler =
        session.RunByAnother && session.RunByAnother(other) && !session.RunByAnother(Config);
    session.ConfigFileName = other;
    return true;
  };
  refusal = QStringLiteral("Für anders.ini läuft schon ein anderes Kronolab.");
  host->Einstellungen1()->trigger();
  EXPECT_TRUE(editorKnowsTheOtherScheduler);
  EXPECT_EQ(asked, QStringList{other});
  EXPECT_EQ(host->Scheduler().ConfigFileName(), Config);
  EXPECT_TRUE(QFileInfo::exists(Config)); // the editor's OK saved into the old file
  ASSERT_FALSE(Sink.Texts().isEmpty());
  EXPECT_EQ(Sink.Texts().back(), QStringLiteral("Fehler: ") + refusal);

  refusal.clear();
  host->Einstellungen1()->trigger();
  EXPECT_EQ(host->Scheduler().ConfigFileName(), other);
  // The same file again asks nothing.
  host->Einstellungen1()->trigger();
  EXPECT_EQ(asked.size(), 2);
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

TEST_F(TrayHost, EndingBySignalSavesTheRecordedRunsWithoutAsking) {
  auto host = Start();
  host->Scheduler().SetActions({Entry(QStringLiteral("a"), At(2026, 12, 8, 8, 0, 0))});
  host->EndWithoutAsking();
  EXPECT_TRUE(Boxes.isEmpty());
  EXPECT_EQ(Quits, 1);
  TScheduler saved;
  saved.LoadConfiguration(Config);
  ASSERT_EQ(saved.ActionList().Count(), 1);
  EXPECT_NEAR(saved.ActionList()[0]->LastDate, At(2026, 12, 8, 8, 0, 0), MsTolerance);
}

TEST_F(TrayHost, SessionEndSavesAgainButNotAfterBeendenHasSaved) {
  auto host = Start();
  EXPECT_TRUE(host->SaveOnExit());
  EXPECT_TRUE(QFileInfo::exists(Config));
  host->Beenden()->trigger();
  QFile::remove(Config);
  EXPECT_TRUE(host->SaveOnExit());
  EXPECT_FALSE(QFileInfo::exists(Config));
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

// Closing the window shown in place of the tray icon is "&Beenden": save, then end; when the
// save fails, the question comes first.
TEST_F(TrayHost, ClosingTheNoTrayWindowSavesAndEndsLikeBeenden) {
  auto host = Start();
  QWidget *window = host->TrayIcon()->FallbackWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return ActivatedByWindowManager(window->winId()); }));
  XDoTool({QStringLiteral("key"), QStringLiteral("alt+F4")});
  EXPECT_TRUE(WaitUntil([&] { return Quits == 1; }));
  EXPECT_TRUE(QFileInfo::exists(Config));
  EXPECT_TRUE(Boxes.isEmpty());

  auto failing = Start(QStringLiteral("fehlt/k.ini"));
  window = failing->TrayIcon()->FallbackWindow();
  ASSERT_TRUE(WaitUntil([&] { return ActivatedByWindowManager(window->winId()); }));
  Answer = QMessageBox::No;
  XDoTool({QStringLiteral("key"), QStringLiteral("alt+F4")});
  EXPECT_TRUE(WaitUntil([&] { return Boxes.size() == 1; }));
  EXPECT_EQ(Quits, 1);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(TrayHost, IntervalZeroInTheConfigurationLeavesTheTimerSilent) {
  auto host = Start();
  host->Scheduler().SetInterval(0);
  host->ApplyInterval();
  EXPECT_FALSE(host->Timer()->isActive());
  host->Scheduler().SetInterval(500);
  host->ApplyInterval();
  EXPECT_TRUE(host->Timer()->isActive());
  EXPECT_EQ(host->Timer()->interval(), 500);
}

TEST_F(TrayHost, AHandedOverStartOpensTheEditorFromTheEventLoop) {
  auto host = Start();
  int editors = 0;
  host->Seams().RunEditor = [&](TEditorSession &) {
    ++editors;
    return false;
  };
  host->HandOverRequest();
  EXPECT_EQ(editors, 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(editors, 1);
}

// The real editor window: opened with copies of the list, a deletion confirmed in it, OK.
TEST_F(TrayHost, TheEditorWindowTakesTheListAndHandsItBack) {
  auto host = Start();
  host->Scheduler().SetActions({Entry(QStringLiteral("a"), 0), Entry(QStringLiteral("b"), 0)});
  QStringList seen;
  QTimer::singleShot(0, [&] {
    auto *form = qobject_cast<TMainForm *>(QApplication::activeModalWidget());
    ASSERT_NE(form, nullptr);
    seen.append(form->windowTitle());
    seen.append(QString::number(form->Rows().size()));
    form->Seams().MessageBox = [](QMessageBox::Icon, const QString &,
                                  QMessageBox::StandardButtons) { return QMessageBox::Ok; };
    form->ActionsGrid()->SetRow(1);
    form->DeleteBtnClick();
    form->TimerEdit()->SetText(QStringLiteral("00:00:02"));
    form->accept();
  });
  host->Einstellungen1()->trigger();
  EXPECT_EQ(seen, (QStringList{QStringLiteral("Kronolab -- ") + Config, QStringLiteral("2")}));
  ASSERT_EQ(host->Scheduler().ActionList().Count(), 1);
  EXPECT_EQ(host->Scheduler().ActionList()[0]->Action.Text(), QStringLiteral("b"));
  EXPECT_EQ(host->Scheduler().Interval(), 2000u);
  TScheduler saved;
  saved.LoadConfiguration(Config);
  EXPECT_EQ(saved.ActionList().Count(), 1);
}

TEST_F(TrayHost, VerlaufOpensOneHistoryWindowOverTheJournal) {
  auto host = Start();
  TActionEntry later = Entry(QStringLiteral("\"b\""), 0);
  later.FirstDate += 1.0 / 24;
  host->Scheduler().SetActions({Entry(QStringLiteral("\"a\""), 0), later});
  host->Scheduler().TimerTimer();
  host->Verlauf1()->trigger();
  THistoryForm *window = host->HistoryWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Verlauf"));
  EXPECT_EQ(window->ActionFilter->count(), 3);
  EXPECT_EQ(window->Model->rowCount(), 2);
  host->Verlauf1()->trigger();
  EXPECT_EQ(host->HistoryWindow(), window);
  // "Jetzt ausführen" there runs the list's entry: one more call, a manual one.
  window->CallsView->selectRow(0);
  window->RunNowBtn->click();
  EXPECT_EQ(window->Model->rowCount(), 3);
  EXPECT_TRUE(window->Model->CallAt(0)->Manual);
  window->close();
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(host->HistoryWindow(), nullptr);
}

// The real editor: "Jetzt ausführen" runs the selected row through the scheduler, leaves
// every LastDate as it was and marks a row whose call failed.
TEST_F(TrayHost, JetztAusfuehrenInTheEditorRunsTheRowAndMarksAFailure) {
  auto host = Start();
  const TDateTime last = At(2026, 12, 8, 8, 0, 0, 100); // today's run made: no tick calls

  host->Scheduler().SetActions({Entry(QStringLiteral("\"hallo\""), last),
                                Entry(QStringLiteral("kronolab-kein-programm"), last)});
  QStringList tips;
  std::vector<TDateTime> shownLastRuns;
  bool marked = false;
  QTimer::singleShot(0, [&] {
    auto *form = qobject_cast<TMainForm *>(QApplication::activeModalWidget());
    ASSERT_NE(form, nullptr);
    form->ActionsGrid()->SetRow(1);
    form->RunNowBtn()->click();
    form->ActionsGrid()->SetRow(2);
    form->RunNowItem()->trigger();
    for (int row = 1; row <= 2; ++row) {
      tips.append(form->ActionsGrid()->item(row - 1, TMainForm::ColAction)->toolTip());
      shownLastRuns.push_back(form->Rows()[static_cast<std::size_t>(row - 1)].Entry.LastDate);
    }
    marked = !form->ActionsGrid()->item(1, TMainForm::ColTimePoint)->icon().isNull() &&
             form->ActionsGrid()->item(0, TMainForm::ColTimePoint)->icon().isNull();
    EXPECT_FALSE(form->Modified());
    form->reject();
  });
  host->Einstellungen1()->trigger();
  ASSERT_EQ(Sink.Texts().size(), 2);
  EXPECT_EQ(Sink.Texts()[0], QStringLiteral("Nachricht von Kronolab: hallo"));
  EXPECT_TRUE(tips[0].isEmpty());
  EXPECT_TRUE(tips[1].contains(QStringLiteral("Datei nicht gefunden !"))) << tips[1].toStdString();
  EXPECT_TRUE(marked);
  EXPECT_EQ(shownLastRuns, (std::vector<TDateTime>{last, last}));
  EXPECT_EQ(host->Scheduler().ActionList()[0]->LastDate, last);
  EXPECT_EQ(host->Scheduler().ActionList()[1]->LastDate, last);
  const std::vector<TCallRecord> calls = host->Scheduler().Journal()->Calls({}, INT64_MAX, 10);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(calls[0].Manual && calls[1].Manual);
}

// The editor's OK is the journal's new starting point: a last run the user reset holds at
// the next start, though the journal had recorded a later call.
TEST_F(TrayHost, TheEditorsOkMakesTheJournalStartFromTheSavedLastRun) {
  auto host = Start();
  host->Scheduler().SetActions({Entry(QStringLiteral("\"x\""), At(2026, 12, 7, 8, 0, 0, 100))});
  host->Scheduler().TimerTimer(); // today's 08:00 call is made and recorded
  ASSERT_EQ(Sink.Texts().size(), 1);
  host->Seams().RunEditor = [](TEditorSession &session) {
    TEditorRow row{session.Copies[0], 0, true, session.JournalIds[0]};
    row.Entry.LastDate = row.Entry.FirstDate; // "Letzten Lauf zurücksetzen"
    session.Rows = {row};
    session.IntervalMs = 1000;
    return true;
  };
  host->Einstellungen1()->trigger();
  host.reset();
  TScheduler next;
  next.SetConfigFileName(Config);
  next.LoadConfiguration(Config);
  next.OpenJournal();
  next.MergeJournalLastDates();
  ASSERT_EQ(next.ActionList().Count(), 1);
  EXPECT_NEAR(next.ActionList()[0]->LastDate, At(2026, 1, 1, 8), MsTolerance);
}
