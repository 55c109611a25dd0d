#include "gui/moon/MoonForm.h"

#include <QMouseEvent>
#include <QScreen>

#include "gui/moon/Moon.h"
#include "platform/Clock.h"

TStretchImage::TStretchImage(QWidget *parent) : QLabel(parent) {
  setScaledContents(true);
  // The picture is stretched; it must not keep the window from shrinking.
  setMinimumSize(1, 1);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
}

void TStretchImage::mouseDoubleClickEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton && OnDblClick)
    OnDblClick();
  QLabel::mouseDoubleClickEvent(event);
}

TLunaForm::TLunaForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setWindowTitle(QString::fromUtf8("Der Mond heißt Mond, weil da keiner wohnt !"));
  MoonImage = new TStretchImage(this);
  MoonImage->OnDblClick = [this] { SquarePicture(); };
  Moon = new TMoon(this);
  Moon->SetMoonSize(ms64);
  Moon->hide();
}

void TLunaForm::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  FormShow();
}

void TLunaForm::resizeEvent(QResizeEvent *event) {
  QDialog::resizeEvent(event);
  MoonImage->setGeometry(rect());
}

void TLunaForm::FormShow() {
  const QScreen *display = screen();
  const QRect area = display ? display->geometry() : QRect(0, 0, 800, 600);
  const int side = area.height() / 2;
  resize(side, side);
  MoonImage->setGeometry(rect());
  Moon->SetDate(Now());
  MoonImage->setPixmap(QPixmap::fromImage(Moon->Bitmap()));
  setWindowIcon(Moon->GetIcon());
  SquarePicture();
  move(area.center() - QPoint(width() / 2, height() / 2));
}

void TLunaForm::SquarePicture() {
  const int imageWidth = MoonImage->width();
  const int imageHeight = MoonImage->height();
  if (imageHeight < imageWidth)
    resize(imageHeight + (width() - imageWidth), height());
  else
    resize(width(), imageWidth + (height() - imageHeight));
  MoonImage->setGeometry(rect());
}
