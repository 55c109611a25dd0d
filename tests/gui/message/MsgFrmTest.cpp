#include "gui/message/MsgFrm.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
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

TEST(MessageWindow, EnterAndEscapeBothClose) {
  for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
    TMessageFormSink sink;
    sink.Show(QStringLiteral("Fehler"), QString(), QStringLiteral("x"));
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(sink.MessageForm(), &press);
    Settle();
    EXPECT_EQ(sink.MessageForm(), nullptr) << key;
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
