#include "gui/editor/HelpViewer.h"

#include "gui/widgets/Application.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <functional>
#include <utility>

namespace {

const QString HelpFileName = QStringLiteral("Kronolab.hlp");

// Paragraph text with its links: everything escaped, "[[N text]]" made an anchor.
QString ParagraphHtml(const QString &text) {
  static const QRegularExpression link(QStringLiteral(R"(\[\[(\d+)\s+(.*?)\]\])"));
  QString html;
  qsizetype done = 0;
  auto it = link.globalMatch(text);
  while (it.hasNext()) {
    const QRegularExpressionMatch match = it.next();
    html += text.mid(done, match.capturedStart() - done).toHtmlEscaped();
    html += QStringLiteral("<a href=\"topic:%1\">%2</a>")
                .arg(match.captured(1).toInt())
                .arg(match.captured(2).toHtmlEscaped());
    done = match.capturedEnd();
  }
  html += text.mid(done).toHtmlEscaped();
  return html;
}

// Builds one topic's HTML from its lines.
class TTopicBuilder {
public:
  void Line(const QString &line) {
    if (line.trimmed().isEmpty()) {
      EndBlock();
    } else if (line.startsWith(QStringLiteral("  "))) {
      if (!FParagraph.isEmpty())
        EndBlock();
      FExample.append(line.mid(2));
    } else {
      if (!FExample.isEmpty())
        EndBlock();
      FParagraph.append(line.trimmed());
    }
  }
  QString Finish() {
    EndBlock();
    return FHtml;
  }

private:
  void EndBlock() {
    if (!FParagraph.isEmpty())
      FHtml +=
          QStringLiteral("<p>") + ParagraphHtml(FParagraph.join(u' ')) + QStringLiteral("</p>\n");
    if (!FExample.isEmpty())
      FHtml += QStringLiteral("<pre>") + FExample.join(u'\n').toHtmlEscaped() +
               QStringLiteral("</pre>\n");
    FParagraph.clear();
    FExample.clear();
  }

  QStringList FParagraph;
  QStringList FExample;
  QString FHtml;
};

QPointer<THelpForm> TheHelpForm;

} // namespace

std::map<int, THelpTopic> ParseHelpText(const QString &text) {
  static const QRegularExpression header(QStringLiteral(R"(^@topic\s+(-?\d+)\s*(.*)$)"));
  std::map<int, THelpTopic> topics;
  THelpTopic current;
  TTopicBuilder builder;
  bool inTopic = false;
  auto finish = [&] {
    if (!inTopic)
      return;
    current.Html = QStringLiteral("<h3>") + current.Title.toHtmlEscaped() +
                   QStringLiteral("</h3>\n") + builder.Finish();
    topics[current.Number] = current; // a repeated number: the later topic holds
  };
  QString all = text;
  all.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  for (const QString &line : all.split(u'\n')) {
    if (line.startsWith(u'#'))
      continue;
    if (const QRegularExpressionMatch match = header.match(line); match.hasMatch()) {
      finish();
      current = THelpTopic{match.captured(1).toInt(), match.captured(2).trimmed(), QString()};
      builder = TTopicBuilder();
      inTopic = true;
      continue;
    }
    if (inTopic)
      builder.Line(line);
  }
  finish();
  return topics;
}

QString HelpFileLocation() {
  const QString appDir = QCoreApplication::applicationDirPath();
  QStringList candidates = {
      QDir(appDir).filePath(HelpFileName),
      QDir(appDir).filePath(QStringLiteral("../share/kronolab/") + HelpFileName)};
  const QString sourceDir = qEnvironmentVariable("KRONOLAB_SOURCE_DIR");
  if (!sourceDir.isEmpty())
    candidates.append(QDir(sourceDir).filePath(QStringLiteral("resources/") + HelpFileName));
#ifdef KRONOLAB_HELP_SOURCE_DIR
  // Run from a build tree: the help file of the sources the program was built from.
  candidates.append(QDir(QStringLiteral(KRONOLAB_HELP_SOURCE_DIR)).filePath(HelpFileName));
#endif
  for (const QString &candidate : candidates)
    if (QFileInfo(candidate).isFile())
      return QDir::cleanPath(QFileInfo(candidate).absoluteFilePath());
  return QString();
}

