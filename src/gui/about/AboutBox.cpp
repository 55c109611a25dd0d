#include "gui/about/AboutBox.h"

#include "gui/widgets/Application.h"

#include "base/DateTime.h"
#include "gui/about/InfoAdd.h"
#include "gui/about/SysComp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>

void TLinkLabel::mousePressEvent(QMouseEvent *event) {
  QLabel::mousePressEvent(event);
  if (event->button() == Qt::LeftButton && OnClick)
    OnClick();
}

void TLinkLabel::mouseDoubleClickEvent(QMouseEvent *event) {
  QLabel::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton && OnDblClick)
    OnDblClick();
}

TScroller::TScroller(QWidget *parent) : QWidget(parent) {
  setFixedSize(48, 20);
}

void TScroller::SetMax(int value) {
  Max = value;
  if (FPosition > Max)
    SetPosition(Max);
  update();
}

void TScroller::SetPosition(int value) {
  value = std::clamp(value, Min, std::max(Min, Max));
  if (value == FPosition)
    return;
  FPosition = value;
  update();
  if (OnClick)
    OnClick();
}

void TScroller::mousePressEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton)
    return;
  if (event->position().x() < width() / 2.0)
    SetPosition(FPosition - Change);
  else
    SetPosition(FPosition + Change);
}

void TScroller::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const int half = width() / 2;
  auto arrow = [&](QRect box, bool left, bool enabled) {
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(palette().button());
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    const QPointF c = QRectF(box).center();
    QPainterPath path;
    const double s = 4;
    if (left) {
      path.moveTo(c.x() + s / 2, c.y() - s);
      path.lineTo(c.x() - s / 2, c.y());
      path.lineTo(c.x() + s / 2, c.y() + s);
    } else {
      path.moveTo(c.x() - s / 2, c.y() - s);
      path.lineTo(c.x() + s / 2, c.y());
      path.lineTo(c.x() - s / 2, c.y() + s);
    }
    path.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(
        palette().color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawPath(path);
  };
  arrow(QRect(0, 0, half, height()), true, CanGoLeft());
  arrow(QRect(half, 0, width() - half, height()), false, CanGoRight());
}

TTimeStampLabel::TTimeStampLabel(QWidget *parent) : QLabel(parent) {}

std::uint32_t TTimeStampLabel::DosStamp(const QDateTime &dateTime) {
  const QDate d = dateTime.date();
  const QTime t = dateTime.time();
  const int year = std::clamp(d.year(), 1980, 2107) - 1980;
  return (static_cast<std::uint32_t>(year) << 25) | (static_cast<std::uint32_t>(d.month()) << 21) |
         (static_cast<std::uint32_t>(d.day()) << 16) |
         (static_cast<std::uint32_t>(t.hour()) << 11) |
         (static_cast<std::uint32_t>(t.minute()) << 5) | static_cast<std::uint32_t>(t.second() / 2);
}

void TTimeStampLabel::SetFile(const QString &fileName, TDisplayType type) {
  const QDateTime modified = QFileInfo(fileName).lastModified();
  if (!modified.isValid()) {
    setText(QString());
    return;
  }
  if (type == dtString)
    setText(DateTimeText(DateTimeFromQDateTime(modified)));
  else
    setText(QString::number(DosStamp(modified)));
}

QString TAboutBox::ProductVersionText() {
  return QStringLiteral(KRONOLAB_VERSION);
}

QString TAboutBox::BitnessText() {
  return sizeof(void *) == 8 ? QStringLiteral(" 64-Bit") : QStringLiteral(" 32-Bit");
}

namespace {
QLabel *NewLabel(QWidget *parent, const QString &text, QRect geometry) {
  auto *label = new QLabel(text, parent);
  label->setGeometry(geometry);
  return label;
}

void StyleAsLink(QLabel *label) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, Qt::blue);
  label->setPalette(palette);
  QFont font = label->font();
  font.setUnderline(true);
  label->setFont(font);
  label->setCursor(Qt::PointingHandCursor);
}
} // namespace

TAboutBox::TAboutBox(const QString &configFileName, QWidget *parent)
    : QDialog(parent), OpenUrl([](const QUrl &url) { QDesktopServices::openUrl(url); }) {
  setWindowTitle(QStringLiteral("Infos"));
  setFixedSize(339, 274);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(13);
  setFont(font);

  auto *panel = new QFrame(this);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setGeometry(8, 8, 323, 222);

  CreateTexts(panel, font);
  CreatePages(panel);
  CreateSystemPage(configFileName, font);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setGeometry(132, 240, 75, 25);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  AboutTimer.setInterval(100);
  connect(&AboutTimer, &QTimer::timeout, this, &TAboutBox::AboutTimerTimer);
  AboutTimer.start();

  // The dialog sees the keys first, whichever control has the focus.
  installEventFilter(this);
  for (QWidget *child : findChildren<QWidget *>())
    child->installEventFilter(this);
}

