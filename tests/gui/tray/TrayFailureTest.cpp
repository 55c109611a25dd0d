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

#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

// One session: no notification area at first, two failing programs and one that succeeds,
// then a notification area, a click on a failure, a message's notification after its window
// was closed.
TEST(TrayFailure, FailuresAreNotifiedCountedMarkedAndClicksLeadToVerlaufOrTheMessage) {
  if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
    GTEST_SKIP() << "no private session bus (run under dbus-run-session)";
  QTemporaryDir temp;
  TNotificationServiceOnBus bus;
  ASSERT_TRUE(bus.Start());
  bool trayThere = false;
  TSysTrayIconForm host({{temp.filePath(QStringLiteral("k.ini"))}, temp.path()},
                        [&trayThere](TSysTrayIconForm &h) {
                          h.TrayIcon()->TrayAreaAvailable = [&trayThere] { return trayThere; };
                          // This desktop's answer changes without a signal: looked for.
                          h.TrayIcon()->DesktopSignals = false;
                          h.TrayIcon()->TrayWatchMs = 50;
                          h.TrayIcon()->NoTrayGraceMs = 0;
                          h.Seams().MessageBox = [](auto...) { return QMessageBox::No; };
                        });
  const auto received = [&bus](const QString &summary) {
    QList<TReceived> found;
    for (const TReceived &r : bus.Fake.Received)
      if (r.Summary == summary)
        found.append(r);
    return found;
  };
  // Whether the tray's picture carries the red mark in its lower right corner.
  const auto marked = [&host] {
    const QImage picture = host.TrayIcon()->Icon().pixmap(64, 64).toImage();
    const QColor corner = picture.pixelColor(picture.width() * 7 / 8, picture.height() * 13 / 16);
    return corner.red() > 150 && corner.green() < 80 && corner.alpha() > 200;
  };
  const auto MessageText = [&host] {
    const TMessageForm *form = host.MessageForms().MessageForm();
    return form ? form->MsgMemo->toPlainText() : QString();
  };
  ASSERT_TRUE(WaitUntil([&] { return MessageText().contains(QStringLiteral("Infobereich")); }));
  EXPECT_FALSE(marked());
  const auto add = [&host](const QString &action) {
    TActionEntry entry = NewActionEntry(tpOnce, At(2026, 1, 1, 8), action);
    entry.SuddenStart = true;
    host.Scheduler().AddAction(entry);
  };
  for (const char *action : {"/bin/false", "/bin/true", "/nicht/da/programm"})
    add(QString::fromLatin1(action));
  // The host's own ticks run the calls and see the programs end.
  const QString failed = QStringLiteral("Aktion fehlgeschlagen");
  ASSERT_TRUE(WaitUntil([&] { return host.FailedCalls() == 2 && received(failed).size() == 2; }));
  const QList<TReceived> failures = received(failed);
  const auto exited = std::find_if(failures.begin(), failures.end(), [](const TReceived &r) {
    return r.Body == QStringLiteral("Aktion 1: „/bin/false“\nBeendet mit Status 1");
  });
  ASSERT_NE(exited, failures.end()) << failures[0].Body.toStdString();
  EXPECT_TRUE(exited->Actions.contains(QStringLiteral("Verlauf öffnen")));
  // The program that cannot start is told in the window and once on the desktop.
  EXPECT_TRUE(received(QStringLiteral("Fehler")).isEmpty());
  EXPECT_TRUE(marked());
  EXPECT_TRUE(host.TrayIcon()->Hint().endsWith(
      QStringLiteral("\n2 Aufrufe fehlgeschlagen (seit „Verlauf“ zuletzt geöffnet wurde)")));

  // The icon moves into a notification area: the notice goes, the error stays.
  trayThere = true;
  ASSERT_TRUE(WaitUntil([&] { return !MessageText().contains(QStringLiteral("Infobereich")); }));
  EXPECT_TRUE(MessageText().startsWith(QStringLiteral("Fehler bei Ausführung von")));

  bus.Click(exited->Id, QStringLiteral("default"));
  ASSERT_TRUE(WaitUntil([&] { return host.HistoryWindow() != nullptr; }));
  const THistoryForm *history = host.HistoryWindow();
  const TCallRecord *call =
      history->Model->CallAt(history->CallsView->selectionModel()->selectedRows().value(0).row());
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->State, TCallState::Exited);
  EXPECT_EQ(host.FailedCalls(), 0);
  EXPECT_FALSE(marked());
  EXPECT_FALSE(host.TrayIcon()->Hint().contains(QStringLiteral("fehlgeschlagen")));

  host.Scheduler().ShowMessageWindow(QStringLiteral("Nachricht"), QString(),
                                     QStringLiteral("Zähne putzen"));
  ASSERT_TRUE(WaitUntil([&] { return received(QStringLiteral("Nachricht")).size() == 1; }));
  host.MessageForms().MessageForm()->close();
  bus.Click(received(QStringLiteral("Nachricht")).first().Id, QStringLiteral("default"));
  EXPECT_TRUE(WaitUntil([&] { return MessageText() == QStringLiteral("Zähne putzen\n\n"); }));
}

} // namespace
