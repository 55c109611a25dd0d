#include "gui/tray/SysTrayIconForm.h"

#include "base/Errors.h"
#include "core/CmdLine.h"
#include "core/IniHelp.h"
#include "core/InstanceLock.h"
#include "core/journal/RunJournal.h"
#include "gui/about/AboutBox.h"
#include "gui/about/InfoAdd.h"
#include "gui/editor/ActionFileDialog.h"
#include "gui/editor/HelpViewer.h"
#include "gui/editor/HistoryForm.h"
#include "gui/editor/MainForm.h"
#include "gui/moon/Moon.h"
#include "gui/moon/MoonPicture.h"
#include "platform/Autostart.h"
#include "storage/BigIniFile.h"

#include <QGuiApplication>
#include <QMenu>
#include <QSocketNotifier>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <utility>

namespace {
const QString PausedSuffix = QStringLiteral(" (angehalten)");
constexpr int MaxBoxText = 255;

} // namespace

QString ConfigWriteErrorText(const QString &configFileName, const QString &reason) {
  const QString head = QStringLiteral("Fehler beim Schreiben der Konfigurationsdatei!\n"
                                      "Bitte stellen Sie sicher das die Datei\n\"");
  // The system's reason (a full disk) or ours (a file we could not read is never written
  // over) comes before the question, so that the user knows what to mend.
  const QString why = reason.isEmpty() ? QString() : QStringLiteral("(%1)\n").arg(reason);
  const QString tail = QStringLiteral("\"\nnicht anderweitig geöffnet ist.\n") + why +
                       QStringLiteral("Wollen Sie das Programm trotzdem schließen?");
  const qsizetype room = std::max<qsizetype>(MaxBoxText - head.size() - tail.size(), 16);
  QString path = configFileName;
  if (path.size() > room) {
    // Keep the start and the end of the path (the file's name), drop the middle.
    const QString ellipsis = QStringLiteral("…");
    const qsizetype keep = room - ellipsis.size();
    const qsizetype front = keep / 2;
    path = path.left(front) + ellipsis + path.right(keep - front);
  }
  return head + path + tail;
}

TSysTrayIconForm::TSysTrayIconForm(const TStartupArgs &args,
                                   const std::function<void(TSysTrayIconForm &)> &seams)
    : QWidget(nullptr) {
  setWindowTitle(AppTitle);
  InstallDefaultSeams();
  FTimer = new QTimer(this);
  FTimer->setTimerType(Qt::CoarseTimer);
  connect(FTimer, &QTimer::timeout, this, [this] { FScheduler.TimerTimer(); });
  FWaker = std::make_unique<TSchedulerWaker>(FScheduler);
  if (FWaker->Valid()) {
    FWakeNotifier = new QSocketNotifier(FWaker->Descriptor(), QSocketNotifier::Read, this);
    connect(FWakeNotifier, &QSocketNotifier::activated, this, [this] { FWaker->Woken(); });
    FWaker->OnWoken = [this](const TMoment &now, bool checked) { Woken(now, checked); };
    FWaker->OtherWake = [this](const TMoment &now) -> std::int64_t {
      if (Paused())
        return 0; // the paused icon does not change
      return WallInstantAfter(NextMoonPictureChange(now.Wall), now.UtcMs);
    };
  }
  FTrayIcon = new TRxTrayIcon(this);
  FTrayIcon->OnDblClick = [this] { TrayIconClick(); };
  FTrayIcon->OnNoTrayArea = [this](const QString &message) {
    FNoTrayNotice = message;
    FScheduler.ShowMessageWindow(AppTitle, QString(), message);
  };
  FTrayIcon->OnTrayArea = [this] {
    if (!FNoTrayNotice.isEmpty())
      FMessageForms.Withdraw(QString(), std::exchange(FNoTrayNotice, QString()));
  };
  FTrayIcon->OnFallbackClosed = [this] { BeendenClick(); };
  FTrayIcon->WindowPicture = [this](int edge) {
    return MoonPictureAt(edge, FMainMoon->ShadowAngle());
  };
  FMainMoon = new TMoon(this);
  FMainMoon->SetMoonSize(ms64);
  FMainMoon->hide();
  BuildMenu();
  FTrayIcon->SetPopupMenu(FPopupMenu);
  FNotifier = new TDesktopNotifier(this);
  FNotifier->OnActivated = [this] { FMessageForms.RaiseWindow(); };
  FMessageForms.Notifier = FNotifier;
  FMessageForms.NotificationIcon = [this] { return FMainMoon->IconImage(64); };
  FMessageForms.OnCallFailed = [this](int entryNumber, const QString &action, const QString &result,
                                      std::int64_t callId) {
    CallFailed(entryNumber, action, result, callId);
  };
  FScheduler.SetMessageSink(&FMessageForms);
  FMessageForms.OnWindowClosed = [this] { HideTaskbarButton(); };
  FMessageForms.Snooze = [this](const QString &caption, const QString &header,
                                const QString &message, TSnoozeDelay delay) {
    FScheduler.SnoozeMessage(caption, header, message,
                             SnoozeMoment(delay, FScheduler.Clock().Wall));
    ApplyInterval(); // the wake-up plan now holds the message's return
  };
  FScheduler.SetOnTick([this](TDateTime now) { IconStep(now); });
  // A list changed by any operation (a load adds its entries one by one) is planned again
  // once, after the change.
  FScheduler.SetOnPlanChanged([this] {
    if (!std::exchange(FReplanPosted, true))
      QTimer::singleShot(0, this, [this] {
        FReplanPosted = false;
        ApplyInterval();
      });
  });
  if (seams)
    seams(*this);
  FormCreate(args);
}

