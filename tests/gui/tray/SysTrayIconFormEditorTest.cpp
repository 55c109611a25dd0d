// What the tray host does with the editor and the history window: the editor's OK and
// Abbruch, the configuration moved to another file, "Jetzt ausführen" and the journal.
#include "TrayHostFixture.h"
#include "gui/editor/HistoryModel.h"
#include "gui/editor/MainForm.h"
#include "gui/widgets/StringAlignGrid.h"
#include "gui/widgets/TimeEdit.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

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
  EXPECT_EQ(static_cast<int>(host->Scheduler().TimerInterval()), 60000);

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
  EXPECT_EQ(static_cast<int>(host->Scheduler().TimerInterval()), 2000);
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
// every LastDate as it was and marks a row whose call failed. The tray's count of that
// failure, not yet seen in "Verlauf", outlives the program until "Verlauf" is opened.
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

  for (const int seen : {1, 0}) {
    host.reset();
    host = Start();
    EXPECT_EQ(host->FailedCalls(), seen);
    EXPECT_EQ(host->TrayIcon()->Hint().contains(QStringLiteral("1 Aufruf fehlgeschlagen")),
              seen == 1);
    host->Verlauf1()->trigger();
    host->HistoryWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
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
