#include "gui/message/MessageForm.h"

#include "XSession.h"
#include "gui/editor/EditorSession.h"
#include "gui/editor/MainForm.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

// Closing deletes the window later, on the event loop: let it run.
void Settle() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}

} // namespace

TEST(MessageWindow, MessagesAppendWhileOpenAndTheCaptionIsTheLatest) {
  TMessageFormSink sink;
  sink.Show(QStringLiteral("Nachricht von Kronolab"), QStringLiteral("Nachricht vom 06.12.2026"),
            QStringLiteral("Hallo"));
  sink.Show(QStringLiteral("Fehler"), QString(), QStringLiteral("Fehler : kaputt\r\nzweite Zeile"));
  TMessageForm *form = sink.MessageForm();
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Fehler"));
  EXPECT_EQ(
      form->MsgMemo->toPlainText(),
      QStringLiteral("Nachricht vom 06.12.2026\nHallo\n\n\nFehler : kaputt\nzweite Zeile\n\n"));
  EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(form->isModal());
  form->close();
  Settle();
}

TEST(MessageWindow, AfterClosingTheNextMessageGetsAFreshWindow) {
  TMessageFormSink sink;
  int closed = 0;
  sink.OnWindowClosed = [&] { ++closed; };
  sink.Show(QStringLiteral("Fehler"), QString(), QStringLiteral("eins"));
  sink.MessageForm()->CloseBtn->click();
  Settle();
  EXPECT_EQ(sink.MessageForm(), nullptr);
  EXPECT_EQ(closed, 1);
  sink.Show(QStringLiteral("Fehler"), QString(), QStringLiteral("zwei"));
  EXPECT_EQ(sink.MessageForm()->MsgMemo->toPlainText(), QStringLiteral("zwei\n\n"));
  sink.MessageForm()->close();
  Settle();
}

// The window closes when the key is let go, so that none of the key's events is left for the
// window below.
TEST(MessageWindow, EnterAndEscapeBothCloseWhenLetGoWhereverTheFocusIs) {
  for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    for (bool inMemo : {false, true}) {
      TMessageFormSink sink;
      sink.Show(QStringLiteral("Fehler"), QString(), QStringLiteral("x"));
      QWidget *target = inMemo ? static_cast<QWidget *>(sink.MessageForm()->MsgMemo)
                               : sink.MessageForm()->CloseBtn;
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
      QApplication::sendEvent(target, &press);
      Settle();
      ASSERT_NE(sink.MessageForm(), nullptr) << key;
      EXPECT_EQ(sink.MessageForm()->MsgMemo->toPlainText(), QStringLiteral("x\n\n")) << key;
      QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
      QApplication::sendEvent(target, &release);
      Settle();
      EXPECT_EQ(sink.MessageForm(), nullptr) << key << " in memo " << inMemo;
    }
  }
}

TEST(MessageWindow, CloseButtonStaysCentred) {
  TMessageFormSink sink;
  sink.Show(QStringLiteral("Fehler"), QString(), QStringLiteral("x"));
  TMessageForm *form = sink.MessageForm();
  form->resize(601, 300);
  QCoreApplication::processEvents();
  EXPECT_EQ(form->CloseBtn->x(), (form->BottomPanel->width() - 89) / 2);
  EXPECT_EQ(form->CloseBtn->width(), 89);
  form->close();
  Settle();
}