const QString TSysTrayIconForm::AppTitle = QStringLiteral("Kronolab");

void TSysTrayIconForm::InstallDefaultSeams() {
  FSeams.MessageBox = [](QMessageBox::Icon icon, const QString &text,
                         QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, AppTitle, text, buttons);
    return static_cast<QMessageBox::StandardButton>(box.exec());
  };
  FSeams.ChooseFile = [this](bool save, const QString &title, const QString &preset) {
    return ChooseActionFile(this, save, title, preset);
  };
  FSeams.RunEditor = [](TEditorSession &session) {
    // A window of its own (no parent), so that it gets a task-bar entry.
    TMainForm form;
    form.LoadSession(session);
    session.Form = &form;
    session.Unsaved = [&form](TListEditSession &unsaved) {
      if (!form.Modified())
        return false;
      unsaved.Rows = form.Rows();
      unsaved.ConfigFileName = form.ConfigFileName();
      try {
        unsaved.IntervalMs = static_cast<std::uint64_t>(form.IntervalMs());
      } catch (const std::exception &) {
        // A half-typed interval: the one the editor was opened with is kept instead.
      }
      return true;
    };
    const bool accepted = form.exec() == QDialog::Accepted;
    session.Unsaved = nullptr;
    if (accepted) {
      // A file loaded or saved under another name becomes the configuration file with OK.
      session.ConfigFileName = form.ConfigFileName();
      session.Rows = form.Rows();
      session.IntervalMs =
          static_cast<std::uint64_t>(form.IntervalMs()); // digits only: never below 0
    }
    return accepted;
  };
  FSeams.ShowHelpContents = [] { ShowHelpTopic(0); };
  FSeams.ShowAboutBox = [this] {
    TAboutBox box(FScheduler.ConfigFileName(), this);
    box.SetMailAddress(QString::fromLatin1(KronolabMailAddress));
    // The moon the tray shows, from the same control.
    box.SetMoonPicture(MoonPictureAt(128, FMainMoon->ShadowAngle()));
    box.AddInfoPages(TInfoAdds());
    box.exec();
  };
  FSeams.KeyboardModifiers = [] { return QGuiApplication::queryKeyboardModifiers(); };
  // Not quit(): that asks every window first, and one that refuses (a question box still
  // open) would keep the program running unseen.
  FSeams.Quit = [] { QCoreApplication::exit(0); };
  FSeams.FollowConfigFile = [](const QString &) { return QString(); };
  FSeams.RunByAnother = [](const QString &) { return false; };
}

