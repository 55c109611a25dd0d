#include "gui/message/MessageForm.h"

#include "gui/widgets/Application.h"

#include "gui/message/DesktopNotifier.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <utility>

TKeyRepeatGuard::TKeyRepeatGuard(int key) : QObject(QCoreApplication::instance()), FKey(key) {
  QCoreApplication::instance()->installEventFilter(this);
  FQuiet.start();
  connect(&FCheck, &QTimer::timeout, this, [this] {
    if (FQuiet.hasExpired(QuietMs))
      deleteLater();
  });
  FCheck.start(QuietMs / 3);
}

bool TKeyRepeatGuard::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
    return QObject::eventFilter(watched, event);
  auto *key = static_cast<QKeyEvent *>(event);
  if (key->key() != FKey)
    return false;
  // A fresh press is the user's next keystroke: it goes where it was meant to.
  if (event->type() == QEvent::KeyPress && !key->isAutoRepeat()) {
    deleteLater();
    return false;
  }
  FQuiet.restart();
  return true;
}

TMessageForm::TMessageForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setWindowTitle(QStringLiteral("Nachricht"));
  setGeometry(200, 110, 479, 242);

  MsgMemo = new QPlainTextEdit(this);
  MsgMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // The classic 13 pixels, grown with a larger desktop font.
  QFont font = DesktopFont(13);
  font.setBold(true);
  MsgMemo->setFont(font);
  QPalette palette = MsgMemo->palette();
  palette.setColor(QPalette::Text, Qt::black);
  MsgMemo->setPalette(palette);

  BottomPanel = new QWidget(this);
  CloseBtn = new QPushButton(QStringLiteral("&Schließen"), BottomPanel);
  // The classic button, or larger where the desktop's font needs it; BottomPanelResize
  // keeps it centred.
  CloseBtn->resize(std::max(89, CloseBtn->sizeHint().width()),
                   std::max(25, CloseBtn->sizeHint().height()));
  CloseBtn->move(0, 8);
  BottomPanel->setFixedHeight(CloseBtn->height() + 14);
  CloseBtn->setDefault(true);
  CloseBtn->setAutoDefault(true);
  connect(CloseBtn, &QPushButton::clicked, this, &TMessageForm::CloseBtnClick);
  SnoozeBtn = new QPushButton(QStringLiteral("Später &erinnern"), BottomPanel);
  SnoozeBtn->move(0, 8);
  SnoozeBtn->setAutoDefault(false);
  auto *delays = new QMenu(SnoozeBtn);
  const std::pair<QString, TSnoozeDelay> choices[] = {
      {QStringLiteral("in &5 Minuten"), TSnoozeDelay::Minutes5},
      {QStringLiteral("in &15 Minuten"), TSnoozeDelay::Minutes15},
      {QStringLiteral("in einer &Stunde"), TSnoozeDelay::Hour1},
      {QStringLiteral("&morgen um dieselbe Zeit"), TSnoozeDelay::Tomorrow}};
  for (const auto &[text, delay] : choices)
    connect(delays->addAction(text), &QAction::triggered, this,
            [this, delay = delay] { SnoozeChosen(delay); });
  SnoozeBtn->setMenu(delays);
  // Sized with its menu's arrow, which the hint counts only once the menu is set.
  SnoozeBtn->resize(std::max(SnoozeBtn->sizeHint().width(), 89), 25);
  SnoozeBtn->hide();
  SnoozeBtn->installEventFilter(this);
  MsgMemo->installEventFilter(this);
  CloseBtn->installEventFilter(this);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(MsgMemo, 1);
  layout->addWidget(BottomPanel);
}

TMessageForm::~TMessageForm() {
  TellClosed();
}

void TMessageForm::TellClosed() {
  if (!OnClosed)
    return;
  const std::function<void()> closed = std::move(OnClosed);
  OnClosed = nullptr;
  closed();
}

void TMessageForm::closeEvent(QCloseEvent *event) {
  QWidget::closeEvent(event);
  if (event->isAccepted())
    TellClosed();
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
  FMessages.push_back({caption, header, message});
  MsgMemo->setFocus();
  CloseBtn->setFocus();
}

bool TMessageForm::RemoveMessage(const QString &header, const QString &message) {
  QString text = message;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
  // As AddMessage leaves it: its paragraphs, the last two empty.
  const QString block = (header.isEmpty() ? QString() : header + u'\n') + text + u'\n' + u'\n';
  QString all = MsgMemo->toPlainText();
  if (all == block) {
    all.clear();
  } else if (all.endsWith(u'\n' + block)) {
    all.chop(block.size() + 1);
  } else {
    const qsizetype at = all.lastIndexOf(block + u'\n');
    if (at < 0 || (at > 0 && all.at(at - 1) != u'\n'))
      return false;
    all.remove(at, block.size() + 1);
  }
  // The message is no longer there to be put off either.
  for (auto shown = FMessages.rbegin(); shown != FMessages.rend(); ++shown)
    if (shown->Header == header && shown->Message == message) {
      FMessages.erase(std::next(shown).base());
      break;
    }
  if (all.trimmed().isEmpty()) {
    close();
    return true;
  }
  MsgMemo->setPlainText(all);
  return true;
}

void TMessageForm::SetSnoozeHandler(
    std::function<void(const std::vector<TShownMessage> &, TSnoozeDelay)> onSnooze) {
  OnSnooze = std::move(onSnooze);
  SnoozeBtn->setVisible(bool(OnSnooze));
  BottomPanelResize();
}

void TMessageForm::SnoozeChosen(TSnoozeDelay delay) {
  if (OnSnooze)
    OnSnooze(FMessages, delay);
  close();
}

