// The application object of the tray program and the application-wide error handler as
// windows reach it: a handler that catches an error of its own (so that the widget it runs
// in is not unwound) hands it on here.
#pragma once

#include <QApplication>
#include <QFont>
#include <exception>
#include <functional>

// The application: errors that escape an event handler reach OnException instead of ending
// the program; the session's request to end reaches OnQuitRequest.
class TApplication : public QApplication {
public:
  using QApplication::QApplication;
  bool notify(QObject *receiver, QEvent *event) override;
  std::function<void(const std::exception &error)> OnException;
  // Qt asks the application to quit (the session manager ends the session, or anything calls
  // quit()). Without a handler Qt's own way applies, which any window can refuse; with one,
  // the handler ends the program itself.
  std::function<void()> OnQuitRequest;

protected:
  bool event(QEvent *event) override;
};

// Makes the program's own pictures (the program icon at its sizes) reachable as
// ":/kronolab/..."; they live in a static library, whose resources the linker drops unless
// registered. Safe to call more than once.
void RegisterProgramPictures();

// Shows error as the tray program shows every uncaught error (the message window, caption
// "Fehler"); without the tray program's application object it is only logged.
void ReportAppException(const std::exception &error);

// The desktop's own user-interface font (the platform theme's) at a size in pixels, grown in
// proportion when the desktop's font is larger than 13 pixels. Windows use it instead of
// naming a family, so that every window shows the one font of the desktop at the user's size.
QFont DesktopFont(int pixelSize);

// Where a window starts: its classic size, larger where its controls need more room (word
// wrapped texts included), never larger than the screen's free area.
QSize StartingSize(const QWidget *window, QSize classic);
// Moves window (not yet shown) near wanted, and shrinks it where needed, so that with a frame
// like its owner's it is whole on the owner's screen.
void PlaceOnScreen(QWidget *window, const QWidget *owner, QPoint wanted);
