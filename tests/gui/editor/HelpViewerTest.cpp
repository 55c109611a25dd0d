#include "gui/editor/HelpViewer.h"

#include "TestFiles.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <vector>

namespace {

const QString Sample = QStringLiteral("# a comment line\n"
                                      "text before any topic\n"
                                      "@topic 0 Inhalt\n"
                                      "First line\n"
                                      "joined <b> & more.\n"
                                      "\n"
                                      "[[1000 Das Fenster]] und [[2000 Der <Dialog>]]\n"
                                      "@topic 1000 Fenster & Co\n"
                                      "Beispiel:\n"
                                      "  %COPY a.txt   <b.txt>\n"
                                      "  \"Hallo\n"
                                      "# hidden\n"
                                      "Nach dem Beispiel.\n");

void WriteFile(const QString &path, const QString &text) {
  WriteBytes(path, text.toUtf8());
}

// Restores an environment variable when the test ends.
struct TEnvGuard {
  explicit TEnvGuard(const char *name)
      : Name(name), Old(qgetenv(name)), Had(qEnvironmentVariableIsSet(name)) {}
  ~TEnvGuard() {
    if (Had)
      qputenv(Name, Old);
    else
      qunsetenv(Name);
  }
  const char *Name;
  QByteArray Old;
  bool Had;
};

} // namespace

TEST(HelpParser, SplitsTopicsJoinsParagraphsAndDropsCommentsAndTextBeforeTheFirstTopic) {
  const auto topics = ParseHelpText(Sample);
  ASSERT_EQ(topics.size(), 2u);
  const THelpTopic &contents = topics.at(0);
  EXPECT_EQ(contents.Title, QStringLiteral("Inhalt"));
  EXPECT_TRUE(
      contents.Html.contains(QStringLiteral("<p>First line joined &lt;b&gt; &amp; more.</p>")))
      << contents.Html.toStdString();
  EXPECT_FALSE(contents.Html.contains(QStringLiteral("comment")));
  EXPECT_FALSE(contents.Html.contains(QStringLiteral("before any topic")));
  EXPECT_EQ(topics.at(1000).Title, QStringLiteral("Fenster & Co"));
  EXPECT_TRUE(topics.at(1000).Html.contains(QStringLiteral("<h3>Fenster &amp; Co</h3>")));
  EXPECT_FALSE(topics.at(1000).Html.contains(QStringLiteral("hidden")));
}

TEST(HelpParser, LinksBecomeTopicAnchorsWithEscapedText) {
  const QString html = ParseHelpText(Sample).at(0).Html;
  EXPECT_TRUE(html.contains(QStringLiteral("<a href=\"topic:1000\">Das Fenster</a> und "
                                           "<a href=\"topic:2000\">Der &lt;Dialog&gt;</a>")))
      << html.toStdString();
}

TEST(HelpParser, ExamplesAreKeptAsTypedInOneBlockAndEndTheParagraphBeforeThem) {
  const QString html = ParseHelpText(Sample).at(1000).Html;
  EXPECT_TRUE(html.contains(QStringLiteral("<p>Beispiel:</p>\n<pre>%COPY a.txt   &lt;b.txt&gt;\n"
                                           "&quot;Hallo</pre>\n<p>Nach dem Beispiel.</p>")))
      << html.toStdString();
}

TEST(HelpFile, OurHelpFileHasTheContentsAndTheTopicsOfTheEditorAndTheDialog) {
  const QString path = HelpFileLocation(); // the sources' file, from a build tree
  ASSERT_FALSE(path.isEmpty());
  const auto topics = ParseHelpText(QString::fromUtf8(ReadBytes(path)));
  ASSERT_TRUE(topics.count(0)) << path.toStdString();
  ASSERT_TRUE(topics.count(1000));
  ASSERT_TRUE(topics.count(2000));
  EXPECT_TRUE(topics.at(0).Html.contains(QStringLiteral("topic:1000")));
  EXPECT_TRUE(topics.at(0).Html.contains(QStringLiteral("topic:2000")));
  const QString dialog = topics.at(2000).Html;
  for (const char *word : {"%LZHCOPY", "%EXEC", "%MKDIR", "%RENAME", "%YEAR%", "@/", "Alle"})
    EXPECT_TRUE(dialog.contains(QString::fromUtf8(word))) << word;
  // Every link leads to a topic of the file.
  for (const auto &[number, topic] : topics) {
    qsizetype at = 0;
    while ((at = topic.Html.indexOf(QStringLiteral("topic:"), at)) >= 0) {
      at += 6;
      const int target = topic.Html.mid(at).section(u'"', 0, 0).toInt();
      EXPECT_TRUE(topics.count(target)) << number << " links to " << target;
    }
  }
}

