// The tray host TSysTrayIconForm: the program's one central object. It owns the scheduler,
// its timer, the tray icon with its menu, the hidden moon that paints the icon and the
// message window, and it starts the editor, the file dialogs and the about box.
#pragma once

#include "core/Scheduler.h"
#include "gui/editor/EditorSession.h"
#include "gui/editor/HistoryForm.h"
#include "gui/message/MsgFrm.h"
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
#include <vector>

class QAction;
class QMenu;
class TMoon;

// The startup's inputs: the program's arguments (without the program) and the current folder.
struct TStartupArgs {
  QStringList Arguments;
  QString CurrentFolder;
};

// The question on exit when the configuration cannot be written; a very long path is
// shortened in its middle so that the text stays within 255 characters with the question
// whole.
QString ConfigWriteErrorText(const QString &configFileName);

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
  // Ends the program.
  std::function<void()> Quit;
};

// The tray host. It never shows a window of its own.
class TSysTrayIconForm : public QWidget {
public:
  // Runs the creation steps in their order; errors are reported and end them there.
  // seams (if given) replace the dialogs before anything is set up.
  explicit TSysTrayIconForm(const TStartupArgs &args,
                            const std::function<void(TSysTrayIconForm &)> &seams = nullptr);
  ~TSysTrayIconForm() override;

  TScheduler Scheduler;
  QTimer *Timer = nullptr;
  TRxTrayIcon *TrayIcon = nullptr;
  TMoon *MainMoon = nullptr;
  QMenu *PopupMenu = nullptr;
  QAction *StoppedItem = nullptr;
  QAction *Einstellungen1 = nullptr;
  QAction *Verlauf1 = nullptr;
  QAction *AktionenLaden1 = nullptr;
  QAction *Aktionensichern1 = nullptr;
  QAction *StopperUmschaltermglichen1 = nullptr;
  QAction *Beenden = nullptr;
  QAction *Hilfe1 = nullptr;
  QAction *Info1 = nullptr;
  QIcon PausedIcon;
  TMessageFormSink MessageForms;

  TTrayHostSeams Seams;

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
  void BeendenClick();
  void Hilfe1Click();
  void Info1Click();

  bool Paused() const;
  // The timer follows Scheduler.Interval: 0 or paused means no ticks.
  void ApplyInterval();
  // The tick's picture step: the moon of now becomes the application's and the tray's icon.
  void IconStep(TDateTime now);
  // Saves the configuration without asking, as at the end of a session; true on success.
  // Skipped once "&Beenden" has saved (or the user chose to end without).
  bool SaveOnExit();
  // The end the system asks for (SIGTERM, SIGINT): save without asking, then end.
  void EndWithoutAsking();
  // A later start of the same configuration asks for the editor.
  void HandOverRequest();
  // The history window while it is open.
  THistoryForm *HistoryWindow() const { return FHistory.data(); }

private:
  void FormCreate(const TStartupArgs &args);
  void BuildMenu();
  void ShowIcon(const QIcon &icon);
  void Report(const std::exception &error);
  void SaveConfiguration();

  // The history window's filter: the current entries with their journal ids.
  std::vector<THistoryAction> HistoryActions() const;
  void OpenJournal();

  QIcon FShownIcon;
  QPointer<THistoryForm> FHistory;
  TEditorSession *FOpenEditor = nullptr;
  // Counts replacements of the action list, so that the editor's copies know whether the
  // entries they came from still exist.
  std::uint64_t FListGeneration = 0;
  bool FExitSaved = false;
};

// The tray host, while it exists.
extern TSysTrayIconForm *SysTrayIconForm;
