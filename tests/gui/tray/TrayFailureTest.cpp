// Failed calls as the user meets them, on a real X server and a notification service of the
// test's own on a private session bus: the notification, the tray's mark and count, "Verlauf"
// opened at the call by a click; a message's notification shown again by a click; the notice
// that there is no notification area taken back when one comes.
#include "TestHelpers.h"
#include "XSession.h"
#include "gui/editor/HistoryForm.h"
#include "gui/editor/HistoryModel.h"
#include "gui/message/FakeNotificationService.h"
#include "gui/message/MessageForm.h"
#include "gui/tray/SysTrayIconForm.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace {

class TrayFailure : public ::testing::Test {
protected:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
      GTEST_SKIP() << "no private session bus (run under dbus-run-session)";
    ASSERT_TRUE(Temp.isValid());
    ASSERT_TRUE(OnBus.Start());
  }

  // The host with its own message window and notifications; only the dialogs are replaced.
  void Start() {
    Host = std::make_unique<TSysTrayIconForm>(
        TStartupArgs{{Temp.filePath(QStringLiteral("k.ini"))}, Temp.path()},
        [this](TSysTrayIconForm &host) {
          host.TrayIcon()->TrayAreaAvailable = [this] { return TrayThere; };
          host.TrayIcon()->TrayWatchMs = 50;
          host.TrayIcon()->NoTrayGraceMs = NoTrayGraceMs;
          host.Seams().MessageBox = [](QMessageBox::Icon, const QString &,
                                       QMessageBox::StandardButtons) { return QMessageBox::No; };
          host.Seams().Quit = [] {};
        });
  }

  // The open message window's text; empty when none is open.
  static QString MessageText() {
    for (QWidget *window : QApplication::topLevelWidgets())
      if (auto *form = qobject_cast<TMessageForm *>(window); form && form->isVisible())
        return form->MsgMemo->toPlainText();
    return QString();
  }

  // The notifications received with summary.
  QList<TReceived> Received(const QString &summary) const {
    QList<TReceived> found;
    for (const TReceived &r : OnBus.Fake.Received)
      if (r.Summary == summary)
        found.append(r);
    return found;
  }

  // Whether the tray's picture carries the red failure mark in its lower right corner.
  bool Marked() const {
    const QImage picture = Host->TrayIcon()->Icon().pixmap(64, 64).toImage();
    const QColor corner = picture.pixelColor(picture.width() * 7 / 8, picture.height() * 13 / 16);
    return corner.red() > 150 && corner.green() < 80 && corner.alpha() > 200;
  }

  QTemporaryDir Temp;
  TNotificationServiceOnBus OnBus;
  std::unique_ptr<TSysTrayIconForm> Host;
  bool TrayThere = false;
  int NoTrayGraceMs = 24 * 60 * 60 * 1000;
};

