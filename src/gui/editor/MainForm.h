// TMainForm: the modal editor window of the action list and the tick interval. It works on
// its own copies of the entries, one per grid row (attached to the row's column-1 cell), and
// the tray host takes them back after OK. Row 0 is the header; a row without an entry is
// the empty placeholder row, and there is always at least one row below the header.
#pragma once

#include "base/ActionEntry.h"
#include "gui/editor/EditorSession.h"

#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class QToolButton;
class QWidget;
class TEditActionDlg;
class THistoryForm;
class TMaskTimeEdit;
class TMoon;
class TStringAlignGrid;

// The editor window "Kronolab -- <configuration file>".
class TMainForm : public QDialog {
  Q_OBJECT
public:
  explicit TMainForm(QWidget *parent = nullptr);
  ~TMainForm() override;

  // The help topic of this window.
  static constexpr int HelpContext = 1000;
  // The grid's columns; the first three are the classic ones, the others are ours.
  enum { ColTimePoint = 0, ColTime = 1, ColAction = 2, ColNextRun = 3, ColActive = 4 };

  // The grid of the entries, row 0 its header.
  TStringAlignGrid *ActionsGrid() const { return FActionsGrid; }
  // The interval field.
  TMaskTimeEdit *TimerEdit() const { return FTimerEdit; }
  // The buttons and the row menu's "Jetzt ausführen" that tests and the tray press.
  QToolButton *DeleteBtn() const { return FDeleteBtn; }
  QToolButton *OpenBtn() const { return FOpenBtn; }
  QToolButton *RunNowBtn() const { return FRunNowBtn; }
  QPushButton *OKBtn() const { return FOKBtn; }
  QPushButton *CancelBtn() const { return FCancelBtn; }
  QAction *RunNowItem() const { return FRunNowItem; }
  // The row menu's "Aktiv" switch.
  QAction *ActiveItem() const { return FActiveItem; }

  // The user changed something since the window was shown.
  bool Modified() const { return FModified; }
  void SetModified(bool modified) { FModified = modified; }
  // The configuration file's full path; the load and save-as buttons replace it.
  const QString &ConfigFileName() const { return FConfigFileName; }

  // The dialogs and the outside world, replaced by tests; LoadSession sets the session's.
  struct TSeams {
    // A modal question; returns the button pressed.
    std::function<QMessageBox::StandardButton(QMessageBox::Icon icon, const QString &text,
                                              QMessageBox::StandardButtons buttons)>
        MessageBox;
    // Shows the edit dialog modally; returns its result (QDialog::Accepted for OK).
    std::function<int(TEditActionDlg &dialog)> ExecEditDialog;
    // A file dialog; the chosen file or an empty text.
    std::function<QString(bool save, const QString &title, const QString &preset)> ChooseFile;
    std::function<void(int topic)> ShowHelp;
    // Shows the big moon window modally.
    std::function<void()> ShowBigMoon;
    // The wall clock.
    std::function<TDateTime()> Now;
    // An error caught in a handler; by default the application's handler.
    std::function<void(const std::exception &error)> OnError;
    // Tells the user why OK cannot take the values; by default a warning box over the window.
    std::function<void(const QString &text)> ShowInputError;
    // Shows the history window modally.
    std::function<void(THistoryForm &form)> ExecHistory;
    // From the session: the run journal (rows whose last call failed are marked) and the
    // scheduler's "Jetzt ausführen".
    const TRunJournal *Journal = nullptr;
    std::function<TManualRun(const TActionEntry &entry, std::int64_t journalId, int number)> RunNow;
    // From the session: whether another scheduler runs a file (nothing is saved there).
    std::function<bool(const QString &file)> RunByAnother;
    // From the session: told when the history window opens.
    std::function<void()> HistoryShown;
  };
  TSeams &Seams() { return FSeams; }

  // Opening: one row per copy, in order (at least the placeholder row), and the interval.
  void LoadSession(const TEditorSession &session);
  // Taking back: the entries of the rows that hold one, in row order, with their origins.
  std::vector<TEditorRow> Rows() const;
  // The interval field in milliseconds.
  std::int64_t IntervalMs() const;

  void UpdateCaption();
  // Whether OK can take the window's values (the interval converts); otherwise says why
  // through ShowInputError, puts the focus on the interval field and returns false.
  bool CheckInput();
  // Delete all without the question.
  void ClearActions();