void TAboutBox::CreateTexts(QWidget *panel, const QFont &font) {
  ProductName = NewLabel(panel, QCoreApplication::applicationName(), QRect(160, 8, 156, 28));
  QFont big = font;
  big.setPixelSize(20);
  big.setBold(true);
  big.setItalic(true);
  ProductName->setFont(big);
  Version = NewLabel(panel,
                     QStringLiteral("Version ") + ProductVersionText() + QStringLiteral(" (6)") +
                         BitnessText(),
                     QRect(160, 40, 156, 18));
  // The right column is narrow; its small print fits in any of the usual sans fonts.
  QFont small = font;
  small.setPixelSize(11);
  Version->setFont(small);
  Copyright = NewLabel(panel,
                       QStringLiteral("© 2026 Kronolab-Team.\nFreie Software "
                                      "ohne jede Gewähr."),
                       QRect(160, 58, 156, 44));
  Copyright->setFont(small);
  Copyright->setWordWrap(true);
  CommentLabel = NewLabel(panel, QStringLiteral("Ihr Zeitplaner im Infobereich, mit dem Mond."),
                          QRect(160, 104, 156, 36));
  CommentLabel->setWordWrap(true);
  CommentLabel->setFont(small);

  NewLabel(panel, QStringLiteral("URL : "), QRect(160, 146, 40, 16));
  LinkLabel = new TLinkLabel(panel);
  LinkLabel->setGeometry(196, 146, 124, 16);
  LinkLabel->setFont(small);
  StyleAsLink(LinkLabel);
  LinkLabel->OnClick = [this] { LinkLabelClick(LinkLabel); };
  NewLabel(panel, QStringLiteral("Mail : "), QRect(160, 164, 40, 16));
  MailLabel = new TLinkLabel(panel);
  MailLabel->setGeometry(196, 164, 124, 16);
  MailLabel->setFont(small);
  StyleAsLink(MailLabel);
  MailLabel->OnClick = [this] { MailLabelClick(); };
  SetWebAddress(QString::fromLatin1(KronolabHomePageHost));

  TimeStamp = new TTimeStampLabel(panel);
  TimeStamp->setGeometry(160, 186, 156, 16);
  TimeStamp->SetFile(QCoreApplication::applicationFilePath(), TTimeStampLabel::dtString);
  TimeStamp->hide();
}

void TAboutBox::CreatePages(QWidget *panel) {
  Notebook = new QStackedWidget(panel);
  Notebook->setGeometry(8, 8, 145, 180);
  Scroller = new TScroller(panel);
  Scroller->move(56, 194);
  Scroller->OnClick = [this] { ScrollerClick(); };

  // Page "Icon": the program icon, drawn for 128 pixels and shown at that size on the dialog's
  // background; the 32-pixel application icon stretched to the page would be a blur.
  QWidget *iconPage = AddNotebookPage();
  iconPage->setObjectName(QStringLiteral("Icon"));
  ProgramIcon = new QLabel(iconPage);
  ProgramIcon->setGeometry(4, 20, 137, 137);
  ProgramIcon->setAlignment(Qt::AlignCenter);
  RegisterProgramPictures();
  ProgramIcon->setPixmap(QPixmap(QStringLiteral(":/kronolab/kronolab.png")));
}

void TAboutBox::CreateSystemPage(const QString &configFileName, const QFont &font) {
  // Page "System".
  SystemPage = AddNotebookPage();
  SystemPage->setObjectName(QStringLiteral("System"));
  QLabel *title = NewLabel(SystemPage, QStringLiteral("Systeminformationen"), QRect(0, 0, 145, 18));
  QFont bold = font;
  bold.setBold(true);
  title->setFont(bold);
  NewLabel(SystemPage, QStringLiteral("Gefüllt:"), QRect(0, 24, 50, 16));
  LoadMemGauge = new QProgressBar(SystemPage);
  LoadMemGauge->setGeometry(52, 24, 90, 16);
  LoadMemGauge->setRange(0, 100);
  NewLabel(SystemPage, QStringLiteral("Frei: "), QRect(0, 46, 50, 16));
  FreeMemLabel = NewLabel(SystemPage, QString(), QRect(52, 46, 90, 16));
  MhzLbLabel = NewLabel(SystemPage, QStringLiteral("Mhz:"), QRect(0, 68, 50, 16));
  MhzLbLabel->hide();
  MhzLabel = NewLabel(SystemPage, QString(), QRect(52, 68, 90, 16));
  NewLabel(SystemPage, QStringLiteral("Konfiguration"), QRect(0, 96, 145, 16))->setFont(bold);
  IniLabel = new TLinkLabel(SystemPage);
  IniLabel->setGeometry(0, 114, 145, 32);
  IniLabel->setWordWrap(true);
  IniLabel->setText(QFileInfo(configFileName).fileName());
  IniLabel->setToolTip(configFileName);
  IniLabel->OnDblClick = [this] { IniLabelDblClick(); };
}

