// The moon picture control: the shaded moon of the moment shown, as a label. It also builds
// the application's tray icon.
#pragma once

#include <QIcon>
#include <QImage>
#include <QLabel>

#include "base/DateTime.h"
#include "gui/moon/MoonPicture.h"
#include "moon/ShadowGeometry.h"

#include <vector>

// Shows the moon's phase at Date as a picture of MoonSize.
class TMoon : public QLabel {
  Q_OBJECT

public:
  // A control showing the moon as it is now, in the largest size.
  explicit TMoon(QWidget *parent = nullptr);

  // The moment shown.
  TDateTime Date() const { return FDate; }
  // Moves the shown moment and repaints.
  void SetDate(TDateTime value);
  // The picture size.
  TMoonSize MoonSize() const { return FMoonSize; }
  // Changes the picture size (the control takes its size) and repaints.
  void SetMoonSize(TMoonSize size);
  // The normalized phase angle of Date in [0, 360): below 180 waxing, from 180 on waning.
  long double ShadowAngle() const;
  // Until when the pictures of every size stay as they are at Date: moments from Date up to
  // this one are shown without working the phase out again.
  TDateTime PictureUnchangedUntil() const { return FUnchangedUntil; }

  // The shaded moon for the system's icon size. The icon stays owned by this control; a call
  // replaces it when the shadow has changed since the last one, so copy it to keep it.
  const QIcon &GetIcon();
  // The icon image for an icon edge of edge pixels: 16, 32 and 64 use their own pictures, every
  // other edge the 32-pixel one in the top-left corner, transparent elsewhere.
  QImage IconImage(int edge) const;
  // The shown picture (the shaded moon of MoonSize).
  const QImage &Bitmap() const { return FBitmap; }

private:
  // Reloads the full-moon picture of MoonSize and shades it.
  void UpdatePicture();

  TDateTime FDate = 0;
  TMoonSize FMoonSize = ms64;
  long double FShadowAngle = 0;
  // The moment FShadowAngle belongs to, and the first moment a picture may differ from it.
  TDateTime FAngleDate = 0;
  TDateTime FUnchangedUntil = 0;
  QImage FBitmap;
  // What FBitmap and FIcon were made from.
  TMoonSize FBitmapSize = ms64;
  std::vector<TShadowSpan> FBitmapSpans;
  int FIconEdge = 0;
  std::vector<TShadowSpan> FIconSpans;
  QIcon FIcon;
};