TSysTrayIconForm::~TSysTrayIconForm() {
  FScheduler.SetOnPlanChanged(nullptr); // nothing is planned for a host going away
  // The tray icon leaves the notification area before the scheduler frees its lists.
  FTimer->stop();
  delete FWakeNotifier; // before the descriptor it watches closes
  FWaker.reset();
  // The history window reads the scheduler's journal, which goes with us.
  delete FHistory.data();
  FTrayIcon->SetActive(false);
  if (auto *app = dynamic_cast<TApplication *>(QCoreApplication::instance()))
    app->OnException = nullptr;
}

void TSysTrayIconForm::BuildMenu() {
  FPopupMenu = new QMenu(this);
  auto item = [this](const QString &caption, void (TSysTrayIconForm::*handler)()) {
    QAction *action = FPopupMenu->addAction(caption);
    connect(action, &QAction::triggered, this, [this, handler] {
      (this->*handler)();
      // Whatever the item changed (the list, the interval, the pause), the wake-up follows.
      if (!FExitSaved)
        ApplyInterval();
    });
    return action;
  };
  FMenu.StoppedItem = FPopupMenu->addAction(QStringLiteral("Programm an&gehalten"));
  FMenu.StoppedItem->setCheckable(true);
  // The menu has flipped the check mark already; StoppedItemClick sets it from the scheduler.
  connect(FMenu.StoppedItem, &QAction::triggered, this, [this] { StoppedItemClick(); });
  FMenu.Einstellungen1 = item(QStringLiteral("&Aktionen..."), &TSysTrayIconForm::TrayIconClick);
  FMenu.Verlauf1 = item(QStringLiteral("&Verlauf..."), &TSysTrayIconForm::Verlauf1Click);
  FPopupMenu->addSeparator();
  FMenu.AktionenLaden1 =
      item(QStringLiteral("Aktionen &laden..."), &TSysTrayIconForm::AktionenLaden1Click);
  FMenu.Aktionensichern1 =
      item(QStringLiteral("Aktionen &sichern..."), &TSysTrayIconForm::Aktionensichern1Click);
  FPopupMenu->addSeparator();
  FMenu.StopperUmschaltermglichen1 = item(QStringLiteral("Stop per Umschalt bei Start ermöglichen"),
                                          &TSysTrayIconForm::StopperUmschaltermglichen1Click);
  FMenu.StopperUmschaltermglichen1->setCheckable(true);
  FMenu.Protokollfuehren1 =
      item(QStringLiteral("Protokoll führen"), &TSysTrayIconForm::Protokollfuehren1Click);
  FMenu.Protokollfuehren1->setCheckable(true);
  FMenu.DesktopNotifications1 = item(QStringLiteral("Desktop-Benachrichtigungen"),
                                     &TSysTrayIconForm::DesktopNotifications1Click);
  FMenu.DesktopNotifications1->setCheckable(true);
  FMenu.AutostartItem =
      item(QStringLiteral("Beim Anmelden starten"), &TSysTrayIconForm::AutostartItemClick);
  FMenu.AutostartItem->setCheckable(true);
  // The entry may have been written or removed outside the program meanwhile.
  connect(FPopupMenu, &QMenu::aboutToShow, this,
          [this] { FMenu.AutostartItem->setChecked(AutostartEnabled()); });
  FPopupMenu->addSeparator();
  FMenu.Beenden = item(QStringLiteral("&Beenden"), &TSysTrayIconForm::BeendenClick);
  FPopupMenu->addSeparator();
  FMenu.Hilfe1 = item(QStringLiteral("&Hilfe"), &TSysTrayIconForm::Hilfe1Click);
  FMenu.Info1 = item(QStringLiteral("&Info..."), &TSysTrayIconForm::Info1Click);
}