void TAboutBox::SetWebAddress(const QString &address) {
  LinkLabel->setText(address);
}

void TAboutBox::SetMailAddress(const QString &address) {
  MailLabel->setText(address);
}

QWidget *TAboutBox::AddNotebookPage() {
  auto *page = new QWidget;
  page->setObjectName(QString::number(Notebook->count()));
  Notebook->addWidget(page);
  page->installEventFilter(this);
  return page;
}

QWidget *TAboutBox::AddTextPage(const QString &text) {
  QWidget *page = AddNotebookPage();
  auto *label = new TLinkLabel(page);
  label->setGeometry(0, 0, 145, 180);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setText(text);
  if (text.contains(QString::fromLatin1(KronolabHomePageHost))) {
    label->setToolTip(QString::fromLatin1(KronolabHomePage));
    label->setCursor(Qt::PointingHandCursor);
    label->OnClick = [this, label] { LinkLabelClick(label); };
  }
  label->installEventFilter(this);
  return page;
}

void TAboutBox::AddInfoPages(const QStringList &list) {
  for (const QString &text : list)
    AddTextPage(text);
}

void TAboutBox::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (!FShown) {
    FShown = true;
    FormShow();
  }
}

void TAboutBox::FormShow() {
  // Centred on the screen: its owner, the tray host, is never on screen to centre it on.
  if (const QScreen *display = screen())
    move(display->availableGeometry().center() - rect().center());
  Scroller->SetMax(Notebook->count() - 1);
  if (Notebook->count() <= 1) {
    Scroller->hide();
  } else {
    Scroller->SetPosition(0);
    Notebook->setCurrentIndex(0);
  }
  const QString link = LinkLabel->text();
  LinkLabel->setToolTip(link.toLower().startsWith(QLatin1String("http://"))
                            ? link
                            : QStringLiteral("http://") + link);
}

void TAboutBox::ScrollerClick() {
  Notebook->setCurrentIndex(Scroller->Position());
}

void TAboutBox::KeyDown(int key) {
  if (key == Qt::Key_PageDown)
    Scroller->SetPosition(Scroller->Position() + 1);
  else if (key == Qt::Key_PageUp)
    Scroller->SetPosition(Scroller->Position() - 1);
}

bool TAboutBox::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::KeyPress) {
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_PageDown || key->key() == Qt::Key_PageUp) {
      KeyDown(key->key());
      return true;
    }
    if (key->key() == Qt::Key_I && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      TimeStamp->setVisible(!TimeStamp->isVisible());
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TAboutBox::LinkLabelClick(const QLabel *label) {
  if (!label->toolTip().isEmpty())
    OpenUrl(QUrl(label->toolTip()));
}

void TAboutBox::MailLabelClick() {
  OpenUrl(QUrl(QStringLiteral("mailto:") + MailLabel->text() + QStringLiteral("?subject=") +
               QCoreApplication::applicationName() + QStringLiteral(": Version ") +
               ProductVersionText()));
}

void TAboutBox::IniLabelDblClick() {
  if (!IniLabel->toolTip().isEmpty())
    OpenUrl(QUrl::fromLocalFile(QFileInfo(IniLabel->toolTip()).absolutePath()));
}

void TAboutBox::AboutTimerTimer() {
  if (Notebook->currentWidget() != SystemPage) {
    FCounterStart.reset(); // the clock is measured afresh when the page comes back
    return;
  }
  if (const auto memory = ReadMemoryStatus()) {
    FreeMemLabel->setText(FreeMemText(*memory));
    LoadMemGauge->setValue(memory->MemoryLoad);
  }
  const auto counter = ReadTimeStampCounter();
  if (!counter) {
    MhzLbLabel->hide();
    MhzLabel->clear();
    return;
  }
  if (!FCounterStart) {
    FCounterStart = counter;
    FCounterClock.start();
    return;
  }
  const qint64 ns = FCounterClock.nsecsElapsed();
  if (ns < 500'000'000)
    return; // at least half a second between readings, as a span of timer events
  const double mhz = ClockMhz(*FCounterStart, *counter, static_cast<double>(ns) / 1000.0);
  MhzLabel->setText(MhzText(mhz));
  MhzLbLabel->setVisible(mhz > 0);
  FCounterStart = counter;
  FCounterClock.start();
}