THelpForm::THelpForm(const QString &fileName, QWidget *parent)
    : QWidget(parent, Qt::Window), FFileName(fileName) {
  setWindowTitle(QStringLiteral("Kronolab - Hilfe"));
  Browser = new QTextBrowser(this);
  Browser->setOpenLinks(false);
  Browser->document()->setDefaultStyleSheet(
      QStringLiteral("pre { background-color: #f2f2ee; } h3 { margin-bottom: 6px; }"));
  auto *contentsBtn = new QPushButton(QStringLiteral("&Inhalt"), this);
  auto *closeBtn = new QPushButton(QStringLiteral("&Schließen"), this);
  BackBtn = new QPushButton(QStringLiteral("&Zurück"), this);
  ForwardBtn = new QPushButton(QStringLiteral("&Vor"), this);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(BackBtn);
  buttons->addWidget(ForwardBtn);
  buttons->addWidget(contentsBtn);
  buttons->addStretch();
  buttons->addWidget(closeBtn);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(Browser);
  layout->addLayout(buttons);
  // Wide enough for the examples, which do not wrap.
  resize(StartingSize(this, QSize(680, 520)));
  connect(Browser, &QTextBrowser::anchorClicked, this, &THelpForm::LinkClicked);
  connect(contentsBtn, &QPushButton::clicked, this, [this] { ShowTopic(0); });
  connect(closeBtn, &QPushButton::clicked, this, &QWidget::close);
  ConnectNavigation();

  QFile file(fileName);
  if (!fileName.isEmpty() && file.open(QIODevice::ReadOnly))
    FTopics = ParseHelpText(QString::fromUtf8(file.readAll()));
}

void THelpForm::ConnectNavigation() {
  connect(BackBtn, &QPushButton::clicked, this, &THelpForm::GoBack);
  connect(ForwardBtn, &QPushButton::clicked, this, &THelpForm::GoForward);
  const std::pair<QKeySequence, std::function<void()>> keys[] = {
      {QKeySequence(Qt::Key_Escape), [this] { close(); }},
      {QKeySequence(Qt::ALT | Qt::Key_Left), [this] { GoBack(); }},
      {QKeySequence(Qt::ALT | Qt::Key_Right), [this] { GoForward(); }}};
  for (const auto &[key, handler] : keys) {
    // For the whole window, before the browser, whose own history of pages is empty (topics
    // are set as HTML).
    auto *shortcut = new QShortcut(key, this, nullptr, nullptr, Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, handler);
  }
  UpdateNavigation();
}

void THelpForm::UpdateNavigation() {
  BackBtn->setEnabled(!FBack.empty());
  ForwardBtn->setEnabled(!FForward.empty());
}

void THelpForm::ShowTopic(int topic) {
  const int left = FCurrent;
  Display(topic);
  if (left >= 0 && FCurrent != left) {
    FBack.push_back(left);
    FForward.clear();
  }
  UpdateNavigation();
}

void THelpForm::GoBack() {
  Travel(FBack, FForward);
}

void THelpForm::GoForward() {
  Travel(FForward, FBack);
}

void THelpForm::Travel(std::vector<int> &from, std::vector<int> &to) {
  if (from.empty())
    return;
  to.push_back(FCurrent);
  Display(from.back());
  from.pop_back();
  UpdateNavigation();
}

void THelpForm::Display(int topic) {
  if (FTopics.empty()) {
    FCurrent = -1;
    QString html = QStringLiteral("<h3>Hilfe nicht verfügbar</h3><p>") +
                   QStringLiteral("Die Hilfedatei „%1“ wurde nicht gefunden.")
                       .arg(HelpFileName)
                       .toHtmlEscaped() +
                   QStringLiteral("</p>");
    if (!FFileName.isEmpty())
      html +=
          QStringLiteral("<p>") +
          QStringLiteral("Gesucht: %1").arg(QDir::toNativeSeparators(FFileName)).toHtmlEscaped() +
          QStringLiteral("</p>");
    Browser->setHtml(html);
    return;
  }
  auto it = FTopics.find(topic);
  if (it == FTopics.end())
    it = FTopics.find(0);
  if (it == FTopics.end())
    it = FTopics.begin(); // a file without contents page: its first topic
  FCurrent = it->first;
  Browser->setHtml(it->second.Html);
}

void THelpForm::LinkClicked(const QUrl &url) {
  if (url.scheme() == QStringLiteral("topic"))
    ShowTopic(url.path().toInt());
}

void ShowHelpTopic(int topic, QWidget *parent) {
  QWidget *owner = parent ? parent->window() : nullptr;
  if (!TheHelpForm) {
    TheHelpForm = new THelpForm(HelpFileLocation(), owner);
    TheHelpForm->setAttribute(Qt::WA_DeleteOnClose);
    if (owner) // beside the asking window's top left, not hiding it wholly, whole on screen
      PlaceOnScreen(TheHelpForm, owner, owner->frameGeometry().topLeft() + QPoint(60, 40));
  } else if (TheHelpForm->parentWidget() != owner) {
    // Another window asks now, perhaps a modal one: the help must belong to it to be usable.
    const QRect place = TheHelpForm->geometry();
    TheHelpForm->setParent(owner, Qt::Window);
    TheHelpForm->setGeometry(place);
  }
  TheHelpForm->ShowTopic(topic);
  TheHelpForm->show();
  TheHelpForm->raise();
  TheHelpForm->activateWindow();
}

THelpForm *OpenHelpForm() {
  return TheHelpForm.data();
}