void TSysTrayIconForm::Report(const std::exception &error) {
  FScheduler.HandleAppException(error);
}

void TSysTrayIconForm::FormCreate(const TStartupArgs &args) {
  FPausedIcon = QIcon(QApplication::windowIcon());
  FTrayPicture = QIcon(QApplication::windowIcon());
  FTrayIcon->SetIcon(FTrayPicture);
  FShownIcon = QApplication::windowIcon();
  ShowHint(AppTitle);
  FTrayIcon->SetActive(true);
  if (auto *app = dynamic_cast<TApplication *>(QCoreApplication::instance()))
    app->OnException = [this](const std::exception &error) { Report(error); };
  // The timer belongs to the host from its creation; ticks begin with the event loop.
  ApplyInterval();
  try {
    const TStartupFiles files = StartupFileNames(args.Arguments, args.CurrentFolder);
    FScheduler.SetConfigFileName(files.ConfigFileName);
    FScheduler.SetLogFileName(files.LogFileName);
    RemoveStaleSaveFiles(FScheduler.ConfigFileName());
    FScheduler.LoadConfiguration(FScheduler.ConfigFileName());
    ShowSettings();
    OpenJournal();
    FScheduler.MergeJournalLastDates();
    ApplyInterval();
    IconStep(FScheduler.Clock());
  } catch (const std::exception &error) {
    Report(error);
  }
}

void TSysTrayIconForm::FormShow() {
  HideTaskbarButton();
  ShowSettings();
  if (FScheduler.PauseForShiftAtStart(FSeams.KeyboardModifiers() & Qt::ShiftModifier))
    ShowPauseState();
  // Asked once the event loop runs, so that the ticks go on while the question waits.
  QTimer::singleShot(0, this, [this] { OfferKeptEditorSession(); });
}

void TSysTrayIconForm::HideTaskbarButton() {
  // The host has no window on screen and so no task-bar entry; keep it that way. Dialogs
  // are its children and thus transient windows without entries of their own.
  if (isVisible())
    hide();
}

bool TSysTrayIconForm::Paused() const {
  return FScheduler.Paused();
}

bool TSysTrayIconForm::DueChecksArmed() const {
  return FWaker->Valid() ? FWaker->DueCheckAt() != 0 : FTimer->isActive();
}

void TSysTrayIconForm::Woken(const TMoment &now, bool checked) {
  if (!checked)
    IconStep(now); // the picture's time (a check renews it in its tick)
  else if (!Paused())
    ShowRunningHint(now); // what ran is no longer next
}

void TSysTrayIconForm::ApplyInterval() {
  if (!FWaker)
    return; // going away
  if (FWaker->Valid()) {
    FWaker->Replan();
    return;
  }
  const auto interval = static_cast<int>(std::min<unsigned>(FScheduler.Interval(), INT32_MAX));
  if (FScheduler.TimerInterval() == 0) {
    FTimer->stop();
    FTimer->setInterval(interval);
    return;
  }
  if (!FTimer->isActive() || FTimer->interval() != interval)
    FTimer->start(interval);
}

void TSysTrayIconForm::StoppedItemClick() {
  FScheduler.SetPaused(!FScheduler.Paused());
  ShowPauseState();
}

void TSysTrayIconForm::ShowPauseState() {
  FMenu.StoppedItem->setChecked(Paused());
  ApplyInterval();
  if (Paused()) {
    ShowIcon(FPausedIcon);
    ShowHint(AppTitle + PausedSuffix);
  } else {
    ShowIcon(FMainMoon->GetIcon());
    ShowRunningHint(FScheduler.Clock());
  }
}

