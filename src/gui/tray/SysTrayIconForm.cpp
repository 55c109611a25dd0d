#include "gui/tray/SysTrayIconForm.h"

#include "base/Errors.h"
#include "core/CmdLine.h"
#include "core/IniHelp.h"
#include "core/InstanceLock.h"
#include "gui/about/AboutBox.h"
#include "gui/about/InfoAdd.h"
#include "gui/editor/ActionFileDialog.h"
#include "gui/editor/HelpViewer.h"
#include "gui/editor/HistoryForm.h"
#include "gui/editor/MainForm.h"
#include "gui/moon/Moon.h"
#include "platform/Autostart.h"
#include "storage/BigIniFile.h"

#include <QGuiApplication>
#include <QMenu>
#include <algorithm>
#include <cstdio>

TSysTrayIconForm *SysTrayIconForm = nullptr;

namespace {
const QString AppTitle = QStringLiteral("Kronolab");
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
  SysTrayIconForm = this;
  setWindowTitle(AppTitle);
  Seams.MessageBox = [](QMessageBox::Icon icon, const QString &text,
                        QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, AppTitle, text, buttons);
    return static_cast<QMessageBox::StandardButton>(box.exec());
  };
  Seams.ChooseFile = [this](bool save, const QString &title, const QString &preset) {
    return ChooseActionFile(this, save, title, preset);
  };
  Seams.RunEditor = [](TEditorSession &session) {
    // A window of its own (no parent), so that it gets a task-bar entry.
    TMainForm form;
    form.LoadSession(session);
    session.Form = &form;
    const bool accepted = form.exec() == QDialog::Accepted;
    if (accepted) {
      // A file loaded or saved under another name becomes the configuration file with OK.
      session.ConfigFileName = form.ConfigFileName;
      session.Rows = form.Rows();
      session.IntervalMs =
          static_cast<std::uint64_t>(form.IntervalMs()); // digits only: never below 0
    }
    return accepted;
  };
  Seams.ShowHelpContents = [] { ShowHelpTopic(0); };
  Seams.ShowAboutBox = [this] {
    TAboutBox box(Scheduler.ConfigFileName, this);
    box.SetMailAddress(QString::fromLatin1(KronolabMailAddress));
    box.AddInfoPages(TInfoAdds());
    box.exec();
  };
  Seams.KeyboardModifiers = [] { return QGuiApplication::queryKeyboardModifiers(); };
  // Not quit(): that asks every window first, and one that refuses (a question box still
  // open) would keep the program running unseen.
  Seams.Quit = [] { QCoreApplication::exit(0); };
  Seams.FollowConfigFile = [](const QString &) { return QString(); };
  Seams.RunByAnother = [](const QString &) { return false; };

  Timer = new QTimer(this);
  Timer->setTimerType(Qt::CoarseTimer);
  connect(Timer, &QTimer::timeout, this, [this] { Scheduler.TimerTimer(); });
  TrayIcon = new TRxTrayIcon(this);
  TrayIcon->OnDblClick = [this] { TrayIconClick(); };
  TrayIcon->OnNoTrayArea = [this](const QString &message) {
    Scheduler.ShowMessageWindow(AppTitle, QString(), message);
  };
  TrayIcon->OnFallbackClosed = [this] { BeendenClick(); };
  MainMoon = new TMoon(this);
  MainMoon->SetMoonSize(ms64);
  MainMoon->hide();
  BuildMenu();
  TrayIcon->SetPopupMenu(PopupMenu);
  Notifier = new TDesktopNotifier(this);
  Notifier->OnActivated = [this] { MessageForms.RaiseWindow(); };
  MessageForms.Notifier = Notifier;
  MessageForms.NotificationIcon = [this] { return MainMoon->IconImage(64); };
  Scheduler.MessageSink = &MessageForms;
  MessageForms.OnWindowClosed = [this] { HideTaskbarButton(); };
  Scheduler.OnTick = [this](TDateTime now) { IconStep(now); };
  if (seams)
    seams(*this);
  FormCreate(args);
}

TSysTrayIconForm::~TSysTrayIconForm() {
  // FormDestroy: the scheduler frees its lists; the tray icon leaves the notification area.
  Timer->stop();
  // The history window reads the scheduler's journal, which goes with us.
  delete FHistory.data();
  TrayIcon->SetActive(false);
  if (auto *app = dynamic_cast<TApplication *>(QCoreApplication::instance()))
    app->OnException = nullptr;
  if (SysTrayIconForm == this)
    SysTrayIconForm = nullptr;
}

