// The about box "Infos": product, version, legal notice, links, and a notebook of pages (the
// program icon, live system information, the text pages) leafed through with TScroller.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

class QStackedWidget;
class QProgressBar;
class QPushButton;
class QLayout;
class QImage;

// A label that reports clicks and double clicks.
class TLinkLabel : public QLabel {
public:
  using QLabel::QLabel;
  std::function<void()> OnClick;
  std::function<void()> OnDblClick;

protected:
  void mousePressEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
};

// Two arrow buttons that step Position between Min and Max; the arrow at an end is greyed.
class TScroller : public QWidget {
public:
  explicit TScroller(QWidget *parent = nullptr);

  int Min = 0;
  int Max = 0;
  int Change = 1;
  int Position() const { return FPosition; }
  // Clamped to Min..Max; a change repaints and fires OnClick.
  void SetPosition(int value);
  bool CanGoLeft() const { return FPosition > Min; }
  bool CanGoRight() const { return FPosition < Max; }
  void SetMax(int value);

  std::function<void()> OnClick;

protected:
  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;

private:
  int FPosition = 0;
};

// A label showing a file's last-modified time, as a date-time text or as the raw stamp.
// (Named apart from the TTimeStamp of the date-time helpers.)
class TTimeStampLabel : public QLabel {
public:
  enum TDisplayType { dtString, dtNumber };
  explicit TTimeStampLabel(QWidget *parent = nullptr);
  void SetFile(const QString &fileName, TDisplayType type);
  // The DOS date-time stamp (as Windows file dates were kept) of a local date-time.
  static std::uint32_t DosStamp(const class QDateTime &dateTime);
};

// The about box.
class TAboutBox : public QDialog {
public:
  // configFileName is shown on the "System" page.
  explicit TAboutBox(const QString &configFileName, QWidget *parent = nullptr);

  // "1.6.1.1": the version the program was built as.
  static QString ProductVersionText();
  // " 64-Bit" or " 32-Bit", as this build is.
  static QString BitnessText();

  // One page per text, after the built-in pages.
  void AddInfoPages(const QStringList &list);
  QWidget *AddTextPage(const QString &text);
  QWidget *AddNotebookPage();
  void SetMailAddress(const QString &address);
  void SetWebAddress(const QString &address);
  // The program icon: the moon as the tray shows it, drawn for 128 pixels.
  void SetMoonPicture(const QImage &picture);

  // Opens a link; a test may record instead.
  std::function<void(const QUrl &)> OpenUrl;

  QLabel *ProductName = nullptr;
  QLabel *Version = nullptr;
  QLabel *Copyright = nullptr;
  QLabel *CommentLabel = nullptr;
  TLinkLabel *LinkLabel = nullptr;
  TLinkLabel *MailLabel = nullptr;
  TTimeStampLabel *TimeStamp = nullptr;
  TScroller *Scroller = nullptr;
  QStackedWidget *Notebook = nullptr;
  QLabel *ProgramIcon = nullptr;
  QProgressBar *LoadMemGauge = nullptr;
  QLabel *FreeMemLabel = nullptr;
  QLabel *MhzLbLabel = nullptr;
  QLabel *MhzLabel = nullptr;
  TLinkLabel *IniLabel = nullptr;
  QPushButton *OKButton = nullptr;
  QTimer AboutTimer;
  QWidget *SystemPage = nullptr;

  // One refresh of the "System" page; the clock is taken across calls, never by waiting.
  void AboutTimerTimer();

protected:
  void showEvent(QShowEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  // The constructor's steps: the product texts and links on the panel, the picture pages
  // with their scroller, the page of system information. The first two return the column
  // they fill.
  QLayout *CreateTexts(QWidget *panel);
  QLayout *CreatePages(QWidget *panel);
  void CreateSystemPage(const QString &configFileName, const QFont &font);
  void FormShow();
  void ScrollerClick();
  void LinkLabelClick(const QLabel *label);
  void MailLabelClick();
  void IniLabelDblClick();
  void KeyDown(int key);

  std::optional<std::uint64_t> FCounterStart;
  QElapsedTimer FCounterClock;
  bool FShown = false;
};