void TSysTrayIconForm::ShowSettings() {
  FMenu.StopperUmschaltermglichen1->setChecked(!FScheduler.NoShiftReaction());
  FMenu.Protokollfuehren1->setChecked(FScheduler.Logging());
  FMenu.DesktopNotifications1->setChecked(FScheduler.DesktopNotifications());
  FNotifier->Enabled = FScheduler.DesktopNotifications();
  FMenu.AutostartItem->setChecked(AutostartEnabled());
}

void TSysTrayIconForm::DesktopNotifications1Click() {
  FScheduler.SetDesktopNotifications(!FScheduler.DesktopNotifications());
  ShowSettings();
}

void TSysTrayIconForm::AutostartItemClick() {
  try {
    // The entry starts this very program, with the files it was started with.
    QStringList arguments;
    if (FScheduler.ConfigFileName() != ConfigFileLocation() ||
        FScheduler.LogFileName() !=
            ChangeFileExt(FScheduler.ConfigFileName(), QStringLiteral(".log")))
      arguments << FScheduler.ConfigFileName() << FScheduler.LogFileName();
    SetAutostart(!AutostartEnabled(), QCoreApplication::applicationFilePath(), arguments);
  } catch (const std::exception &error) {
    Report(error);
  }
  ShowSettings();
}

void TSysTrayIconForm::StopperUmschaltermglichen1Click() {
  FScheduler.SetNoShiftReaction(!FScheduler.NoShiftReaction());
  FMenu.StopperUmschaltermglichen1->setChecked(!FScheduler.NoShiftReaction());
}

void TSysTrayIconForm::Protokollfuehren1Click() {
  // Saved with the configuration, as every setting.
  FScheduler.SetLogging(!FScheduler.Logging());
  ShowSettings();
}

void TSysTrayIconForm::TrayIconClick() {
  if (FOpenEditor) {
    if (QWidget *form = FOpenEditor->Form.data()) {
      form->showNormal();
      form->raise();
      form->activateWindow();
    }
    return;
  }
  TEditorSession session = NewEditorSession();
  RunEditorSession(session);
}

void TSysTrayIconForm::RunEditorSession(TEditorSession &session) {
  if (!FSeams.RunEditor)
    return;
  FOpenEditor = &session;
  bool accepted = false;
  try {
    accepted = FSeams.RunEditor(session);
  } catch (const std::exception &error) {
    FOpenEditor = nullptr;
    HideTaskbarButton();
    Report(error);
    return;
  }
  FOpenEditor = nullptr;
  if (accepted)
    TakeEditorSession(session);
  HideTaskbarButton();
}

TEditorSession TSysTrayIconForm::NewEditorSession() {
  TEditorSession session;
  static_cast<TListEditSession &>(session) = FScheduler.BeginListEdit();
  session.RunByAnother = FSeams.RunByAnother;
  session.Journal = FScheduler.Journal();
  session.RunNow = [this](const TActionEntry &entry, std::int64_t journalId, int number) {
    return FScheduler.RunNow(entry, journalId, number);
  };
  session.HistoryShown = [this] { FailuresSeen(); };
  return session;
}

void TSysTrayIconForm::TakeEditorSession(const TEditorSession &session) {
  try {
    if (FScheduler.TakeEditorSession(session, FSeams.FollowConfigFile).IntervalCorrected)
      FSeams.MessageBox(QMessageBox::Warning,
                        QStringLiteral("Der Abfrage-Intervall ist unkorrekt angegeben und wird "
                                       "auf 1 Min eingestellt !"),
                        QMessageBox::Ok);
  } catch (const std::exception &error) {
    Report(error);
  }
  ApplyInterval();
  ShowHistoryList();
}

void TSysTrayIconForm::ShowHistoryList() {
  // The journal follows the configuration to another file; the entries are the new list's.
  if (FHistory) {
    FHistory->SetJournal(FScheduler.Journal());
    FHistory->SetActions(HistoryActions());
  }
}