// Every topic can be reached from the contents by following links.
TEST(HelpFile, EveryTopicIsReachableFromTheContents) {
  const auto topics = ParseHelpText(QString::fromUtf8(ReadBytes(HelpFileLocation())));
  ASSERT_TRUE(topics.count(0));
  static const QRegularExpression link(QStringLiteral("href=\"topic:(-?\\d+)\""));
  std::set<int> reached = {0};
  std::vector<int> open = {0};
  while (!open.empty()) {
    const int number = open.back();
    open.pop_back();
    const auto it = topics.find(number);
    if (it == topics.end())
      continue;
    for (auto match = link.globalMatch(it->second.Html); match.hasNext();) {
      const int target = match.next().captured(1).toInt();
      if (reached.insert(target).second)
        open.push_back(target);
    }
  }
  for (const auto &[number, topic] : topics)
    EXPECT_TRUE(reached.count(number)) << number << " " << topic.Title.toStdString();
}

// In a table of examples (lines kept as typed, an explanation after two or more blanks),
// every explanation starts in the same column, and the help window shows such lines in a
// font of fixed pitch, so the columns line up on the screen as in the file.
TEST(HelpFile, TheTablesAreAligned) {
  const QString text = QString::fromUtf8(ReadBytes(HelpFileLocation()));
  static const QRegularExpression gap(QStringLiteral("\\S( {2,})(\\S)"));
  QList<int> columns;
  QStringList rows;
  int tables = 0;
  const auto endBlock = [&] {
    if (columns.size() >= 2) {
      ++tables;
      for (int i = 1; i < columns.size(); ++i)
        EXPECT_EQ(columns.at(i), columns.at(0)) << rows.at(i).toStdString();
    }
    columns.clear();
    rows.clear();
  };
  for (const QString &line : text.split(u'\n')) {
    if (!line.startsWith(QStringLiteral("  "))) {
      endBlock();
      continue;
    }
    const QString example = line.mid(2);
    // The explanation starts after the last run of two or more blanks; a line that only
    // continues the explanation above starts with blanks.
    int column = -1;
    if (example.startsWith(u' '))
      column = int(example.size() - example.trimmed().size());
    for (auto match = gap.globalMatch(example); match.hasNext();)
      column = int(match.next().capturedStart(2));
    if (column >= 0) {
      columns.append(column);
      rows.append(example);
    }
  }
  endBlock();
  EXPECT_GE(tables, 4);

  THelpForm form(HelpFileLocation());
  form.ShowTopic(2000);
  const QTextBlock block = form.Browser->document()->find(QStringLiteral("%TIMESTAMP%")).block();
  ASSERT_TRUE(block.isValid());
  EXPECT_TRUE(QFontInfo(QTextCursor(block).charFormat().font()).fixedPitch());
}

TEST(HelpFileLocation, FindsTheFileUnderTheSourceFolderNamedInTheEnvironment) {
  TEnvGuard guard("KRONOLAB_SOURCE_DIR");
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("resources")));
  const QString file = dir.path() + QStringLiteral("/resources/Kronolab.hlp");
  WriteFile(file, QStringLiteral("@topic 0 Inhalt\n"));
  qputenv("KRONOLAB_SOURCE_DIR", dir.path().toUtf8());
  EXPECT_EQ(HelpFileLocation(), QFileInfo(file).absoluteFilePath());
  // Without it there: the help file of the sources the program was built from.
  QFile::remove(file);
  EXPECT_TRUE(HelpFileLocation().endsWith(QStringLiteral("/resources/Kronolab.hlp")));
  EXPECT_NE(HelpFileLocation(), QFileInfo(file).absoluteFilePath());
  EXPECT_TRUE(QFileInfo(HelpFileLocation()).isFile());
}