TEST_F(TrayFailure, AFailedCallIsNotifiedCountedMarkedAndItsClickOpensVerlaufAtTheCall) {
  Start();
  ASSERT_TRUE(Host->Notifier()->Connected());
  EXPECT_FALSE(Marked());
  for (const QString &action : {QStringLiteral("/bin/false"), QStringLiteral("/bin/true"),
                                QStringLiteral("/nicht/da/programm")}) {
    TActionEntry entry = NewActionEntry(tpOnce, At(2026, 1, 1, 8), action);
    entry.SuddenStart = true;
    Host->Scheduler().AddAction(entry);
  }
  // The host's own ticks run the calls and see the programs end.
  ASSERT_TRUE(WaitUntil([&] { return Host->FailedCalls() == 2; }));
  ASSERT_TRUE(
      WaitUntil([&] { return Received(QStringLiteral("Aktion fehlgeschlagen")).size() == 2; }));
  const QList<TReceived> failures = Received(QStringLiteral("Aktion fehlgeschlagen"));
  const auto exited = std::find_if(failures.begin(), failures.end(), [](const TReceived &r) {
    return r.Body == QStringLiteral("Aktion 1: „/bin/false“\nBeendet mit Status 1");
  });
  ASSERT_NE(exited, failures.end()) << failures[0].Body.toStdString();
  EXPECT_TRUE(exited->Actions.contains(QStringLiteral("Verlauf öffnen")));
  // The program that cannot start is told in the window, and once on the desktop.
  EXPECT_TRUE(MessageText().contains(QStringLiteral("/nicht/da/programm")));
  EXPECT_TRUE(Received(QStringLiteral("Fehler")).isEmpty());
  EXPECT_TRUE(Marked());
  EXPECT_TRUE(Host->TrayIcon()->Hint().endsWith(
      QStringLiteral("\n2 Aufrufe fehlgeschlagen (seit „Verlauf“ zuletzt geöffnet wurde)")))
      << Host->TrayIcon()->Hint().toStdString();

  OnBus.Click(exited->Id, QStringLiteral("default"));
  ASSERT_TRUE(WaitUntil([&] { return Host->HistoryWindow() != nullptr; }));
  THistoryForm *history = Host->HistoryWindow();
  const QModelIndexList selected = history->CallsView->selectionModel()->selectedRows();
  ASSERT_EQ(selected.size(), 1);
  const TCallRecord *call = history->Model->CallAt(selected.first().row());
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->Action, QStringLiteral("/bin/false"));
  EXPECT_EQ(call->State, TCallState::Exited);
  // Seen: the mark and the count are gone.
  EXPECT_EQ(Host->FailedCalls(), 0);
  EXPECT_FALSE(Marked());
  EXPECT_FALSE(Host->TrayIcon()->Hint().contains(QStringLiteral("fehlgeschlagen")));

  // With the desktop's notifications switched off, a failure is still counted and marked.
  Host->DesktopNotifications1Click();
  TActionEntry again = NewActionEntry(tpOnce, At(2026, 1, 1, 8), QStringLiteral("/bin/false"));
  again.SuddenStart = true;
  Host->Scheduler().AddAction(again);
  ASSERT_TRUE(WaitUntil([&] { return Host->FailedCalls() == 1; }));
  EXPECT_TRUE(Marked());
  EXPECT_EQ(Received(QStringLiteral("Aktion fehlgeschlagen")).size(), 2);
}

TEST_F(TrayFailure, AMessagesNotificationShowsItAgainAfterItsWindowWasClosed) {
  Start();
  Host->Scheduler().ShowMessageWindow(QStringLiteral("Nachricht von Kronolab"),
                                      QStringLiteral("Nachricht vom 08.12.2026 09:00:00"),
                                      QStringLiteral("Zähne putzen"));
  ASSERT_TRUE(
      WaitUntil([&] { return Received(QStringLiteral("Nachricht von Kronolab")).size() == 1; }));
  const uint id = Received(QStringLiteral("Nachricht von Kronolab")).first().Id;
  for (QWidget *window : QApplication::topLevelWidgets())
    if (qobject_cast<TMessageForm *>(window))
      window->close();
  ASSERT_TRUE(WaitUntil([] { return MessageText().isEmpty(); }));
  OnBus.Click(id, QStringLiteral("default"));
  EXPECT_TRUE(WaitUntil([] { return MessageText().contains(QStringLiteral("Zähne putzen")); }));
}

TEST_F(TrayFailure, TheNoticeOfNoNotificationAreaGoesWhenTheIconMovesIntoOne) {
  NoTrayGraceMs = 0;
  Start();
  ASSERT_TRUE(
      WaitUntil([] { return MessageText().contains(QStringLiteral("keinen Infobereich")); }));
  // Another message in the same window stays when the notice goes.
  Host->Scheduler().ShowMessageWindow(QStringLiteral("Fehler"), QString(),
                                      QStringLiteral("Datei nicht gefunden !"));
  TrayThere = true;
  ASSERT_TRUE(WaitUntil([&] { return Host->TrayIcon()->InTray(); }));
  EXPECT_EQ(MessageText(), QStringLiteral("Datei nicht gefunden !\n\n"));
}

} // namespace