void TSysTrayIconForm::BuildMenu() {
  PopupMenu = new QMenu(this);
  auto item = [this](const QString &caption, void (TSysTrayIconForm::*handler)()) {
    QAction *action = PopupMenu->addAction(caption);
    connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    return action;
  };
  StoppedItem = PopupMenu->addAction(QStringLiteral("Programm an&gehalten"));
  StoppedItem->setCheckable(true);
  connect(StoppedItem, &QAction::triggered, this, [this] {
    // The menu has flipped the check mark already; StoppedItemClick flips it itself.
    StoppedItem->setChecked(!StoppedItem->isChecked());
    StoppedItemClick();
  });
  Einstellungen1 = item(QStringLiteral("&Aktionen..."), &TSysTrayIconForm::TrayIconClick);
  Verlauf1 = item(QStringLiteral("&Verlauf..."), &TSysTrayIconForm::Verlauf1Click);
  PopupMenu->addSeparator(); // N2
  AktionenLaden1 =
      item(QStringLiteral("Aktionen &laden..."), &TSysTrayIconForm::AktionenLaden1Click);
  Aktionensichern1 =
      item(QStringLiteral("Aktionen &sichern..."), &TSysTrayIconForm::Aktionensichern1Click);
  PopupMenu->addSeparator(); // N3
  StopperUmschaltermglichen1 = item(QStringLiteral("Stop per Umschalt bei Start ermöglichen"),
                                    &TSysTrayIconForm::StopperUmschaltermglichen1Click);
  StopperUmschaltermglichen1->setCheckable(true);
  Protokollfuehren1 =
      item(QStringLiteral("Protokoll führen"), &TSysTrayIconForm::Protokollfuehren1Click);
  Protokollfuehren1->setCheckable(true);
  DesktopNotifications1 = item(QStringLiteral("Desktop-Benachrichtigungen"),
                               &TSysTrayIconForm::DesktopNotifications1Click);
  DesktopNotifications1->setCheckable(true);
  AutostartItem =
      item(QStringLiteral("Beim Anmelden starten"), &TSysTrayIconForm::AutostartItemClick);
  AutostartItem->setCheckable(true);
  // The entry may have been written or removed outside the program meanwhile.
  connect(PopupMenu, &QMenu::aboutToShow, this,
          [this] { AutostartItem->setChecked(AutostartEnabled()); });
  PopupMenu->addSeparator(); // Sep1
  Beenden = item(QStringLiteral("&Beenden"), &TSysTrayIconForm::BeendenClick);
  PopupMenu->addSeparator(); // N1
  Hilfe1 = item(QStringLiteral("&Hilfe"), &TSysTrayIconForm::Hilfe1Click);
  Info1 = item(QStringLiteral("&Info..."), &TSysTrayIconForm::Info1Click);
}

void TSysTrayIconForm::Report(const std::exception &error) {
  Scheduler.HandleAppException(error);
}

void TSysTrayIconForm::FormCreate(const TStartupArgs &args) {
  PausedIcon = QIcon(QApplication::windowIcon());
  TrayIcon->SetIcon(QIcon(QApplication::windowIcon()));
  FShownIcon = QApplication::windowIcon();
  TrayIcon->SetHint(AppTitle);
  TrayIcon->SetActive(true);
  if (auto *app = dynamic_cast<TApplication *>(QCoreApplication::instance()))
    app->OnException = [this](const std::exception &error) { Report(error); };
  // The timer belongs to the host from its creation; ticks begin with the event loop.
  ApplyInterval();
  try {
    const TStartupFiles files = StartupFileNames(args.Arguments, args.CurrentFolder);
    Scheduler.ConfigFileName = files.ConfigFileName;
    Scheduler.LogFileName = files.LogFileName;
    RemoveStaleSaveFiles(Scheduler.ConfigFileName);
    Scheduler.LoadConfiguration(Scheduler.ConfigFileName);
    ++FListGeneration;
    ShowSettings();
    OpenJournal();
    Scheduler.MergeJournalLastDates();
    ApplyInterval();
    IconStep(Scheduler.Clock());
  } catch (const std::exception &error) {
    Report(error);
  }
}

