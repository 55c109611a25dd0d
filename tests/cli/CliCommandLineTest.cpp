// kronolab-cli's command lines as a user types them: help and version of the program and of
// every command, and arguments that look like options, all as the built program in a fresh
// HOME, which must stay empty when nothing was asked to run.
#include "cli/RunCli.h"

#include <QDirIterator>
#include <QTemporaryDir>

namespace {

const QStringList CommandNames = {"list", "run", "simulate", "history", "expand", "moon"};

class CliCommandLine : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(Home.isValid()); }

  // kronolab-cli with args in the fresh HOME, started from there.
  TCliRun Run(const QStringList &args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), Home.path());
    env.remove(QStringLiteral("APPDATA"));
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    const QString home = Home.path();
    return RunCli(
        args, [home] { (void)chdir(QFile::encodeName(home).constData()); }, env);
  }

  // Everything below HOME.
  QStringList Created() const {
    QStringList found;
    QDirIterator it(Home.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
      found.append(it.next());
    return found;
  }

  QTemporaryDir Home;
};

TEST_F(CliCommandLine, HelpAndVersionOfTheProgramAndEveryCommandTouchNothing) {
  const TCliRun overview = Run({QStringLiteral("--help")});
  EXPECT_EQ(overview.Status, 0);
  EXPECT_TRUE(overview.Out.startsWith("Aufruf: kronolab-cli BEFEHL [ARGUMENTE]\n"));
  for (const QString &name : CommandNames)
    EXPECT_TRUE(overview.Out.contains(QStringLiteral("\n  ") + name + u' ')) << name.toStdString();
  EXPECT_EQ(Run({QStringLiteral("-v")}).Out, QStringLiteral("kronolab-cli " KRONOLAB_VERSION "\n"));

  for (const QString &name : CommandNames) {
    for (const QString &option : {QStringLiteral("--help"), QStringLiteral("-h")}) {
      // Help wins over everything else on the line, a file or a bad value included.
      const TCliRun help = Run({name, QStringLiteral("plan.ini"), option});
      EXPECT_EQ(help.Status, 0) << name.toStdString() << help.Err.toStdString();
      EXPECT_TRUE(help.Out.startsWith(QStringLiteral("Aufruf: kronolab-cli ") + name))
          << help.Out.toStdString();
      EXPECT_TRUE(help.Out.contains(QStringLiteral("\nOptionen:\n")));
      EXPECT_TRUE(help.Err.isEmpty());
    }
    const TCliRun version = Run({name, QStringLiteral("--version")});
    EXPECT_EQ(version.Status, 0);
    EXPECT_EQ(version.Out, QStringLiteral("kronolab-cli " KRONOLAB_VERSION "\n"));
  }
  EXPECT_EQ(Run({QStringLiteral("help"), QStringLiteral("run")}).Out,
            Run({QStringLiteral("run"), QStringLiteral("--help")}).Out);
  EXPECT_EQ(Created(), QStringList());
}

TEST_F(CliCommandLine, AnythingThatLooksLikeAnOptionIsRefusedAndNeverBecomesAFile) {
  const QList<QStringList> cases = {
      {},
      {"--hilfe"},
      {"lauf"},
      {"run", "--tick", "1"},
      {"run", "--", "-"},
      {"run", "--", "--"},
      {"list", "--", "-plan.ini"},
      {"list", "a.ini", "b.ini"},
      {"simulate", "--from"},
      {"moon", "--png", "-bild.png"},
      {"history", "--limit", "viele"},
      {"expand"},
  };
  for (const QStringList &args : cases) {
    const TCliRun run = Run(args);
    EXPECT_EQ(run.Status, 2) << args.join(u' ').toStdString();
    // One line, naming the command, saying what is wrong.
    EXPECT_EQ(run.Err.count(u'\n'), 1) << run.Err.toStdString();
    const QString teller = !args.isEmpty() && CommandNames.contains(args[0])
                               ? args[0]
                               : QStringLiteral("kronolab-cli");
    EXPECT_TRUE(run.Err.startsWith(teller + QStringLiteral(": "))) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.isEmpty());
  }
  EXPECT_EQ(Created(), QStringList());
}

TEST_F(CliCommandLine, AfterTheEndOfOptionsATextMayStartWithADash) {
  const TCliRun run =
      Run({QStringLiteral("expand"), QStringLiteral("--at"), QStringLiteral("2026-12-08 10:00:00"),
           QStringLiteral("--"), QStringLiteral("-%YEAR%-")});
  EXPECT_EQ(run.Status, 0) << run.Err.toStdString();
  EXPECT_EQ(run.Out, QStringLiteral("-2026-\n"));
}

} // namespace
