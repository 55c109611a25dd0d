#include "RunCli.h"
#include "cli/CliActionCommands.h"
#include "gui/moon/MoonPicture.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

int Moon(const QStringList &args, QString &out, QString &err) {
  return CallCli(CliMoon, args, out, err);
}

TEST(CliMoon, FullMoonOfDecember2026IsNamedAndFullyLit) {
  // 2026-12-24 is the full moon; at noon the disc is almost wholly lit.
  QString out, err;
  ASSERT_EQ(Moon({"2026-12-24 12:00:00"}, out, err), 0) << err.toStdString();
  const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0].section(u'.', 1).size(), 6);
  EXPECT_GT(lines[1].toDouble(), 0.97);
  EXPECT_EQ(lines[2], QStringLiteral("Vollmond"));
}

TEST(CliMoon, WritesTheShadedPictureAtTheAskedSize) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("m.png"));
  QString out, err;
  ASSERT_EQ(Moon({"2026-12-01 12:00:00", "--png", file, "--size", "32"}, out, err), 0);
  const QImage picture(file);
  EXPECT_EQ(picture.size(), QSize(32, 32));
  // The last quarter: the right half of the disc is dark, the left lit.
  EXPECT_EQ(QColor(picture.pixel(26, 14)), QColor(MoonShadowColour));
  EXPECT_GT(qGray(picture.pixel(6, 14)), 100);
}

TEST(CliMoon, BadUsageExitsWithTwo) {
  QString out, err;
  EXPECT_EQ(Moon({"--size", "48"}, out, err), 2);
  EXPECT_EQ(Moon({"morgen"}, out, err), 2);
  EXPECT_EQ(Moon({"--png"}, out, err), 2);
  EXPECT_FALSE(err.isEmpty());
}

} // namespace