void TSysTrayIconForm::FormShow() {
  HideTaskbarButton();
  ShowSettings();
  if (!Scheduler.NoShiftReaction && (Seams.KeyboardModifiers() & Qt::ShiftModifier)) {
    StoppedItemClick();
    // A start that silently does nothing looks broken: say why and how to go on.
    Scheduler.ShowMessageWindow(
        AppTitle, QString(),
        QStringLiteral("Kronolab ist angehalten, weil beim Start die Umschalttaste gedrückt "
                       "war. Bis Sie im Menü den Haken bei \"Programm angehalten\" entfernen, "
                       "führt Kronolab keine Aktion aus."));
  }
}

void TSysTrayIconForm::HideTaskbarButton() {
  // The host has no window on screen and so no task-bar entry; keep it that way. Dialogs
  // are its children and thus transient windows without entries of their own.
  if (isVisible())
    hide();
}

bool TSysTrayIconForm::Paused() const {
  return StoppedItem->isChecked();
}

void TSysTrayIconForm::ApplyInterval() {
  const unsigned interval = std::min<unsigned>(Scheduler.Interval, INT32_MAX);
  if (interval == 0 || Paused()) {
    Timer->stop();
    Timer->setInterval(static_cast<int>(interval));
    return;
  }
  if (!Timer->isActive() || Timer->interval() != static_cast<int>(interval))
    Timer->start(static_cast<int>(interval));
}

void TSysTrayIconForm::ShowIcon(const QIcon &icon) {
  // Each change of the application's icon touches every window; change it only when the
  // picture differs. The tray icon checks the same for itself.
  if (!TRxTrayIcon::SamePicture(icon, FShownIcon)) {
    FShownIcon = icon;
    QApplication::setWindowIcon(icon);
  }
  TrayIcon->SetIcon(icon);
}

void TSysTrayIconForm::IconStep(TDateTime now) {
  MainMoon->SetDate(now);
  ShowIcon(MainMoon->GetIcon());
  // Each tick can move the next due point (a run recorded, an interval passed); a second is
  // as fine as the tooltip shows it, so shorter intervals need not work it out again.
  if (!Paused() && (FHintGeneration != FListGeneration || FHintTime == 0 ||
                    now - FHintTime >= 1000.0 / MSecsPerDay || now < FHintTime))
    ShowRunningHint(now);
}

QString TSysTrayIconForm::RunningHint(TDateTime now) const {
  const TActionEntry *next = nullptr;
  TDateTime nextPoint = 0;
  for (int i = 0; i < Scheduler.ActionList.Count(); ++i) {
    const TActionEntry *entry = Scheduler.ActionList[i];
    const TDateTime point = TScheduler::NextDuePoint(*entry, now);
    if (point != 0 && (next == nullptr || point < nextPoint)) {
      next = entry;
      nextPoint = point;
    }
  }
  if (next == nullptr)
    return AppTitle;
  // A tooltip is one glance: a long action is shortened at its end.
  constexpr int MaxShown = 60;
  QString action = next->Action.Text();
  if (action.size() > MaxShown)
    action = action.left(MaxShown - 1) + QStringLiteral("…");
  return AppTitle + QStringLiteral("\nNächste Aktion: ") + DateTimeText(std::max(nextPoint, now)) +
         QStringLiteral("\n") + action;
}

void TSysTrayIconForm::ShowRunningHint(TDateTime now) {
  FHintTime = now;
  FHintGeneration = FListGeneration;
  TrayIcon->SetHint(RunningHint(now));
}

void TSysTrayIconForm::StoppedItemClick() {
  StoppedItem->setChecked(!StoppedItem->isChecked());
  ApplyInterval();
  if (Paused()) {
    ShowIcon(PausedIcon);
    TrayIcon->SetHint(AppTitle + PausedSuffix);
  } else {
    ShowIcon(MainMoon->GetIcon());
    ShowRunningHint(Scheduler.Clock());
  }
}

void TSysTrayIconForm::ShowSettings() {
  StopperUmschaltermglichen1->setChecked(!Scheduler.NoShiftReaction);
  Protokollfuehren1->setChecked(Scheduler.Logging);
  DesktopNotifications1->setChecked(Scheduler.DesktopNotifications);
  Notifier->Enabled = Scheduler.DesktopNotifications;
  AutostartItem->setChecked(AutostartEnabled());
}

void TSysTrayIconForm::DesktopNotifications1Click() {
  Scheduler.DesktopNotifications = !Scheduler.DesktopNotifications;
  ShowSettings();
}