void TSysTrayIconForm::AktionenLaden1Click() {
  try {
    const QString file = FSeams.ChooseFile(false, QStringLiteral("Aktionen laden"), QString());
    if (!file.isEmpty()) {
      FScheduler.LoadActionFile(file);
      ShowHistoryList();
      ApplyInterval();
      ShowSettings();
    }
  } catch (const std::exception &error) {
    Report(error);
  }
  HideTaskbarButton();
}

void TSysTrayIconForm::Aktionensichern1Click() {
  try {
    const QString file =
        FSeams.ChooseFile(true, QStringLiteral("Aktionen sichern"), FScheduler.ConfigFileName());
    if (!file.isEmpty())
      FScheduler.SaveActionFile(file, FSeams.RunByAnother);
  } catch (const std::exception &error) {
    Report(error);
  }
  HideTaskbarButton();
}

void TSysTrayIconForm::BeendenClick() {
  KeepOpenEditor();
  try {
    FScheduler.SaveConfiguration();
  } catch (const std::exception &error) {
    const auto *failure = dynamic_cast<const EInOutError *>(&error);
    if (FSeams.MessageBox(QMessageBox::Warning,
                          ConfigWriteErrorText(FScheduler.ConfigFileName(),
                                               failure ? failure->Reason() : QString()),
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
      return;
  }
  FExitSaved = true;
  FSeams.Quit();
}

void TSysTrayIconForm::Hilfe1Click() {
  if (FSeams.ShowHelpContents)
    FSeams.ShowHelpContents();
}

void TSysTrayIconForm::Info1Click() {
  FSeams.ShowAboutBox();
  HideTaskbarButton();
}

bool TSysTrayIconForm::SaveOnExit() {
  // Also when "&Beenden" has saved: the display may go while its question is open.
  KeepOpenEditor();
  if (FExitSaved)
    return true;
  try {
    FScheduler.SaveConfiguration();
    return true;
  } catch (const std::exception &error) {
    std::fprintf(stderr, "kronolab: %s\n", error.what());
    return false;
  }
}

void TSysTrayIconForm::EndWithoutAsking() {
  SaveOnExit();
  FExitSaved = true;
  FSeams.Quit();
}

void TSysTrayIconForm::HandOverRequest() {
  // Not from inside the socket's handler: the editor runs a modal loop.
  QTimer::singleShot(0, this, [this] { TrayIconClick(); });
}

void TSysTrayIconForm::OpenJournal() {
  FScheduler.OpenJournal();
  if (FHistory)
    FHistory->SetJournal(FScheduler.Journal());
  // Failures the user has not yet seen in "Verlauf" keep their mark across a restart.
  if (const TRunJournal *journal = FScheduler.Journal())
    FFailedCalls = static_cast<int>(std::min<std::int64_t>(journal->UnseenFailures(), INT_MAX));
  ShowFailures();
}

std::vector<THistoryAction> TSysTrayIconForm::HistoryActions() const {
  const std::vector<std::int64_t> ids = FScheduler.JournalEntryIds();
  std::vector<THistoryAction> actions;
  for (int i = 0; i < FScheduler.ActionList().Count(); ++i)
    actions.push_back({i + 1, FScheduler.ActionList()[i]->Action, ids[static_cast<std::size_t>(i)],
                       FScheduler.ActionList()[i]->Active});
  return actions;
}

void TSysTrayIconForm::Verlauf1Click() {
  FailuresSeen();
  if (FHistory) {
    FHistory->showNormal();
    FHistory->raise();
    FHistory->activateWindow();
    return;
  }
  // A window of its own, open beside the tray for as long as the user likes.
  auto *form = new THistoryForm(FScheduler.Journal());
  form->setAttribute(Qt::WA_DeleteOnClose);
  form->SetActions(HistoryActions());
  form->RunNow = [this](std::int64_t entryId) {
    return FScheduler.RunNowByJournalId(entryId).Done;
  };
  connect(form, &QObject::destroyed, this, [this] { HideTaskbarButton(); });
  FHistory = form;
  form->show();
}
