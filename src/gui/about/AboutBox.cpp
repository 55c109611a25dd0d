#include "gui/about/AboutBox.h"

#include "gui/widgets/Application.h"

#include "base/DateTime.h"
#include "gui/about/InfoAdd.h"
#include "gui/about/SysComp.h"
#include "gui/moon/MoonPicture.h"
#include "moon/MoonPhase.h"
#include "platform/Clock.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

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
QLabel *NewLabel(QWidget *parent, const QString &text) {
  return new QLabel(text, parent);
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

// The classic size of the dialog's client area, where it starts unless its texts need more.
constexpr int ClientWidth = 339;
constexpr int ClientHeight = 274;
} // namespace

TAboutBox::TAboutBox(const QString &configFileName, QWidget *parent)
    : QDialog(parent), OpenUrl([](const QUrl &url) { QDesktopServices::openUrl(url); }) {
  setWindowTitle(QStringLiteral("Infos"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  const QFont font = DesktopFont(13);
  setFont(font);

  auto *panel = new QFrame(this);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);

  auto *texts = CreateTexts(panel);
  auto *pages = CreatePages(panel);
  CreateSystemPage(configFileName, font);
  auto *columns = new QHBoxLayout(panel);
  columns->setContentsMargins(8, 8, 8, 8);
  columns->setSpacing(8);
  columns->addLayout(pages);
  columns->addLayout(texts, 1);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setMinimumWidth(75);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(10);
  layout->addWidget(panel, 1);
  layout->addWidget(OKButton, 0, Qt::AlignHCenter);
  layout->activate();
  resize(StartingSize(this, QSize(ClientWidth, ClientHeight)));

  AboutTimer.setInterval(100);
  connect(&AboutTimer, &QTimer::timeout, this, &TAboutBox::AboutTimerTimer);
  AboutTimer.start();

  // The dialog sees the keys first, whichever control has the focus.
  installEventFilter(this);
  for (QWidget *child : findChildren<QWidget *>())
    child->installEventFilter(this);
}

QLayout *TAboutBox::CreateTexts(QWidget *panel) {
  ProductName = NewLabel(panel, QCoreApplication::applicationName());
  QFont big = DesktopFont(20);
  big.setBold(true);
  big.setItalic(true);
  ProductName->setFont(big);
  Version = NewLabel(panel, QStringLiteral("Version ") + ProductVersionText() +
                                QStringLiteral(" (6)") + BitnessText());
  // The right column is narrow; its small print fits in any of the usual sans fonts.
  const QFont small = DesktopFont(11);
  Version->setFont(small);
  Copyright = NewLabel(panel, QStringLiteral("© 2026 Kronolab-Team.\nFreie Software "
                                             "ohne jede Gewähr."));
  Copyright->setFont(small);
  Copyright->setWordWrap(true);
  CommentLabel = NewLabel(panel, QStringLiteral("Ihr Zeitplaner im Infobereich, mit dem Mond."));
  CommentLabel->setWordWrap(true);
  CommentLabel->setFont(small);

  LinkLabel = new TLinkLabel(panel);
  LinkLabel->setFont(small);
  StyleAsLink(LinkLabel);
  LinkLabel->OnClick = [this] { LinkLabelClick(LinkLabel); };
  MailLabel = new TLinkLabel(panel);
  MailLabel->setFont(small);
  StyleAsLink(MailLabel);
  MailLabel->OnClick = [this] { MailLabelClick(); };
  SetWebAddress(QString::fromLatin1(KronolabHomePageHost));
  auto *links = new QGridLayout;
  links->setHorizontalSpacing(2);
  links->setVerticalSpacing(2);
  links->addWidget(NewLabel(panel, QStringLiteral("URL : ")), 0, 0);
  links->addWidget(LinkLabel, 0, 1);
  links->addWidget(NewLabel(panel, QStringLiteral("Mail : ")), 1, 0);
  links->addWidget(MailLabel, 1, 1);
  links->setColumnStretch(1, 1);

  TimeStamp = new TTimeStampLabel(panel);
  TimeStamp->SetFile(QCoreApplication::applicationFilePath(), TTimeStampLabel::dtString);
  TimeStamp->hide();

  auto *column = new QVBoxLayout;
  column->setSpacing(4);
  for (QWidget *text : {static_cast<QWidget *>(ProductName), static_cast<QWidget *>(Version),
                        static_cast<QWidget *>(Copyright), static_cast<QWidget *>(CommentLabel)})
    column->addWidget(text);
  column->addLayout(links);
  column->addWidget(TimeStamp);
  column->addStretch(1);
  return column;
}

QLayout *TAboutBox::CreatePages(QWidget *panel) {
  // As wide as its widest page needs: the icon's, or the system page's at a large font.
  Notebook = new QStackedWidget(panel);
  Scroller = new TScroller(panel);
  Scroller->OnClick = [this] { ScrollerClick(); };

  // Page "Icon": the program icon, the moon of the day drawn for 128 pixels and shown at that
  // size on the dialog's background; the 32-pixel application icon stretched would be a blur.
  QWidget *iconPage = AddNotebookPage();
  iconPage->setObjectName(QStringLiteral("Icon"));
  ProgramIcon = new QLabel(iconPage);
  ProgramIcon->setMinimumSize(137, 137);
  ProgramIcon->setAlignment(Qt::AlignCenter);
  (new QVBoxLayout(iconPage))->addWidget(ProgramIcon);
  SetMoonPicture(MoonPictureAt(128, NormalizeDegrees(PhaseAngle(Now()))));

  auto *column = new QVBoxLayout;
  column->setSpacing(6);
  column->addWidget(Notebook, 1);
  column->addWidget(Scroller, 0, Qt::AlignHCenter);
  return column;
}

void TAboutBox::SetMoonPicture(const QImage &picture) {
  ProgramIcon->setPixmap(QPixmap::fromImage(picture));
}

void TAboutBox::CreateSystemPage(const QString &configFileName, const QFont &font) {
  // Page "System".
  SystemPage = AddNotebookPage();
  SystemPage->setObjectName(QStringLiteral("System"));
  QLabel *title = NewLabel(SystemPage, QStringLiteral("Systeminformationen"));
  QFont bold = font;
  bold.setBold(true);
  title->setFont(bold);
  LoadMemGauge = new QProgressBar(SystemPage);
  LoadMemGauge->setRange(0, 100);
  LoadMemGauge->setMaximumHeight(QFontMetrics(font).height() + 4);
  FreeMemLabel = NewLabel(SystemPage, QString());
  MhzLbLabel = NewLabel(SystemPage, QStringLiteral("MHz:"));
  MhzLbLabel->hide();
  MhzLabel = NewLabel(SystemPage, QString());
  auto *figures = new QGridLayout;
  figures->setHorizontalSpacing(4);
  figures->addWidget(NewLabel(SystemPage, QStringLiteral("Gefüllt:")), 0, 0);
  figures->addWidget(LoadMemGauge, 0, 1);
  figures->addWidget(NewLabel(SystemPage, QStringLiteral("Frei: ")), 1, 0);
  figures->addWidget(FreeMemLabel, 1, 1);
  figures->addWidget(MhzLbLabel, 2, 0);
  figures->addWidget(MhzLabel, 2, 1);
  figures->setColumnStretch(1, 1);
  QLabel *configuration = NewLabel(SystemPage, QStringLiteral("Konfiguration"));
  configuration->setFont(bold);
  IniLabel = new TLinkLabel(SystemPage);
  IniLabel->setWordWrap(true);
  IniLabel->setText(QFileInfo(configFileName).fileName());
  IniLabel->setToolTip(configFileName);
  IniLabel->OnDblClick = [this] { IniLabelDblClick(); };

  auto *column = new QVBoxLayout(SystemPage);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);
  column->addWidget(title);
  column->addLayout(figures);
  column->addSpacing(6);
  column->addWidget(configuration);
  column->addWidget(IniLabel);
  column->addStretch(1);
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
  auto *layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(label);
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