// "Später erinnern" hands every message of the window over with the chosen delay, then closes.
TEST(MessageWindow, SnoozeHandsEveryShownMessageOverAndCloses) {
  TMessageFormSink sink;
  std::vector<std::pair<QString, TSnoozeDelay>> put;
  sink.Snooze = [&put](const QString &, const QString &, const QString &message,
                       TSnoozeDelay delay) { put.emplace_back(message, delay); };
  sink.Show(QStringLiteral("Nachricht von Kronolab"), QStringLiteral("Kopf"),
            QStringLiteral("eins"));
  sink.Show(QStringLiteral("Nachricht von Kronolab"), QString(), QStringLiteral("zwei"));
  TMessageForm *form = sink.MessageForm();
  ASSERT_TRUE(form->SnoozeBtn->isVisible());
  EXPECT_LT(form->CloseBtn->geometry().right(), form->SnoozeBtn->x());
  const QList<QAction *> delays = form->SnoozeBtn->menu()->actions();
  ASSERT_EQ(delays.size(), 4);
  EXPECT_EQ(delays[3]->text(), QStringLiteral("&morgen um dieselbe Zeit"));
  delays[3]->trigger();
  Settle();
  EXPECT_EQ(sink.MessageForm(), nullptr);
  EXPECT_EQ(put, (std::vector<std::pair<QString, TSnoozeDelay>>{
                     {QStringLiteral("eins"), TSnoozeDelay::Tomorrow},
                     {QStringLiteral("zwei"), TSnoozeDelay::Tomorrow}}));
}

namespace {

// A message that comes while the editor runs modally (as the tray's editor does), the window
// driven by real mouse clicks and keys through the X server and the window manager.
class MessageOverEditor : public ::testing::Test {
protected:
  void SetUp() override {
    TEditorSession session;
    session.IntervalMs = 1000;
    session.ConfigFileName = QStringLiteral("/home/anna/.config/kronolab/kronolab.ini");
    Editor.LoadSession(session);
    QObject::connect(&Editor, &QDialog::finished, [this](int result) { EditorResult = result; });
  }

  // Runs the editor modally; during it, steps runs once the editor is on screen (and has the
  // keyboard, when it is to have it). The editor must still be open after steps: a test that
  // ends it early fails.
  void WhileTheEditorIsOpen(const std::function<void()> &steps, bool withKeyboard = true) {
    QTimer::singleShot(0, &Editor, [&, withKeyboard] {
      EXPECT_TRUE(WaitUntil([&] {
        return withKeyboard ? Editor.isActiveWindow() : Editor.windowHandle()->isExposed();
      })) << "editor not there";
      steps();
      EXPECT_TRUE(Editor.isVisible()) << "the editor was closed";
      EXPECT_EQ(EditorResult, -1) << "the editor ended with " << EditorResult;
      Editor.reject();
    });
    Editor.exec();
  }

  // Shows a message and waits until its window has the keyboard.
  TMessageForm *ShowMessage(const QString &text = QStringLiteral("Fehler : kaputt")) {
    Sink.Show(QStringLiteral("Fehler"), QString(), text);
    TMessageForm *form = Sink.MessageForm();
    // Active for Qt, and the X server's keyboard focus, which the keys follow.
    EXPECT_TRUE(WaitUntil([&] {
      return form->isActiveWindow() && HasKeyboardFocus(form->winId());
    })) << "message not active";
    return form;
  }

  // A real click with the left button in the middle of widget.
  static void Click(QWidget *widget, const QString &button = QStringLiteral("1")) {
    // Relative to the window as the X server has it: the window manager may have moved it
    // after Qt last heard of its place.
    const QPoint at = widget->mapTo(widget->window(), widget->rect().center());
    XDoTool({QStringLiteral("mousemove"), QStringLiteral("--window"),
             QString::number(widget->window()->winId()), QString::number(at.x()),
             QString::number(at.y()), QStringLiteral("click"), button});
  }

  TMainForm Editor;
  TMessageFormSink Sink;
  int EditorResult = -1;
};

} // namespace

