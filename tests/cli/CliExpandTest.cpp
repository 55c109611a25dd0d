#include "cli/CliActionCommands.h"

#include "RunCli.h"

#include <gtest/gtest.h>

namespace {

int Expand(const QStringList &args, QString &out, QString &err) {
  return CallCli(CliExpand, args, out, err);
}

TEST(CliExpand, PrintsTextExpandedAtTheGivenMoment) {
  QString out, err;
  EXPECT_EQ(Expand({"%COPY a_%TIMESTAMP%.txt 100%%", "--at", "2026-12-06T08:05:09"}, out, err), 0);
  EXPECT_EQ(out, "COPY a_20261206080509.txt 100%\n");
}

TEST(CliExpand, BadUsageExitsWithTwoAndAReason) {
  QString out, err;
  EXPECT_EQ(Expand({"x", "--at", "gestern"}, out, err), 2);
  EXPECT_FALSE(err.isEmpty());
  EXPECT_EQ(Expand({}, out, err), 2);
}

} // namespace
