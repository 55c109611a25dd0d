// The desktop notifications against a notification service of our own on a private session
// bus: the test program runs under dbus-run-session.
#include "gui/message/DesktopNotifier.h"

#include "FakeNotificationService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QVariantMap>
#include <gtest/gtest.h>

namespace {

// Runs the event loop until done() or timeoutMs (by default a deadline that only a fault
// reaches, however busy the machine).
template <typename Done> bool WaitFor(Done done, int timeoutMs = 30000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < timeoutMs)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

class DesktopNotifier : public ::testing::Test {
protected:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
      GTEST_SKIP() << "no private session bus (run under dbus-run-session)";
  }
  void TearDown() override { OnBus.Stop(); }

  void StartService() { ASSERT_TRUE(OnBus.Start()); }
  void Click(uint id, const QString &action) { OnBus.Click(id, action); }

  TNotificationServiceOnBus OnBus;
  TFakeNotificationService &Fake = OnBus.Fake;
};

TEST_F(DesktopNotifier, EachMessageReachesTheServiceWithItsTextAndTheMoon) {
  StartService();
  TDesktopNotifier notifier;
  ASSERT_TRUE(notifier.Connected());
  QImage moon(64, 64, QImage::Format_ARGB32);
  moon.fill(qRgba(200, 200, 180, 255));
  notifier.Notify(QStringLiteral("Nachricht von Kronolab"),
                  QStringLiteral("Nachricht vom 08.12.2026 07:00\nZähne <putzen> & gehen"), moon);
  notifier.Notify(QStringLiteral("Fehler"), QStringLiteral("Datei nicht gefunden !"), QImage());
  ASSERT_TRUE(WaitFor([&] { return Fake.Received.size() == 2; }));

  const TReceived &first = Fake.Received[0];
  EXPECT_EQ(first.AppName, "Kronolab");
  EXPECT_EQ(first.Summary, "Nachricht von Kronolab");
  // A service without markup gets the text as it is.
  EXPECT_EQ(first.Body, "Nachricht vom 08.12.2026 07:00\nZähne <putzen> & gehen");
  EXPECT_EQ(first.DesktopEntry, "io.github.kronolab.Kronolab");
  EXPECT_TRUE(first.Actions.contains("default"));
  EXPECT_EQ(first.ImageWidth, 64);
  EXPECT_EQ(first.ImageHeight, 64);
  EXPECT_EQ(first.Channels, 4);
  ASSERT_EQ(first.Pixels.size(), 64 * 64 * 4);
  EXPECT_EQ(static_cast<unsigned char>(first.Pixels[0]), 200); // RGBA order, red first
  EXPECT_EQ(Fake.Received[1].Summary, "Fehler");
  EXPECT_EQ(Fake.Received[1].ImageWidth, 0);
}

TEST_F(DesktopNotifier, OnlyAClickOnOneOfOurNotificationsRaisesTheWindow) {
  StartService();
  TDesktopNotifier notifier;
  int activations = 0;
  notifier.OnActivated = [&] { ++activations; };
  notifier.Notify(QStringLiteral("Nachricht von Kronolab"), QStringLiteral("Hallo"), QImage());
  ASSERT_TRUE(WaitFor([&] { return Fake.Received.size() == 1; }));
  const uint ours = Fake.NextId;
  // Let the reply with our id arrive before the clicks.
  WaitFor([] { return false; }, 200);

  Click(ours + 100, QStringLiteral("default")); // another program's notification
  Click(ours, QStringLiteral("andere"));        // a button we never offered
  WaitFor([] { return false; }, 300);
  EXPECT_EQ(activations, 0);
  Click(ours, QStringLiteral("default"));
  EXPECT_TRUE(WaitFor([&] { return activations == 1; }));
}

TEST_F(DesktopNotifier, SwitchedOffItSendsNothing) {
  StartService();
  TDesktopNotifier notifier;
  notifier.Enabled = false;
  notifier.Notify(QStringLiteral("Fehler"), QStringLiteral("x"), QImage());
  WaitFor([] { return false; }, 300);
  EXPECT_TRUE(Fake.Received.isEmpty());
}

TEST_F(DesktopNotifier, WithoutAServiceNothingWaitsAndNothingFails) {
  TDesktopNotifier notifier;
  QElapsedTimer clock;
  clock.start();
  for (int i = 0; i < 20; ++i)
    notifier.Notify(QStringLiteral("Fehler"), QStringLiteral("niemand hört zu"), QImage());
  // The calls return at once; the bus answers "no such service" later, unseen. (A call that
  // waited for an answer would wait for D-Bus's time-out of 25 s.)
  EXPECT_LT(clock.elapsed(), 2000);
  WaitFor([] { return false; }, 300);
  EXPECT_TRUE(Fake.Received.isEmpty());
}

} // namespace