void TSysTrayIconForm::AutostartItemClick() {
  try {
    // The entry starts this very program, with the files it was started with.
    QStringList arguments;
    if (Scheduler.ConfigFileName != ConfigFileLocation() ||
        Scheduler.LogFileName != ChangeFileExt(Scheduler.ConfigFileName, QStringLiteral(".log")))
      arguments << Scheduler.ConfigFileName << Scheduler.LogFileName;
    SetAutostart(!AutostartEnabled(), QCoreApplication::applicationFilePath(), arguments);
  } catch (const std::exception &error) {
    Report(error);
  }
  ShowSettings();
}

void TSysTrayIconForm::StopperUmschaltermglichen1Click() {
  Scheduler.NoShiftReaction = !Scheduler.NoShiftReaction;
  StopperUmschaltermglichen1->setChecked(!Scheduler.NoShiftReaction);
}

void TSysTrayIconForm::Protokollfuehren1Click() {
  // Saved with the configuration, as every setting.
  Scheduler.Logging = !Scheduler.Logging;
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
  if (!Seams.RunEditor)
    return;
  TEditorSession session;
  session.Copies = Scheduler.Actions();
  session.IntervalMs = Scheduler.Interval;
  session.ConfigFileName = Scheduler.ConfigFileName;
  session.RunByAnother = Seams.RunByAnother;
  session.Journal = Scheduler.Journal();
  session.JournalIds = Scheduler.JournalEntryIds();
  session.RunNow = [this](const TActionEntry &entry, std::int64_t journalId, int number) {
    return Scheduler.RunNow(entry, journalId, number);
  };
  // Where each copy came from, to take over the runs that ticks record meanwhile.
  std::vector<const TActionEntry *> origins;
  for (int i = 0; i < Scheduler.ActionList.Count(); ++i)
    origins.push_back(Scheduler.ActionList[i]);
  const std::uint64_t generation = FListGeneration;

  FOpenEditor = &session;
  bool accepted = false;
  try {
    accepted = Seams.RunEditor(session);
  } catch (const std::exception &error) {
    FOpenEditor = nullptr;
    HideTaskbarButton();
    Report(error);
    return;
  }
  FOpenEditor = nullptr;
  try {
    if (accepted) {
      const QString journalBefore =
          Scheduler.Journal() ? Scheduler.Journal()->FileName() : QString();
      // Another scheduler on the file the editor chose would run its calls twice: then the
      // configuration stays where it was.
      const QString refused = session.ConfigFileName == Scheduler.ConfigFileName
                                  ? QString()
                                  : Seams.FollowConfigFile(session.ConfigFileName);
      if (refused.isEmpty())
        Scheduler.ConfigFileName = session.ConfigFileName;
      else
        Scheduler.ShowMessageWindow(QStringLiteral("Fehler"), QString(), refused);
      // The journal lies beside the configuration and follows it to another file.
      OpenJournal();
      const bool sameJournal =
          Scheduler.Journal() && Scheduler.Journal()->FileName() == journalBefore;
      Scheduler.Interval =
          static_cast<unsigned>(std::min<std::uint64_t>(session.IntervalMs, UINT32_MAX));
      if (Scheduler.Interval == 0) {
        Seams.MessageBox(
            QMessageBox::Warning,
            QStringLiteral("Der Abfrage-Intervall ist unkorrekt angegeben und wird auf 1 "
                           "Min eingestellt !"),
            QMessageBox::Ok);
        Scheduler.Interval = 60000;
      }
      ApplyInterval();
      std::vector<TActionEntry> entries;
      entries.reserve(session.Rows.size());
      // The journal's ids are those of the journal the editor was opened with.
      std::vector<std::int64_t> editedFrom;
      for (const TEditorRow &row : session.Rows) {
        editedFrom.push_back(sameJournal ? row.JournalId : 0);
        TActionEntry entry = row.Entry;
        // A run recorded by a tick while the editor was open is kept, unless the user set
        // the last run himself.
        if (!row.LastDateChanged && generation == FListGeneration && row.Origin >= 0 &&
            static_cast<std::size_t>(row.Origin) < origins.size())
          entry.LastDate =
              std::max(entry.LastDate, origins[static_cast<std::size_t>(row.Origin)]->LastDate);
        entries.push_back(entry);
      }
      Scheduler.SetActions(entries);
      ++FListGeneration;
      Scheduler.SaveConfiguration(Scheduler.ConfigFileName);
      // Saved: from now on the journal starts each entry from what the editor gave it, so
      // that a last run the user reset is not overruled by the journal at the next start.
      Scheduler.JournalBaseline(editedFrom);
      if (FHistory)
        FHistory->SetActions(HistoryActions());
    }
  } catch (const std::exception &error) {
    Report(error);
  }
  HideTaskbarButton();
}

