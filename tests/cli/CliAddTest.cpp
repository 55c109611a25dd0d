#include "RunCli.h"
#include "cli/CliActionCommands.h"
#include "core/Scheduler.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// Each option of add is checked before anything is changed: a wrong one is 2 with its German
// reason and leaves no file; the forms users write (umlauts spelt out, any case, hh:mm) are
// taken, and the entry in the file holds what was asked for.
TEST(CliAdd, OptionsAreCheckedAndTakenAsWritten) {
  QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("k.ini"));
  const struct {
    QStringList Args;
    const char *Reason; // empty: taken
  } cases[] = {
      {{"--kind", "Sonntag", "--at", "2026-12-07 08:00", "x"}, "--kind braucht"},
      {{"--kind", "6", "--at", "2026-12-07 08:00", "x"}, "--kind braucht"},
      {{"--kind", "Einmalig", "--at", "morgen", "x"}, "--at braucht"},
      {{"--kind", "Frequenz", "--at", "2026-12-07 08:00", "x"}, "braucht --every"},
      {{"--kind", "Frequenz", "--at", "2026-12-07 08:00", "--every", "00:00:00", "x"},
       "--every braucht"},
      {{"--kind", "Täglich", "--at", "2026-12-07 08:00", "--every", "01:00:00", "x"},
       "--every gilt nur"},
      {{"--kind", "Wöchentlich", "--at", "2026-12-07 08:00", "--weekdays", "Mo", "x"},
       "--weekdays gilt nur"},
      {{"--kind", "Täglich", "--at", "2026-12-07 08:00", "--weekdays", "Mo-Xy", "x"},
       "--weekdays braucht"},
      {{"--kind", "Täglich", "--at", "2026-12-07 08:00", "--late-limit", "1:75", "x"},
       "--late-limit und"},
      {{"--kind", "Täglich", "--at", "2026-12-07 08:00", "--if-running", "never", "x"},
       "--if-running braucht"},
      {{"--kind", "Täglich", "--at", "2026-12-07 08:00", " "}, "AKTION fehlt"},
      {{"--kind", "TAEGLICH", "--at", "2026-12-07T08:00", "--weekdays", "sa,so", "--if-running",
        "after", "--time-limit", "0:10", "--at-start", "--off", "/bin/true --x"},
       ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Args.join(u' ').toStdString());
    QString out, err;
    const int status = CallCli(CliAdd, QStringList{config} + c.Args, out, err);
    if (*c.Reason != 0) {
      EXPECT_EQ(status, 2);
      EXPECT_TRUE(err.contains(QString::fromUtf8(c.Reason))) << err.toStdString();
      EXPECT_FALSE(QFile::exists(config));
      continue;
    }
    ASSERT_EQ(status, 0) << err.toStdString();
    EXPECT_EQ(out, QStringLiteral("1\n"));
    TScheduler loaded;
    loaded.LoadConfiguration(config);
    ASSERT_EQ(loaded.ActionList().Count(), 1);
    const TActionEntry &e = *loaded.ActionList()[0];
    EXPECT_EQ(e.TimePoint, tpDaily);
    EXPECT_EQ(e.Weekdays, 0x60);
    EXPECT_EQ(e.IfRunning, irAfter);
    EXPECT_EQ(e.TimeLimitMs, 600000);
    EXPECT_TRUE(e.SuddenStart);
    EXPECT_FALSE(e.Active);
    EXPECT_EQ(e.Action.Text(), QStringLiteral("/bin/true --x"));
  }
}