void TMessageForm::resizeEvent(QResizeEvent *event) {
  QWidget::resizeEvent(event);
  BottomPanelResize();
}

bool TMessageForm::event(QEvent *event) {
  // A modal window opened before or after this one would block it: the user could neither
  // read on nor close it, and Enter would go to the window below. At once: a click or a key
  // meanwhile would be lost.
  if (event->type() == QEvent::WindowBlocked)
    StayReachable();
  return QWidget::event(event);
}

void TMessageForm::StayReachable() {
  QWidget *modal = QApplication::activeModalWidget();
  QWindow *own = windowHandle();
  if (modal == nullptr || own == nullptr || modal->window()->windowHandle() == nullptr)
    return;
  // Qt blocks no transient of a modal window, and the window manager keeps it above that
  // window too.
  own->setTransientParent(modal->window()->windowHandle());
}

bool TMessageForm::ClosingKey(QKeyEvent *event) {
  // Enter, Return and Escape close the window wherever its focus is, but on the key's
  // release: the key is let go here, so none of its presses, not even a held key's repeats,
  // reach the window below once this one has gone.
  switch (event->key()) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
  case Qt::Key_Escape:
    break;
  default:
    return false;
  }
  if (event->type() == QEvent::KeyPress) {
    if (!event->isAutoRepeat())
      FClosingKey = event->key();
  } else if (!event->isAutoRepeat() && event->key() == FClosingKey) {
    FClosingKey = 0;
    // The X server may report a held key's repeats as releases and presses, and Qt cannot
    // always tell the first of them from a real release: what follows must not reach the
    // window below.
    new TKeyRepeatGuard(event->key());
    CloseBtn->click();
  }
  return true;
}

bool TMessageForm::eventFilter(QObject *watched, QEvent *event) {
  if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
      ClosingKey(static_cast<QKeyEvent *>(event)))
    return true;
  return QWidget::eventFilter(watched, event);
}

void TMessageForm::keyPressEvent(QKeyEvent *event) {
  if (!ClosingKey(event))
    QWidget::keyPressEvent(event);
}

void TMessageForm::keyReleaseEvent(QKeyEvent *event) {
  if (!ClosingKey(event))
    QWidget::keyReleaseEvent(event);
}

void TMessageForm::BottomPanelResize() {
  // The buttons side by side, centred together.
  const int gap = 8;
  const int snooze = SnoozeBtn->isVisibleTo(this) ? SnoozeBtn->width() + gap : 0;
  const int left = (BottomPanel->width() - CloseBtn->width() - snooze) / 2;
  CloseBtn->move(left, CloseBtn->y());
  SnoozeBtn->move(left + CloseBtn->width() + gap, CloseBtn->y());
}

void TMessageForm::CloseBtnClick() {
  close();
}

TMessageFormSink::~TMessageFormSink() {
  if (TMessageForm *form = FForm.data()) {
    form->OnClosed = nullptr;
    delete form;
  }
}

TMessageForm *TMessageFormSink::OpenWindow() {
  if (!FForm) {
    FForm = new TMessageForm();
    if (Snooze)
      FForm->SetSnoozeHandler(
          [this](const std::vector<TMessageForm::TShownMessage> &messages, TSnoozeDelay delay) {
            for (const TMessageForm::TShownMessage &shown : messages)
              Snooze(shown.Caption, shown.Header, shown.Message, delay);
          });
    FForm->OnClosed = [this] {
      FForm = nullptr;
      if (OnWindowClosed)
        OnWindowClosed();
    };
    FForm->show();
  }
  RaiseWindow();
  return FForm.data();
}

void TMessageFormSink::Show(const QString &caption, const QString &header, const QString &message) {
  OpenWindow()->AddMessage(caption, header, message);
  if (!Notifier)
    return;
  QString body = header.isEmpty() ? message : header + u'\n' + message;
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
  const QPointer<TMessageForm> shownIn = FForm;
  FPendingNotes.push_back({caption, body, [this, shownIn, caption, header, message] {
                             ShowAgain(shownIn, caption, header, message);
                           }});
  // Sent when the event loop comes back, so that a failure told in the same dispatch can take
  // the place of its error messages.
  if (FPendingNotes.size() == 1)
    QTimer::singleShot(0, Notifier, [this] { SendPendingNotes(); });
}

void TMessageFormSink::SendPendingNotes() {
  const std::vector<TPendingNote> notes = std::exchange(FPendingNotes, {});
  for (const TPendingNote &note : notes)
    Notifier->Notify(note.Caption, note.Body, NotificationIcon ? NotificationIcon() : QImage(),
                     note.OnClick);
}

void TMessageFormSink::CallFailed(int entryNumber, const QString &action, const QString &result,
                                  std::int64_t callId) {
  std::erase_if(FPendingNotes,
                [](const TPendingNote &note) { return note.Caption == QStringLiteral("Fehler"); });
  if (OnCallFailed)
    OnCallFailed(entryNumber, action, result, callId);
}

void TMessageFormSink::Withdraw(const QString &header, const QString &message) {
  QString body = header.isEmpty() ? message : header + u'\n' + message;
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
  std::erase_if(FPendingNotes, [&body](const TPendingNote &note) { return note.Body == body; });
  if (FForm)
    FForm->RemoveMessage(header, message);
}

void TMessageFormSink::ShowAgain(const QPointer<TMessageForm> &shownIn, const QString &caption,
                                 const QString &header, const QString &message) {
  if (shownIn && shownIn == FForm) {
    RaiseWindow();
    return;
  }
  OpenWindow()->AddMessage(caption, header, message);
}

void TMessageFormSink::RaiseWindow() {
  if (!FForm)
    return;
  FForm->showNormal();
  FForm->raise();
  FForm->activateWindow();
}
