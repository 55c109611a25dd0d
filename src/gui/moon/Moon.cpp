#include "gui/moon/Moon.h"

#include "moon/MoonPhase.h"
#include "platform/Clock.h"
#include "platform/IconSize.h"

#include <QPixmap>
#include <algorithm>

TMoon::TMoon(QWidget *parent) : QLabel(parent) {
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  FMoonSize = ms64;
  FDate = Now();
  FShadowAngle = NormalizeDegrees(PhaseAngle(FDate));
  FAngleDate = FDate;
  SetMoonSize(ms64);
}

void TMoon::SetDate(TDateTime value) {
  FDate = value;
  // The tray moves the date on every few seconds; the phase is worked out again only once a
  // picture can have changed.
  if (value >= FAngleDate && value < FUnchangedUntil)
    return;
  // Looking ahead pays only for a clock moving on, not for a jump to another day.
  const bool movingOn = value >= FAngleDate && value - FUnchangedUntil < 1.0 / 24;
  FAngleDate = value;
  FShadowAngle = NormalizeDegrees(PhaseAngle(value));
  FUnchangedUntil = movingOn ? NextMoonPictureChange(value) : value;
  UpdatePicture();
}

long double TMoon::ShadowAngle() const {
  return FAngleDate == FDate ? FShadowAngle : NormalizeDegrees(PhaseAngle(FDate));
}

void TMoon::SetMoonSize(TMoonSize size) {
  FMoonSize = size;
  const int edge = MoonPictureEdge(size);
  setFixedSize(edge, edge);
  UpdatePicture();
}

void TMoon::UpdatePicture() {
  // A second moves the shadow by far less than a pixel: the picture is painted again only
  // when a row of its shadow changes.
  std::vector<TShadowSpan> spans = MoonShadowSpans(FMoonSize, FShadowAngle);
  if (!FBitmap.isNull() && FBitmapSize == FMoonSize && spans == FBitmapSpans)
    return;
  FBitmapSpans = std::move(spans);
  FBitmapSize = FMoonSize;
  FBitmap = ShadedMoonPicture(FMoonSize, FShadowAngle);
  setPixmap(QPixmap::fromImage(FBitmap));
}

QImage TMoon::IconImage(int edge) const {
  return MoonIconImage(edge, FShadowAngle);
}

const QIcon &TMoon::GetIcon() {
  const int edge = SystemIconSize();
  std::vector<TShadowSpan> spans = MoonShadowSpans(MoonSizeForIcon(edge), FShadowAngle);
  // Rebuilt only when its picture changes, so an unchanged icon keeps its cache key and the
  // tray is not asked to take the same picture again.
  if (FIcon.isNull() || edge != FIconEdge || spans != FIconSpans) {
    FIcon = QIcon(QPixmap::fromImage(IconImage(edge)));
    // Panels show icons at their own sizes; one shrunk by the panel loses its rim into the
    // dark side, so the usual panel sizes get pictures drawn for them.
    for (const int other : {16, 22, 24, 32, 48, 64})
      if (other != edge)
        FIcon.addPixmap(QPixmap::fromImage(MoonPictureAt(other, FShadowAngle)));
    FIconEdge = edge;
    FIconSpans = std::move(spans);
  }
  return FIcon;
}
