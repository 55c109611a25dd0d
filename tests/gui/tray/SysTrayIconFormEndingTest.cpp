// Ending the tray host: saving on "&Beenden", the question when that fails, a signal, the end
// of the session and closing the window shown without a notification area.
#include "TrayHostFixture.h"
#include "XSession.h"

#include <QAction>
#include <QFileInfo>

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

// Closing the window shown in place of the tray icon is "&Beenden": save, then end; when the
// save fails, the question comes first.
TEST_F(TrayHost, ClosingTheNoTrayWindowSavesAndEndsLikeBeenden) {
  auto host = Start();
  QWidget *window = host->TrayIcon()->FallbackWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return ActivatedByWindowManager(window->winId()); }));
  CloseByWindowManager(QString::number(window->winId()));
  EXPECT_TRUE(WaitUntil([&] { return Quits == 1; }));
  EXPECT_TRUE(QFileInfo::exists(Config));
  EXPECT_TRUE(Boxes.isEmpty());

  auto failing = Start(QStringLiteral("fehlt/k.ini"));
  window = failing->TrayIcon()->FallbackWindow();
  ASSERT_TRUE(WaitUntil([&] { return ActivatedByWindowManager(window->winId()); }));
  Answer = QMessageBox::No;
  CloseByWindowManager(QString::number(window->winId()));
  EXPECT_TRUE(WaitUntil([&] { return Boxes.size() == 1; }));
  EXPECT_EQ(Quits, 1);
  EXPECT_TRUE(window->isVisible());
}