TEST_F(MessageOverEditor, AMessageDuringTheEditorCanBeScrolledAndClosedWithTheMouse) {
  WhileTheEditorIsOpen([&] {
    QStringList lines;
    for (int i = 1; i <= 60; ++i)
      lines.append(QStringLiteral("Zeile %1").arg(i));
    TMessageForm *form = ShowMessage(lines.join(u'\n'));
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(form->isModal());
    QScrollBar *bar = form->MsgMemo->verticalScrollBar();
    const int before = bar->value();
    Click(form->MsgMemo, QStringLiteral("4")); // the wheel, upwards: away from the end
    EXPECT_TRUE(WaitUntil([&] { return bar->value() != before; })) << "could not scroll";
    Click(form->CloseBtn);
    EXPECT_TRUE(WaitUntil([&] { return Sink.MessageForm() == nullptr; })) << "still open";
  });
}

TEST_F(MessageOverEditor, EnterAndEscapeCloseTheMessageAndNeverReachTheEditor) {
  WhileTheEditorIsOpen([&] {
    for (const char *key : {"Return", "KP_Enter", "Escape"}) {
      ASSERT_NE(ShowMessage(), nullptr);
      XDoTool({QStringLiteral("key"), QString::fromLatin1(key)});
      EXPECT_TRUE(WaitUntil([&] { return Sink.MessageForm() == nullptr; })) << key;
      Pause(100);
      ASSERT_EQ(EditorResult, -1) << key << " reached the editor";
    }
    // A key held down repeats: none of its repeats may reach the editor either.
    ASSERT_NE(ShowMessage(), nullptr);
    XDoTool({QStringLiteral("keydown"), QStringLiteral("Return")});
    Pause(900);
    XDoTool({QStringLiteral("keyup"), QStringLiteral("Return")});
    EXPECT_TRUE(WaitUntil([&] { return Sink.MessageForm() == nullptr; }));
    Pause(200);
    ASSERT_EQ(EditorResult, -1) << "the held key reached the editor";
  });
}

// The message window was open before the editor: the editor opening must not lock it, and a
// message after it was closed (still during the editor) opens a new, visible window.
TEST_F(MessageOverEditor, AMessageOpenBeforeTheEditorStaysUsable) {
  Sink.Show(QStringLiteral("Nachricht"), QString(), QStringLiteral("vorher"));
  ASSERT_TRUE(WaitUntil([&] { return Sink.MessageForm()->isVisible(); }));
  WhileTheEditorIsOpen(
      [&] {
        QPointer<TMessageForm> form = Sink.MessageForm();
        ASSERT_NE(form, nullptr);
        Click(form->CloseBtn);
        EXPECT_TRUE(WaitUntil([&] { return Sink.MessageForm() == nullptr; })) << "locked";
        EXPECT_TRUE(form.isNull() || !form->isVisible());
        TMessageForm *next = ShowMessage(QStringLiteral("danach"));
        ASSERT_NE(next, nullptr);
        EXPECT_NE(next, form.data());
        EXPECT_TRUE(next->isVisible());
        EXPECT_EQ(next->MsgMemo->toPlainText(), QStringLiteral("danach\n\n"));
        Click(next->CloseBtn);
        EXPECT_TRUE(WaitUntil([&] { return Sink.MessageForm() == nullptr; }));
      },
      false); // the window manager may leave the keyboard with the older window
}

// A question or dialog opened over the editor blocks everything else but the message window.
TEST_F(MessageOverEditor, AMessageOverADialogOverTheEditorCanBeClosed) {
  WhileTheEditorIsOpen([&] {
    QDialog question(&Editor);
    question.setWindowTitle(QStringLiteral("Bestätigen"));
    question.resize(200, 80);
    QTimer::singleShot(0, &question, [&] {
      EXPECT_TRUE(WaitUntil([&] { return question.isActiveWindow(); }));
      TMessageForm *form = ShowMessage();
      ASSERT_NE(form, nullptr);
      Click(form->CloseBtn);
      EXPECT_TRUE(WaitUntil([&] { return Sink.MessageForm() == nullptr; })) << "locked";
      EXPECT_TRUE(question.isVisible());
      question.reject();
    });
    question.exec();
  });
}
