// The tray host TSysTrayIconForm: the program's one central object. It owns the scheduler,
// its timer, the tray icon with its menu, the hidden moon that paints the icon and the
// message window, and it starts the editor, the file dialogs and the about box.
#pragma once

#include "core/Scheduler.h"
#include "core/Waker.h"
#include "gui/editor/EditorSession.h"
#include "gui/editor/HistoryForm.h"
#include "gui/message/DesktopNotifier.h"
#include "gui/message/MessageForm.h"
#include "gui/tray/RxTrayIcon.h"
#include "gui/widgets/Application.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QMenu;
class QSocketNotifier;
class TMoon;

// The startup's inputs: the program's arguments (without the program) and the current folder.
struct TStartupArgs {
  QStringList Arguments;
  QString CurrentFolder;
};

// The question on exit when the configuration cannot be written, with the reason when one is
// known; a very long path is shortened in its middle so that the text stays within 255
// characters with the question whole (a reason so long that it leaves no room is the one
// thing that may stretch it).
QString ConfigWriteErrorText(const QString &configFileName, const QString &reason = QString());

// The dialogs and the outside world as the tray host reaches them; the host fills in the real
// ones, tests replace them.
struct TTrayHostSeams {
  // A modal message box; returns the button pressed.
  std::function<QMessageBox::StandardButton(QMessageBox::Icon icon, const QString &text,
                                            QMessageBox::StandardButtons buttons)>
      MessageBox;
  // Runs the editor modally on session; true when it ended with OK.
  std::function<bool(TEditorSession &session)> RunEditor;
  // A file dialog; returns the chosen file or an empty text.
  std::function<QString(bool save, const QString &title, const QString &preset)> ChooseFile;
  std::function<void()> ShowHelpContents;
  // Shows the about box modally.
  std::function<void()> ShowAboutBox;
  std::function<Qt::KeyboardModifiers()> KeyboardModifiers;
  // Ends the program: every event loop, a modal one too, returns at once, whatever windows
  // are open.
  std::function<void()> Quit;
  // The configuration is to become newFile (the editor opened or saved another file): moves
  // the one-scheduler lock there; the German reason when it cannot, else empty.
  std::function<QString(const QString &newFile)> FollowConfigFile;
  // Whether another scheduler runs file, so that the editor must not save into it.
  std::function<bool(const QString &file)> RunByAnother;
};

// The tray host. It never shows a window of its own.
class TSysTrayIconForm : public QWidget {
public:
  // The program's name in the tooltip and the windows' captions.
  static const QString AppTitle;
  // Runs the creation steps in their order; errors are reported and end them there.
  // seams (if given) replace the dialogs before anything is set up.
  explicit TSysTrayIconForm(const TStartupArgs &args,
                            const std::function<void(TSysTrayIconForm &)> &seams = nullptr);
  ~TSysTrayIconForm() override;

  // The engine this host shows and forwards to.
  TScheduler &Scheduler() { return FScheduler; }
  const TScheduler &Scheduler() const { return FScheduler; }
  // What wakes the scheduler: its wall-clock alarm, armed for the next due check or picture.
  TSchedulerWaker &Waker() { return *FWaker; }
  // Whether due checks are to come (not paused, an interval above 0).
  bool DueChecksArmed() const;
  TRxTrayIcon *TrayIcon() const { return FTrayIcon; }
  // The hidden moon that paints the icon.
  TMoon *MainMoon() const { return FMainMoon; }
  QMenu *PopupMenu() const { return FPopupMenu; }
  // The tray menu's items, named after their handlers.
  QAction *StoppedItem() const { return FMenu.StoppedItem; }
  QAction *Einstellungen1() const { return FMenu.Einstellungen1; }
  QAction *Verlauf1() const { return FMenu.Verlauf1; }
  QAction *AktionenLaden1() const { return FMenu.AktionenLaden1; }
  QAction *Aktionensichern1() const { return FMenu.Aktionensichern1; }
  QAction *StopperUmschaltermglichen1() const { return FMenu.StopperUmschaltermglichen1; }
  QAction *Protokollfuehren1() const { return FMenu.Protokollfuehren1; }
  QAction *DesktopNotifications1() const { return FMenu.DesktopNotifications1; }
  QAction *AutostartItem() const { return FMenu.AutostartItem; }
  QAction *Beenden() const { return FMenu.Beenden; }
  QAction *Hilfe1() const { return FMenu.Hilfe1; }
  QAction *Info1() const { return FMenu.Info1; }
  // The application's icon as it was at start, shown while paused.
  const QIcon &PausedIcon() const { return FPausedIcon; }
  TDesktopNotifier *Notifier() const { return FNotifier; }
  // The message window and the notifications of messages.
  TMessageFormSink &MessageForms() { return FMessageForms; }
  // The dialogs and the outside world; tests and main replace them.
  TTrayHostSeams &Seams() { return FSeams; }

  // Keyboard check at the start; run once when the event loop begins.
  void FormShow();
  void HideTaskbarButton();

  // Menu handlers.
  void StoppedItemClick();
  void TrayIconClick();
  // Opens the history window, or brings the open one to the front.
  void Verlauf1Click();
  void AktionenLaden1Click();
  void Aktionensichern1Click();
  void StopperUmschaltermglichen1Click();
  void Protokollfuehren1Click();
  void DesktopNotifications1Click();
  void AutostartItemClick();
  void BeendenClick();
  void Hilfe1Click();
  void Info1Click();

