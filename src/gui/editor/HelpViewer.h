// The help: our own help file "Kronolab.hlp" (a small text format), where it is found, its
// topics turned into HTML, and the one help window that shows them. The window belongs to
// the window that last asked for it, so a modal dialog asking for help does not block it.
#pragma once

#include <QString>
#include <QWidget>
#include <map>
#include <vector>

class QPushButton;
class QTextBrowser;
class QUrl;

// One topic of the help file: its number, its title and its body as HTML.
struct THelpTopic {
  int Number = 0;
  QString Title;
  QString Html;
};

// The topics of a help text, by number. "@topic N title" starts a topic; blank lines end a
// paragraph; lines starting with two blanks are examples kept as typed; "[[N text]]" links
// to topic N (URL "topic:N"); lines starting with "#" are comments.
std::map<int, THelpTopic> ParseHelpText(const QString &text);

// The help file's full path: beside the program, then in the installed data folder
// (<bin>/../share/kronolab), then under $KRONOLAB_SOURCE_DIR/resources, then in the source
// tree this program was built from; empty when none of them exists.
QString HelpFileLocation();

// The help window: the topics of one help file in a browser; links switch the topic.
class THelpForm : public QWidget {
  Q_OBJECT
public:
  // Loads fileName (empty or missing: the window says that the help file was not found).
  explicit THelpForm(const QString &fileName, QWidget *parent = nullptr);

  // Shows topic (0 = contents); an unknown topic shows the contents. The topic left is
  // remembered for going back.
  void ShowTopic(int topic);
  // Back to the topic shown before, and forward again (Alt+Left, Alt+Right); nothing when
  // there is none.
  void GoBack();
  void GoForward();
  // The topic shown, or -1 while the window reports a missing file.
  int CurrentTopic() const { return FCurrent; }
  bool HasHelp() const { return !FTopics.empty(); }

  QTextBrowser *Browser = nullptr;
  QPushButton *BackBtn = nullptr;
  QPushButton *ForwardBtn = nullptr;

private:
  void LinkClicked(const QUrl &url);
  // Shows topic without touching the way back.
  void Display(int topic);
  // Escape, Alt+Left and Alt+Right for the whole window, and the buttons' states.
  void ConnectNavigation();
  void UpdateNavigation();
  // One step through the topics seen: the last of from is shown, the current one kept in to.
  void Travel(std::vector<int> &from, std::vector<int> &to);

  std::vector<int> FBack;
  std::vector<int> FForward;

  std::map<int, THelpTopic> FTopics;
  QString FFileName;
  int FCurrent = -1;
};

// Opens the help window at topic (0 = contents), non-modal, reusing the open window. The
// window is made a child window of parent, so that a modal parent does not block it.
void ShowHelpTopic(int topic, QWidget *parent = nullptr);
// The help window while it is open, else nullptr.
THelpForm *OpenHelpForm();