  // Adds the entries of an action-list file below the existing ones (the placeholder row
  // first) and takes over its interval. EInOutError passes to the caller.
  void AppendActionFile(const QString &fileName);
  // Writes the interval and the rows' entries; false, after telling the user, when another
  // scheduler runs the file. EInOutError and EConvertError pass to the caller.
  bool SaveActionFile(const QString &fileName);

  // Event handlers.
  void FormShow();
  void FormResize();
  void TimerTimer();
  void NewBtnClick();
  void EditBtnClick();
  void DeleteBtnClick();
  void DeleteAllBtnClick();
  void ActionsGridDblClick();
  void ActionsGridKeyUp(int key);
  void TimerEditChange();
  void MoonDblClick();
  void HelpBtnClick();
  void OpenBtnClick();
  void SaveBtnClick();
  void SaveAsBtnClick();
  void RunNowBtnClick();
  void HistoryBtnClick();

protected:
  void showEvent(QShowEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void done(int result) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  // What a row carries besides its texts.
  struct TRowEntry {
    TEditorRow Row;
    // The last-run text the dialog was given, to see whether the user changed it.
    QString ShownLastRun;
  };
  // Marks a row whose last call failed, with the failure as its tooltip.
  void ShowMark(int row);
  void ShowMarks();
  // The row's "Aktiv" check from its entry; an entry that is off is shown greyed.
  void ShowActiveState(int row);
  // The "Aktiv" column and the row menu: switches the row's entry on or off.
  void SetRowActive(int row, bool active);
  // Carries out the row's entry now; true when it was done.
  bool RunRow(int row);
  using TRowEntryPtr = std::shared_ptr<TRowEntry>;

  void BuildControls();
  // Widens the first, second and fourth columns to the longest texts they can show in the
  // window's font, and the window with them.
  void FitColumns();
  TRowEntryPtr RowEntry(int row) const;
  void SetRowEntry(int row, const TRowEntryPtr &entry);
  // Writes the texts of the row from its entry, its next run included.
  void ShowRow(int row);
  void ShowNextRun(int row, TDateTime now);
  void ShowClock();
  bool Ask(const QString &text, QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
           QMessageBox::StandardButton yes);
  // Runs a handler; an error goes to OnError and the window stays open.
  void Guarded(const std::function<void()> &handler);
  std::vector<TActionEntry> Entries() const;

  // The steps of BuildControls, in their order.
  void CreateButtons();
  void PlaceButtons();
  void ChainTabOrder();
  void ConnectHandlers();
  void ConnectRowMenu();
  // Insert and Delete for the whole window, from the moment it opens.
  void ConnectRowKeys();
  // A slot that runs handler through Guarded.
  std::function<void()> Guard(void (TMainForm::*handler)());

  TStringAlignGrid *FActionsGrid = nullptr;
  QWidget *FButtonPanel = nullptr;
  QLabel *FTimeLabel = nullptr;
  QLabel *FDateLabel = nullptr;
  TMoon *FMoon = nullptr;
  // The caption of the interval field.
  QLabel *FIntervalLabel = nullptr;
  TMaskTimeEdit *FTimerEdit = nullptr;
  QToolButton *FNewBtn = nullptr;
  QToolButton *FEditBtn = nullptr;
  QToolButton *FDeleteBtn = nullptr;
  QPushButton *FDeleteAllBtn = nullptr;
  QToolButton *FOpenBtn = nullptr;
  QToolButton *FSaveBtn = nullptr;
  QToolButton *FSaveAsBtn = nullptr;
  QPushButton *FOKBtn = nullptr;
  QPushButton *FCancelBtn = nullptr;
  QPushButton *FHelpBtn = nullptr;
  // "Jetzt ausführen" and the history of the selected row; the row's context menu offers
  // both besides editing.
  QToolButton *FRunNowBtn = nullptr;
  QToolButton *FHistoryBtn = nullptr;
  QMenu *FRowMenu = nullptr;
  QAction *FRunNowItem = nullptr;
  QAction *FEditItem = nullptr;
  QAction *FHistoryItem = nullptr;
  QAction *FActiveItem = nullptr;
  QTimer *FTimer = nullptr;

  bool FModified = false;
  // The rows came from a session kept when the program last ended.
  bool FRestored = false;
  QString FConfigFileName;
  // The first part of the caption.
  const QString FApplicationTitle = QStringLiteral("Kronolab");
  TSeams FSeams;

  bool FCorrecting = false;
  QString FClockSecond;
  // When the next runs were last worked out, and the earliest of them: they are shown anew
  // once it has come or the clock has gone back behind the first.
  TDateTime FNextRunsShown = 0;
  TDateTime FNextRunsChange = 0;
};