  bool Paused() const;
  // The wake-up follows the scheduler's plan, interval and pause: armed anew after any change.
  void ApplyInterval();
  // The tick's picture step: the moon of now becomes the application's and the tray's icon,
  // and the tooltip names the next due action (worked out again when the list changed, its
  // time has come or the clock went back, at most once a second otherwise).
  void IconStep(TDateTime now);
  // The tooltip while running: the title and, when one is due later, the next action with its
  // due point.
  // shownPoint (if given) receives the due point named (0: none).
  QString RunningHint(TDateTime now, TDateTime *shownPoint = nullptr) const;
  // Saves the configuration without asking, as at the end of a session; true on success.
  // Skipped once "&Beenden" has saved (or the user chose to end without).
  bool SaveOnExit();
  // The end the system asks for (SIGTERM, SIGINT): save without asking, then end.
  void EndWithoutAsking();
  // A later start of the same configuration asks for the editor.
  void HandOverRequest();
  // kronolab-cli's list command in request, applied and saved by the scheduler, as the answer
  // line; empty for a request that is none. Refused while the editor is open, whose OK would
  // replace the list.
  std::optional<QByteArray> AnswerListCommand(const QByteArray &request);
  // The history window while it is open.
  THistoryForm *HistoryWindow() const { return FHistory.data(); }
  // Opens "Verlauf" at the call with callId (a click on a failure's notification).
  void ShowCallInHistory(std::int64_t callId);
  // The calls failed since "Verlauf" was last opened; the tray's mark shows while any are.
  int FailedCalls() const { return FFailedCalls; }
  // A call failed: counted, marked in the tray and told by a notification.
  void CallFailed(int entryNumber, const QString &action, const QString &result,
                  std::int64_t callId);

private:
  // The items of the tray menu.
  struct TTrayMenu {
    QAction *StoppedItem = nullptr;
    QAction *Einstellungen1 = nullptr;
    QAction *Verlauf1 = nullptr;
    QAction *AktionenLaden1 = nullptr;
    QAction *Aktionensichern1 = nullptr;
    QAction *StopperUmschaltermglichen1 = nullptr;
    QAction *Protokollfuehren1 = nullptr;
    QAction *DesktopNotifications1 = nullptr;
    QAction *AutostartItem = nullptr;
    QAction *Beenden = nullptr;
    QAction *Hilfe1 = nullptr;
    QAction *Info1 = nullptr;
  };

  void InstallDefaultSeams();
  void FormCreate(const TStartupArgs &args);
  void BuildMenu();
  // The menu's check marks (and the notifier) follow the loaded settings.
  void ShowSettings();
  void ShowIcon(const QIcon &icon);
  // The tooltip: hint, and below it how many calls failed.
  void ShowHint(const QString &hint);
  // The failures' mark and count follow FFailedCalls.
  void ShowFailures();
  void ShowTrayPicture();
  // "Verlauf" has been opened: whatever failed is in view, the mark and the count go.
  void FailuresSeen();
  void ShowRunningHint(TDateTime now);
  void Report(const std::exception &error);
  // The pause as the scheduler holds it: check mark, timer, icon and hint.
  void ShowPauseState();
  // The editor's session from the scheduler's list, with the dialogs' seams.
  TEditorSession NewEditorSession();
  // Runs the editor on session (the host's one open editor) and takes it with OK.
  void RunEditorSession(TEditorSession &session);
  // At the start: offers an editor session kept when the program last ended.
  void OfferKeptEditorSession();
  // At the end: keeps the open editor's changes not yet taken with OK beside the
  // configuration.
  void KeepOpenEditor();
  // The editor's OK: the scheduler takes the session, the windows show the outcome.
  void TakeEditorSession(const TEditorSession &session);
  // The open history window follows the scheduler's journal and list.
  void ShowHistoryList();

  // The history window's filter: the current entries with their journal ids.
  std::vector<THistoryAction> HistoryActions() const;
  void OpenJournal();

  // A wake: the icon and tooltip follow what the due check did (or the clock alone).
  void Woken(const TMoment &now, bool checked);

  TScheduler FScheduler;
  std::unique_ptr<TSchedulerWaker> FWaker;
  QSocketNotifier *FWakeNotifier = nullptr;
  // Ticks on Qt's clock only where the system has no wall-clock alarm.
  QTimer *FTimer = nullptr;
  TRxTrayIcon *FTrayIcon = nullptr;
  TMoon *FMainMoon = nullptr;
  QMenu *FPopupMenu = nullptr;
  TTrayMenu FMenu;
  QIcon FPausedIcon;
  TMessageFormSink FMessageForms;
  TDesktopNotifier *FNotifier = nullptr;
  TTrayHostSeams FSeams;

  QIcon FShownIcon;
  QPointer<THistoryForm> FHistory;
  TEditorSession *FOpenEditor = nullptr;
  bool FExitSaved = false;
  // The open editor's changes are kept for the next start.
  bool FEditorKept = false;
  // When the tooltip's next action was last worked out (0: never), and for which list.
  TDateTime FHintTime = 0;
  // The next due point the tooltip names (0: none): once it has come the tooltip is stale.
  TDateTime FHintPoint = 0;
  std::uint64_t FHintGeneration = 0;
  // The tray's picture and tooltip before the failures' mark and count are added.
  QIcon FTrayPicture;
  QString FTrayHint;
  // The marked picture last drawn, and the picture it was drawn from.
  QIcon FMarkedFrom;
  QIcon FMarkedPicture;
  int FFailedCalls = 0;
  // A new plan of wake-ups is on its way.
  bool FReplanPosted = false;
  // The notice that the desktop had no notification area, while it is shown.
  QString FNoTrayNotice;
};
