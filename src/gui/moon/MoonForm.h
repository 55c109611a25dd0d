// The big moon window: today's moon, stretched to half the screen's height.
#pragma once

#include <QDialog>
#include <QLabel>

#include <functional>

class TMoon;

// An image that stretches its picture over its whole area and reports double clicks.
class TStretchImage : public QLabel {
  Q_OBJECT

public:
  explicit TStretchImage(QWidget *parent = nullptr);
  // Called on a double click with the left mouse button.
  std::function<void()> OnDblClick;

protected:
  void mouseDoubleClickEvent(QMouseEvent *event) override;
};

// The big moon window; the editor shows it modally.
class TLunaForm : public QDialog {
  Q_OBJECT

public:
  explicit TLunaForm(QWidget *parent = nullptr);

  // The picture area, filling the client area.
  TStretchImage *MoonImage = nullptr;
  // The hidden control that computes the shaded 64-pixel moon.
  TMoon *Moon = nullptr;

  // Sizes the window for the screen, shows the current moon and squares the picture area.
  void FormShow();
  // Makes the picture area square by changing the window's shorter side.
  void SquarePicture();

protected:
  void showEvent(QShowEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
};