void TSysTrayIconForm::AktionenLaden1Click() {
  try {
    const QString file = Seams.ChooseFile(false, QStringLiteral("Aktionen laden"), QString());
    if (!file.isEmpty()) {
      ++FListGeneration;
      Scheduler.LoadConfiguration(file);
      // Entries of the file that have run here already are not made again.
      Scheduler.MergeJournalLastDates();
      if (FHistory)
        FHistory->SetActions(HistoryActions());
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
        Seams.ChooseFile(true, QStringLiteral("Aktionen sichern"), Scheduler.ConfigFileName);
    // That scheduler would write its own list over ours when it ends.
    if (!file.isEmpty() && Seams.RunByAnother(file))
      Scheduler.ShowMessageWindow(QStringLiteral("Fehler"), QString(),
                                  NotSavedForAnotherSchedulerText(file));
    else if (!file.isEmpty())
      Scheduler.SaveConfiguration(file);
  } catch (const std::exception &error) {
    Report(error);
  }
  HideTaskbarButton();
}

void TSysTrayIconForm::SaveConfiguration() {
  // Without a configuration file (its location could not be made) there is nothing to write.
  if (!Scheduler.ConfigFileName.isEmpty())
    Scheduler.SaveConfiguration(Scheduler.ConfigFileName);
}

void TSysTrayIconForm::BeendenClick() {
  try {
    SaveConfiguration();
  } catch (const std::exception &error) {
    const auto *failure = dynamic_cast<const EInOutError *>(&error);
    if (Seams.MessageBox(
            QMessageBox::Warning,
            ConfigWriteErrorText(Scheduler.ConfigFileName, failure ? failure->Reason() : QString()),
            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
      return;
  }
  FExitSaved = true;
  Seams.Quit();
}

void TSysTrayIconForm::Hilfe1Click() {
  if (Seams.ShowHelpContents)
    Seams.ShowHelpContents();
}

void TSysTrayIconForm::Info1Click() {
  Seams.ShowAboutBox();
  HideTaskbarButton();
}

bool TSysTrayIconForm::SaveOnExit() {
  if (FExitSaved)
    return true;
  try {
    SaveConfiguration();
    return true;
  } catch (const std::exception &error) {
    std::fprintf(stderr, "kronolab: %s\n", error.what());
    return false;
  }
}

void TSysTrayIconForm::EndWithoutAsking() {
  SaveOnExit();
  FExitSaved = true;
  Seams.Quit();
}

void TSysTrayIconForm::HandOverRequest() {
  // Not from inside the socket's handler: the editor runs a modal loop.
  QTimer::singleShot(0, this, [this] { TrayIconClick(); });
}

void TSysTrayIconForm::OpenJournal() {
  Scheduler.OpenJournal();
  if (FHistory)
    FHistory->SetJournal(Scheduler.Journal());
}

std::vector<THistoryAction> TSysTrayIconForm::HistoryActions() const {
  const std::vector<std::int64_t> ids = Scheduler.JournalEntryIds();
  std::vector<THistoryAction> actions;
  for (int i = 0; i < Scheduler.ActionList.Count(); ++i)
    actions.push_back({i + 1, Scheduler.ActionList[i]->Action, ids[static_cast<std::size_t>(i)]});
  return actions;
}

void TSysTrayIconForm::Verlauf1Click() {
  if (FHistory) {
    FHistory->showNormal();
    FHistory->raise();
    FHistory->activateWindow();
    return;
  }
  // A window of its own, open beside the tray for as long as the user likes.
  auto *form = new THistoryForm(Scheduler.Journal());
  form->setAttribute(Qt::WA_DeleteOnClose);
  form->SetActions(HistoryActions());
  form->RunNow = [this](std::int64_t entryId) {
    const std::vector<std::int64_t> ids = Scheduler.JournalEntryIds();
    const auto at = std::find(ids.begin(), ids.end(), entryId);
    return entryId != 0 && at != ids.end() &&
           Scheduler.RunNow(static_cast<int>(at - ids.begin())).Done;
  };
  connect(form, &QObject::destroyed, this, [this] { HideTaskbarButton(); });
  FHistory = form;
  form->show();
}
