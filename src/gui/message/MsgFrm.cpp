#include "gui/message/MsgFrm.h"

#include "gui/message/DesktopNotifier.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TMessageForm::TMessageForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setWindowTitle(QStringLiteral("Nachricht"));
  setGeometry(200, 110, 479, 242);

  MsgMemo = new QPlainTextEdit(this);
  MsgMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont font = MsgMemo->font();
  font.setBold(true);
  font.setPixelSize(13);
  MsgMemo->setFont(font);
  QPalette palette = MsgMemo->palette();
  palette.setColor(QPalette::Text, Qt::black);
  MsgMemo->setPalette(palette);

  BottomPanel = new QWidget(this);
  BottomPanel->setFixedHeight(39);
  CloseBtn = new QPushButton(QStringLiteral("&Schließen"), BottomPanel);
  CloseBtn->setGeometry(0, 8, 89, 25);
  CloseBtn->setDefault(true);
  CloseBtn->setAutoDefault(true);
  connect(CloseBtn, &QPushButton::clicked, this, &TMessageForm::CloseBtnClick);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(MsgMemo, 1);
  layout->addWidget(BottomPanel);
}

TMessageForm::~TMessageForm() {
  if (OnDestroy)
    OnDestroy();
}

void TMessageForm::AddMessage(const QString &caption, const QString &header,
                              const QString &message) {
  setWindowTitle(caption);
  if (!header.isEmpty())
    MsgMemo->appendPlainText(header);
  // A line break inside the message, in any of its spellings, starts a further line.
  QString text = message;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
  MsgMemo->appendPlainText(text);
  MsgMemo->appendPlainText(QString());
  MsgMemo->appendPlainText(QString());
  MsgMemo->setFocus();
  CloseBtn->setFocus();
}

void TMessageForm::resizeEvent(QResizeEvent *event) {
  QWidget::resizeEvent(event);
  BottomPanelResize();
}

void TMessageForm::keyPressEvent(QKeyEvent *event) {
  // Enter and Escape both press "Schließen", wherever the focus is.
  switch (event->key()) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
  case Qt::Key_Escape:
    CloseBtn->click();
    return;
  default:
    QWidget::keyPressEvent(event);
  }
}

void TMessageForm::BottomPanelResize() {
  CloseBtn->move((BottomPanel->width() - CloseBtn->width()) / 2, CloseBtn->y());
}

void TMessageForm::CloseBtnClick() {
  close();
}

void TMessageFormSink::Show(const QString &caption, const QString &header, const QString &message) {
  if (!FForm) {
    FForm = new TMessageForm();
    FForm->OnDestroy = [this] {
      FForm = nullptr;
      if (OnWindowClosed)
        OnWindowClosed();
    };
    FForm->show();
  }
  RaiseWindow();
  FForm->AddMessage(caption, header, message);
  if (Notifier) {
    QString body = header.isEmpty() ? message : header + u'\n' + message;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    Notifier->Notify(caption, body, NotificationIcon ? NotificationIcon() : QImage());
  }
}

void TMessageFormSink::RaiseWindow() {
  if (!FForm)
    return;
  FForm->showNormal();
  FForm->raise();
  FForm->activateWindow();
}