TEST(HelpWindow, LinksSwitchTopicsAndAnUnknownTopicShowsTheContents) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("Kronolab.hlp"));
  WriteFile(file, Sample);
  THelpForm form(file);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Kronolab - Hilfe"));
  form.ShowTopic(1000);
  EXPECT_EQ(form.CurrentTopic(), 1000);
  EXPECT_TRUE(form.Browser->toPlainText().contains(QStringLiteral("%COPY a.txt   <b.txt>")));
  form.ShowTopic(4711);
  EXPECT_EQ(form.CurrentTopic(), 0);
  emit form.Browser->anchorClicked(QUrl(QStringLiteral("topic:1000")));
  EXPECT_EQ(form.CurrentTopic(), 1000);
  EXPECT_FALSE(form.Browser->openLinks());
  // Back and forward by keys and buttons, enabled only where there is a way; a new topic ends
  // the way forward; Escape closes.
  form.show();
  QApplication::setActiveWindow(&form);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  const struct {
    std::function<void()> Step;
    int Topic;
    bool Back, Forward;
  } steps[] = {
      {[&] { QTest::keyClick(form.Browser, Qt::Key_Left, Qt::AltModifier); }, 0, true, true},
      {[&] { form.BackBtn->click(); }, 1000, false, true},
      {[&] { form.BackBtn->click(); }, 1000, false, true},
      {[&] { QTest::keyClick(form.Browser, Qt::Key_Right, Qt::AltModifier); }, 0, true, true},
      {[&] { form.ShowTopic(1000); }, 1000, true, false}};
  for (const auto &s : steps) {
    s.Step();
    EXPECT_EQ(form.CurrentTopic(), s.Topic);
    EXPECT_EQ(form.BackBtn->isEnabled(), s.Back);
    EXPECT_EQ(form.ForwardBtn->isEnabled(), s.Forward);
  }
  QTest::keyClick(form.Browser, Qt::Key_Escape);
  EXPECT_FALSE(form.isVisible());
}

TEST(HelpWindow, AMissingFileIsSaidInGerman) {
  THelpForm form(QStringLiteral("/nonexistent/Kronolab.hlp"));
  form.ShowTopic(2000);
  EXPECT_FALSE(form.HasHelp());
  EXPECT_EQ(form.CurrentTopic(), -1);
  EXPECT_TRUE(form.Browser->toPlainText().contains(
      QStringLiteral("Die Hilfedatei „Kronolab.hlp“ wurde nicht gefunden.")));
}

// The help opens whole on the screen, even for a window in the screen's bottom right corner.
TEST(HelpWindow, OneWindowIsReusedAndBelongsToTheModalDialogThatAsks) {
  QDialog editor;
  const QRect screen = editor.screen()->availableGeometry();
  editor.move(screen.bottomRight() - QPoint(120, 90));
  editor.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
  ShowHelpTopic(1000, &editor);
  THelpForm *form = OpenHelpForm();
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
  EXPECT_TRUE(screen.contains(form->frameGeometry()))
      << form->frameGeometry().x() << "," << form->frameGeometry().y();
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(form->isWindow());
  EXPECT_EQ(form->CurrentTopic(), 1000);
  EXPECT_EQ(form->parentWidget(), &editor);

  QDialog dialog(&editor);
  dialog.setModal(true);
  dialog.show();
  ShowHelpTopic(2000, &dialog);
  EXPECT_EQ(OpenHelpForm(), form);
  EXPECT_EQ(form->parentWidget(), &dialog);
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->CurrentTopic(), 2000);
  // Asked with an unknown topic, the contents.
  ShowHelpTopic(99, &dialog);
  EXPECT_EQ(form->CurrentTopic(), 0);
  form->close(); // deletes itself
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(OpenHelpForm(), nullptr);
}
