// The editor window driven through its handlers, with the dialogs and questions answered by
// the test: new, edit, delete, the interval field, closing, and the action-list files.
#include "gui/editor/MainForm.h"

#include "TestFiles.h"
#include "TestHelpers.h"
#include "XSession.h"
#include "base/Errors.h"
#include "core/journal/RunJournal.h"
#include "gui/editor/EditActionDlg.h"
#include "gui/widgets/Calendar.h"
#include "gui/widgets/StringAlignGrid.h"
#include "gui/widgets/TimeEdit.h"
#include "storage/XIniFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QToolTip>
#include <gtest/gtest.h>
#include <tuple>

namespace {

class MainForm : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Temp.isValid());
    Form.Seams().Now = [] { return At(2026, 12, 8, 9, 5, 3); };
    Form.Seams().MessageBox = [this](QMessageBox::Icon icon, const QString &text,
                                     QMessageBox::StandardButtons) {
      Questions.append(text);
      LastIcon = icon;
      return Answer;
    };
    Form.Seams().ExecEditDialog = [this](TEditActionDlg &dialog) {
      ++Dialogs;
      if (FillDialog)
        FillDialog(dialog);
      return DialogResult;
    };
    Form.Seams().OnError = [this](const std::exception &error) { Errors.append(error.what()); };
    Form.Seams().ShowInputError = [this](const QString &text) { InputErrors.append(text); };
  }

  // Shows the window and waits until it has the keyboard.
  void ShowActive() {
    Form.show();
    QApplication::setActiveWindow(&Form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
  }

  void Open(const std::vector<TActionEntry> &entries, std::uint64_t intervalMs = 1000,
            const TRunJournal *journal = nullptr, std::vector<std::int64_t> journalIds = {}) {
    TEditorSession session;
    session.Copies = entries;
    session.Journal = journal;
    session.JournalIds = std::move(journalIds);
    session.IntervalMs = intervalMs;
    session.ConfigFileName = QStringLiteral("/home/anna/.config/kronolab/kronolab.ini");
    Form.LoadSession(session);
    Form.FormShow();
  }

  int Rows() const { return Form.ActionsGrid()->RowCount(); }
  QString Cell(int col, int row) const { return Form.ActionsGrid()->Cells(col, row); }

  QTemporaryDir Temp;
  TMainForm Form;
  QStringList Questions;
  QStringList Errors;
  QStringList InputErrors;
  QMessageBox::Icon LastIcon = QMessageBox::NoIcon;
  QMessageBox::StandardButton Answer = QMessageBox::Ok;
  std::function<void(TEditActionDlg &)> FillDialog;
  int DialogResult = QDialog::Accepted;
  int Dialogs = 0;
};

TActionEntry Daily(const QString &action, TDateTime first) {
  TActionEntry entry = NewActionEntry(tpDaily, first, action);
  entry.LastDate = first + 0.25 + 123.0 / MSecsPerDay; // a run with milliseconds
  return entry;
}

} // namespace

TEST_F(MainForm, AnEmptyListShowsThePlaceholderAndNewFillsIt) {
  Open({});
  EXPECT_EQ(Rows(), 2);
  EXPECT_TRUE(Form.Rows().empty());
  EXPECT_EQ(Form.windowTitle(),
            QStringLiteral("Kronolab -- /home/anna/.config/kronolab/kronolab.ini"));
  EXPECT_FALSE(Form.Modified());

  // A double click on the placeholder row starts a new action.
  FillDialog = [](TEditActionDlg &dialog) {
    EXPECT_EQ(dialog.TimeEdit->Text(), QStringLiteral("09:05:03"));
    EXPECT_EQ(dialog.Calendar->CalendarDate(), At(2026, 12, 8));
    EXPECT_EQ(dialog.TimePointIndex(), 0);
    EXPECT_TRUE(dialog.LastTimeLabel->isHidden());
    EXPECT_TRUE(dialog.EraseLastTimeBtn->isHidden());
    dialog.FreqEdit->SetText(QStringLiteral("00:10:00"));
    dialog.AllCallsBox->setChecked(true);
    dialog.ActionEdit->setText(QStringLiteral("xterm"));
  };
  Form.ActionsGridDblClick();
  ASSERT_EQ(Rows(), 2);
  const std::vector<TEditorRow> rows = Form.Rows();
  ASSERT_EQ(rows.size(), 1u);
  const TActionEntry &e = rows[0].Entry;
  EXPECT_NEAR(e.FirstDate, At(2026, 12, 8, 9, 5, 3), MsTolerance);
  EXPECT_NEAR(e.LastDate, e.FirstDate - 0.1, MsTolerance);
  EXPECT_NEAR(e.Freq, 10.0 / 1440, MsTolerance);
  EXPECT_TRUE(e.AllCalls);
  EXPECT_EQ(rows[0].Origin, -1);
  EXPECT_EQ(Cell(TMainForm::ColTime, 1), QStringLiteral("09:05:03"));
  EXPECT_EQ(Cell(TMainForm::ColAction, 1), QStringLiteral("xterm"));
  EXPECT_EQ(Cell(TMainForm::ColTimePoint, 1), TimePointText(tpFrequency, e.FirstDate));
  EXPECT_FALSE(Cell(TMainForm::ColNextRun, 1).isEmpty());
  EXPECT_TRUE(Form.Modified());
}

TEST_F(MainForm, NewAddsARowCutsTheTextAndKeepsFreqOnlyForTheFrequencyKind) {
  Open({Daily(QStringLiteral("a"), At(2026, 1, 1, 8))});
  FillDialog = [](TEditActionDlg &dialog) {
    dialog.SetTimePointIndex(tpDaily);
    dialog.FreqEdit->SetText(QStringLiteral("00:05:00"));
    dialog.ActionEdit->setText(QString(300, u'x'));
  };
  Form.NewBtnClick();
  ASSERT_EQ(Rows(), 3);
  const std::vector<TEditorRow> rows = Form.Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].Entry.TimePoint, tpDaily);
  EXPECT_EQ(rows[1].Entry.Freq, 0);
  EXPECT_EQ(rows[1].Entry.Action.Text().size(), 255);
  EXPECT_EQ(Cell(TMainForm::ColAction, 2), QString(255, u'x'));

  // Cancel in the dialog changes nothing.
  Form.SetModified(false);
  DialogResult = QDialog::Rejected;
  Form.NewBtnClick();
  EXPECT_EQ(Rows(), 3);
  EXPECT_FALSE(Form.Modified());
}

TEST_F(MainForm, EditWritesBackButKeepsTheRecordedRunUnlessTheLabelChanged) {
  const TActionEntry original = Daily(QStringLiteral("alt"), At(2026, 1, 1, 8));
  Open({original});
  Form.ActionsGrid()->SetRow(1);
  FillDialog = [](TEditActionDlg &dialog) {
    EXPECT_EQ(dialog.TimeEdit->Text(), QStringLiteral("08:00:00"));
    EXPECT_FALSE(dialog.LastTimeLabel->isHidden());
    EXPECT_EQ(dialog.TimePointIndex(), tpDaily);
    dialog.TimeEdit->SetText(QStringLiteral("10:30:00"));
    dialog.FreqEdit->SetText(QStringLiteral("00:01:00"));
    dialog.ActionEdit->setText(QStringLiteral("neu"));
  };
  Form.EditBtnClick();
  std::vector<TEditorRow> rows = Form.Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_NEAR(rows[0].Entry.FirstDate, At(2026, 1, 1, 10, 30), MsTolerance);
  // The label showed whole seconds; the milliseconds of the recorded run survive.
  EXPECT_EQ(rows[0].Entry.LastDate, original.LastDate);
  EXPECT_FALSE(rows[0].LastDateChanged);
  EXPECT_NEAR(rows[0].Entry.Freq, 1.0 / 1440, MsTolerance); // written for every kind
  EXPECT_EQ(rows[0].Origin, 0);
  EXPECT_EQ(Cell(TMainForm::ColAction, 1), QStringLiteral("neu"));
  EXPECT_EQ(Cell(TMainForm::ColTime, 1), QStringLiteral("10:30:00"));

  // The reset button puts the run on the start time as now set in the dialog.
  FillDialog = [](TEditActionDlg &dialog) {
    dialog.Calendar->SetCalendarDate(At(2026, 2, 3));
    dialog.EraseLastTimeBtnClick();
  };
  Form.ActionsGridDblClick();
  rows = Form.Rows();
  EXPECT_NEAR(rows[0].Entry.FirstDate, At(2026, 2, 3, 10, 30), MsTolerance);
  EXPECT_NEAR(rows[0].Entry.LastDate, At(2026, 2, 3, 10, 30), MsTolerance);
  EXPECT_TRUE(rows[0].LastDateChanged);
}

TEST_F(MainForm, DeleteAsksMovesRowsUpAndLeavesThePlaceholderForTheLast) {
  Open({Daily(QStringLiteral("a"), At(2026, 1, 1, 8)),
        Daily(QStringLiteral("b"), At(2026, 1, 1, 9)),
        Daily(QStringLiteral("c"), At(2026, 1, 1, 10))});
  Form.ActionsGrid()->SetRow(2);
  Answer = QMessageBox::Cancel;
  Form.DeleteBtnClick();
  EXPECT_EQ(Rows(), 4);
  ASSERT_EQ(Questions.size(), 1);
  EXPECT_EQ(Questions[0], QStringLiteral("Wollen Sie die ausgewählte Aktion wirklich löschen ?"));
  EXPECT_EQ(LastIcon, QMessageBox::Warning);
  EXPECT_FALSE(Form.Modified());

  Answer = QMessageBox::Ok;
  Form.DeleteBtnClick();
  ASSERT_EQ(Rows(), 3);
  EXPECT_EQ(Cell(TMainForm::ColAction, 1), QStringLiteral("a"));
  EXPECT_EQ(Cell(TMainForm::ColAction, 2), QStringLiteral("c"));
  EXPECT_EQ(Form.Rows()[1].Entry.Action.Text(), QStringLiteral("c"));
  EXPECT_TRUE(Form.Modified());

  // The Delete key does the same; the only action left becomes the placeholder row.
  Form.ActionsGrid()->SetRow(1);
  Form.ActionsGridKeyUp(Qt::Key_Delete);
  Form.ActionsGrid()->SetRow(1);
  Form.ActionsGridKeyUp(Qt::Key_Delete);
  EXPECT_EQ(Rows(), 2);
  EXPECT_TRUE(Form.Rows().empty());
  EXPECT_TRUE(Cell(TMainForm::ColAction, 1).isEmpty());

  // Nothing to delete: no question.
  Questions.clear();
  Form.DeleteBtnClick();
  Form.DeleteAllBtnClick();
  EXPECT_TRUE(Questions.isEmpty());

  // Insert starts a new action into the placeholder row.
  FillDialog = [](TEditActionDlg &dialog) { dialog.ActionEdit->setText(QStringLiteral("n")); };
  Form.ActionsGridKeyUp(Qt::Key_Insert);
  EXPECT_EQ(Rows(), 2);
  EXPECT_EQ(Form.Rows().size(), 1u);
}

TEST_F(MainForm, DeleteAllAsksAndLeavesOnlyThePlaceholder) {
  Open({Daily(QStringLiteral("a"), At(2026, 1, 1, 8)),
        Daily(QStringLiteral("b"), At(2026, 1, 1, 9))});
  Answer = QMessageBox::Cancel;
  Form.DeleteAllBtnClick();
  EXPECT_EQ(Form.Rows().size(), 2u);
  Answer = QMessageBox::Ok;
  Form.DeleteAllBtnClick();
  EXPECT_EQ(Questions.last(), QStringLiteral("Wollen Sie wirklich alle Aktionen löschen ?"));
  EXPECT_EQ(Rows(), 2);
  EXPECT_TRUE(Form.Rows().empty());
  EXPECT_TRUE(Form.Modified());
}

TEST_F(MainForm, TheIntervalFieldLimitsMinutesAndSecondsButNotHoursAsTyped) {
  Open({});
  TMaskTimeEdit *edit = Form.TimerEdit();
  edit->SetText(QStringLiteral("00:00:00"));
  Form.SetModified(false);
  edit->setCursorPosition(0);
  QTest::keyClicks(edit, QStringLiteral("729999"));
  EXPECT_EQ(edit->Text(), QStringLiteral("72:59:59"));
  EXPECT_EQ(Form.IntervalMs(), (72 * 3600 + 59 * 60 + 59) * 1000LL);
  EXPECT_TRUE(Form.Modified());

  edit->setCursorPosition(3);
  QTest::keyClicks(edit, QStringLiteral("6"));
  EXPECT_EQ(edit->Text(), QStringLiteral("72:59:59"));
  // A whole text is corrected in passes, seconds first.
  edit->SetText(QStringLiteral("99:75:80"));
  EXPECT_EQ(edit->Text(), QStringLiteral("99:59:59"));
  // The Delete key does nothing here.
  edit->setCursorPosition(0);
  QTest::keyClick(edit, Qt::Key_Delete);
  EXPECT_EQ(edit->Text(), QStringLiteral("99:59:59"));
}

TEST_F(MainForm, CancelAsksOnlyAfterAChange) {
  Open({});
  Form.reject();
  EXPECT_TRUE(Questions.isEmpty());
  EXPECT_EQ(Form.result(), QDialog::Rejected);

  Open({});
  Form.setResult(-1);
  Form.TimerEdit()->SetText(QStringLiteral("00:00:05"));
  Answer = QMessageBox::No;
  Form.reject();
  ASSERT_EQ(Questions.size(), 1);
  EXPECT_EQ(Questions[0], QStringLiteral("Wollen Sie wirklich alle Änderungen verwerfen ?"));
  EXPECT_EQ(LastIcon, QMessageBox::Question);
  EXPECT_EQ(Form.result(), -1); // still open
  Answer = QMessageBox::Yes;
  Form.reject();
  EXPECT_EQ(Form.result(), QDialog::Rejected);
  // OK never asks.
  Questions.clear();
  Form.accept();
  EXPECT_TRUE(Questions.isEmpty());
}

TEST_F(MainForm, AppendFillsThePlaceholderFirstAndCountZeroChangesOnlyTheInterval) {
  const QString file = Temp.filePath(QStringLiteral("liste.ini"));
  WriteBytes(file, "[General]\r\nInterval=30000\r\nCount=2\r\n\r\n"
                   "[Action1]\r\nTimePoint=2\r\nFirstDate=46000.5\r\nAction=eins\r\n\r\n"
                   "[Action2]\r\nFirstDate=46001.25\r\n\r\n");
  Open({Daily(QStringLiteral("a"), At(2026, 1, 1, 8))});
  Form.ActionsGrid()->SetRow(1);
  Answer = QMessageBox::Ok;
  Form.DeleteBtnClick();
  ASSERT_EQ(Rows(), 2);

  Form.AppendActionFile(file);
  EXPECT_EQ(Form.TimerEdit()->Text(), QStringLiteral("00:00:30"));
  ASSERT_EQ(Rows(), 3);
  EXPECT_EQ(Cell(TMainForm::ColAction, 1), QStringLiteral("eins"));
  // An entry without action is shown all the same.
  EXPECT_EQ(Cell(TMainForm::ColTime, 2), QStringLiteral("06:00:00"));
  EXPECT_TRUE(Cell(TMainForm::ColAction, 2).isEmpty());
  EXPECT_EQ(Form.Rows()[1].Origin, -1);

  Form.AppendActionFile(file);
  EXPECT_EQ(Rows(), 5);
  EXPECT_EQ(Cell(TMainForm::ColAction, 3), QStringLiteral("eins"));

  const QString empty = Temp.filePath(QStringLiteral("leer.ini"));
  WriteBytes(empty, "[General]\r\nInterval=2000\r\nCount=0\r\n\r\n");
  Form.AppendActionFile(empty);
  EXPECT_EQ(Rows(), 5);
  EXPECT_EQ(Form.TimerEdit()->Text(), QStringLiteral("00:00:02"));
  // A missing file reads as empty: one second, nothing added.
  Form.AppendActionFile(Temp.filePath(QStringLiteral("fehlt.ini")));
  EXPECT_EQ(Rows(), 5);
  EXPECT_EQ(Form.TimerEdit()->Text(), QStringLiteral("00:00:01"));
}

TEST_F(MainForm, AppendTakesOnlyTheSectionsAFileHoldsWhateverItsCount) {
  const QString file = Temp.filePath(QStringLiteral("liste.ini"));
  WriteBytes(file, "[General]\r\nCount=2147483647\r\n\r\n[Action3]\r\nAction=drei\r\n\r\n"
                   "[action1]\r\nAction=eins\r\n");
  Open({});
  Form.AppendActionFile(file);
  ASSERT_EQ(Rows(), 3);
  EXPECT_EQ(Cell(TMainForm::ColAction, 1), QStringLiteral("eins"));
  EXPECT_EQ(Cell(TMainForm::ColAction, 2), QStringLiteral("drei"));
}

TEST_F(MainForm, AppendDoesNotOverwriteAnEntryOfAnUnknownKind) {
  TActionEntry odd = Daily(QStringLiteral("unbekannt"), At(2026, 1, 1, 8));
  odd.TimePoint = static_cast<TTimePoint>(9);
  Open({odd});
  ASSERT_TRUE(Cell(TMainForm::ColTimePoint, 1).isEmpty());
  const QString file = Temp.filePath(QStringLiteral("liste.ini"));
  WriteBytes(file, "[General]\r\nCount=1\r\n\r\n[Action1]\r\nFirstDate=46000.5\r\nAction=x\r\n");
  Form.AppendActionFile(file);
  ASSERT_EQ(Form.Rows().size(), 2u);
  EXPECT_EQ(Form.Rows()[0].Entry.Action.Text(), QStringLiteral("unbekannt"));
}

TEST_F(MainForm, SaveWritesTheEditorsKeyOrderAndKeepsOtherSettings) {
  const QString file = Temp.filePath(QStringLiteral("k.ini"));
  WriteBytes(file,
             "[General]\r\nLogging=1\r\nNoShiftReaction=0\r\nInterval=1000\r\nCount=0\r\n\r\n");
  Open({Daily(QStringLiteral("a b"), At(2026, 1, 1, 8))}, 5000);
  Form.SaveActionFile(file);
  const QStringList lines = QString::fromUtf8(ReadBytes(file)).split(QStringLiteral("\r\n"));
  QStringList keys;
  for (const QString &line : lines)
    keys.append(line.section(u'=', 0, 0));
  EXPECT_EQ(keys, (QStringList{"[General]", "Logging", "NoShiftReaction", "Interval", "Count", "",
                               "[Action1]", "TimePoint", "SuddenStart", "FirstDate", "LastDate",
                               "Freq", "AllCalls", "Action", "", ""}));
  EXPECT_TRUE(lines.contains(QStringLiteral("Interval=5000")));
  EXPECT_TRUE(lines.contains(QStringLiteral("Action=a b")));

  // Only the placeholder row: Count 0 and no action section.
  const QString fresh = Temp.filePath(QStringLiteral("neu.ini"));
  Open({});
  Form.SaveActionFile(fresh);
  TXIniFile ini(fresh);
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("General"), QStringLiteral("Count"), -1), 0);
  QStringList sections;
  ini.ReadSections(sections);
  EXPECT_EQ(sections, QStringList{QStringLiteral("General")});
  QStringList keys2;
  ini.ReadSection(QStringLiteral("General"), keys2);
  EXPECT_EQ(keys2, (QStringList{QStringLiteral("Interval"), QStringLiteral("Count")}));
}

TEST_F(MainForm, FileButtonsChangeTheConfigurationFileAndTheCaption) {
  const QString file = Temp.filePath(QStringLiteral("andere.ini"));
  Open({Daily(QStringLiteral("a"), At(2026, 1, 1, 8))});
  QStringList titles;
  QString answerFile = file;
  Form.Seams().ChooseFile = [&](bool, const QString &title, const QString &preset) {
    titles.append(title + u'|' + preset);
    return answerFile;
  };
  Form.SaveAsBtnClick();
  EXPECT_TRUE(QFileInfo::exists(file));
  EXPECT_EQ(Form.ConfigFileName(), file);
  EXPECT_EQ(Form.windowTitle(), QStringLiteral("Kronolab -- ") + file);
  EXPECT_TRUE(Form.Modified());

  // Loading is a change: Abbruch asks before it throws the loaded rows away.
  Form.SetModified(false);
  Form.OpenBtnClick();
  EXPECT_EQ(Form.Rows().size(), 2u);
  EXPECT_TRUE(Form.Modified());
  EXPECT_EQ(titles, (QStringList{QStringLiteral("Aktionen sichern|/home/anna/.config/kronolab/"
                                                "kronolab.ini"),
                                 QStringLiteral("Aktionen laden|")}));
  // A cancelled dialog does nothing.
  answerFile.clear();
  Form.OpenBtnClick();
  EXPECT_EQ(Form.Rows().size(), 2u);

  // A failed save reaches the caller and leaves the caption alone.
  const QString blocked = Temp.filePath(QStringLiteral("ordner"));
  ASSERT_TRUE(QDir().mkdir(blocked));
  answerFile = blocked;
  EXPECT_THROW(Form.SaveAsBtnClick(), EInOutError);
  EXPECT_EQ(Form.ConfigFileName(), file);
}

// Another scheduler would save its own list over the file when it ends: the editor writes
// nothing there, says why and keeps its file; any other file is saved as before.
TEST_F(MainForm, NothingIsSavedIntoAFileAnotherSchedulerRuns) {
  const QString busy = Temp.filePath(QStringLiteral("belegt.ini"));
  const QString free = Temp.filePath(QStringLiteral("frei.ini"));
  WriteBytes(busy, "[General]\nCount=0\n");
  Open({Daily(QStringLiteral("a"), At(2026, 1, 1, 8))});
  const QString before = Form.ConfigFileName();
  Form.Seams().RunByAnother = [&](const QString &file) { return file == busy; };
  QString answerFile = busy;
  Form.Seams().ChooseFile = [&](bool, const QString &, const QString &) { return answerFile; };

  Form.SaveAsBtnClick();
  EXPECT_EQ(ReadBytes(busy), QByteArray("[General]\nCount=0\n"));
  EXPECT_EQ(Form.ConfigFileName(), before);
  EXPECT_FALSE(Form.Modified());
  ASSERT_EQ(Questions.size(), 1);
  EXPECT_EQ(LastIcon, QMessageBox::Warning);
  EXPECT_TRUE(Questions[0].contains(busy));

  // A list loaded from that file cannot be saved back into it either.
  Form.OpenBtnClick();
  EXPECT_EQ(Form.ConfigFileName(), busy);
  Form.SaveBtnClick();
  EXPECT_EQ(ReadBytes(busy), QByteArray("[General]\nCount=0\n"));
  EXPECT_EQ(Questions.size(), 2);

  answerFile = free;
  Form.SaveAsBtnClick();
  EXPECT_TRUE(QFileInfo::exists(free));
  EXPECT_EQ(Form.ConfigFileName(), free);
  EXPECT_EQ(Questions.size(), 2);
}

// Ctrl+K deletes to the end of the line on X11. In the interval field it leaves zeros, and
// OK takes the interval with every other change of the session.
TEST_F(MainForm, CtrlKInTheIntervalFieldThenOKKeepsTheWholeSession) {
  if (!QKeySequence::keyBindings(QKeySequence::DeleteEndOfLine)
           .contains(QKeySequence(Qt::CTRL | Qt::Key_K)))
    GTEST_SKIP() << "this platform has no X11 key bindings; run under an X server (xcb)";
  Open({Daily(QStringLiteral("a"), At(2026, 1, 1, 8)),
        Daily(QStringLiteral("b"), At(2026, 1, 1, 9))},
       (12 * 3600 + 34 * 60 + 56) * 1000);
  ShowActive();
  Form.ActionsGrid()->SetRow(1);
  Answer = QMessageBox::Ok;
  QTest::mouseClick(Form.DeleteBtn(), Qt::LeftButton);
  Form.TimerEdit()->setFocus();
  Form.TimerEdit()->setCursorPosition(4);
  QTest::keyClick(Form.TimerEdit(), Qt::Key_K, Qt::ControlModifier);
  EXPECT_EQ(Form.TimerEdit()->Text(), QStringLiteral("12:30:00"));
  QTest::mouseClick(Form.OKBtn(), Qt::LeftButton);
  EXPECT_EQ(Form.result(), QDialog::Accepted);
  EXPECT_FALSE(Form.isVisible());
  EXPECT_EQ(Form.IntervalMs(), (12 * 3600 + 30 * 60) * 1000LL);
  ASSERT_EQ(Form.Rows().size(), 1u);
  EXPECT_EQ(Form.Rows()[0].Entry.Action.Text(), QStringLiteral("b"));
  EXPECT_TRUE(InputErrors.isEmpty());
}

// Should the interval field ever hold a text that is no time, OK says so and the window
// stays open with every change in it.
TEST_F(MainForm, AnIntervalThatCannotBeTakenKeepsTheWindowOpen) {
  Open({Daily(QStringLiteral("a"), At(2026, 1, 1, 8))});
  ShowActive();
  Form.TimerEdit()->setInputMask(QString());
  Form.TimerEdit()->setText(QStringLiteral("00:0"));
  QTest::mouseClick(Form.OKBtn(), Qt::LeftButton);
  EXPECT_TRUE(Form.isVisible());
  EXPECT_NE(Form.result(), QDialog::Accepted);
  ASSERT_EQ(InputErrors.size(), 1);
  EXPECT_EQ(InputErrors[0], QStringLiteral("Das Intervall „00:0“ ist keine Zeit der Form "
                                           "Stunden:Minuten:Sekunden."));
  EXPECT_EQ(QApplication::focusWidget(), Form.TimerEdit());
  EXPECT_EQ(Form.Rows().size(), 1u);
  EXPECT_TRUE(Questions.isEmpty());
}

// A list loaded by the file button is a change like any other: Abbruch asks first.
TEST_F(MainForm, AbbruchAfterLoadingAListAsksBeforeItThrowsTheListAway) {
  const QString file = Temp.filePath(QStringLiteral("liste.ini"));
  WriteBytes(file, "[General]\r\nCount=1\r\n\r\n[Action1]\r\nFirstDate=46000.5\r\nAction=x\r\n");
  Open({});
  Form.Seams().ChooseFile = [&file](bool, const QString &, const QString &) { return file; };
  ShowActive();
  QTest::mouseClick(Form.OpenBtn(), Qt::LeftButton);
  EXPECT_EQ(Form.windowTitle(), QStringLiteral("Kronolab -- ") + file);
  Answer = QMessageBox::No;
  QTest::mouseClick(Form.CancelBtn(), Qt::LeftButton);
  ASSERT_EQ(Questions.size(), 1);
  EXPECT_EQ(Questions[0], QStringLiteral("Wollen Sie wirklich alle Änderungen verwerfen ?"));
  EXPECT_TRUE(Form.isVisible());
  Answer = QMessageBox::Yes;
  QTest::keyClick(&Form, Qt::Key_Escape);
  EXPECT_FALSE(Form.isVisible());
  EXPECT_EQ(Form.result(), QDialog::Rejected);
}

// An action cut by its column shows its whole text as the tooltip; one that fits shows none.
// A row whose last call failed has the mark before its kind, which is not cut, and says why.
TEST_F(MainForm, ACutActionShowsItsWholeTextAsTooltip) {
  const QString longAction =
      QStringLiteral("%COPY \"/home/anna/Meine Texte/Berichte/2026/*.txt\" "
                     "\"/media/anna/USB-Stick/Sicherung/Berichte-%FULLDAY%\" & <mehr>");
  TRunJournal journal;
  ASSERT_TRUE(journal.Open(Temp.filePath(QStringLiteral("k.sqlite")), At(2026, 12, 8, 9)));
  const std::int64_t id = journal.EntryFor(QStringLiteral("k"), QStringLiteral("xterm"));
  const std::int64_t call = journal.RecordManualCall(id, 2, QStringLiteral("xterm"), 0);
  journal.BeginCall(call, At(2026, 12, 8, 9), QStringLiteral("xterm"));
  journal.FinishCall(call, {TCallState::Failed, 0, 0, QStringLiteral("Nicht gefunden !"), 0});
  TActionEntry failing = Daily(QStringLiteral("xterm"), At(2026, 1, 1, 9));
  failing.TimePoint = tpFrequency;
  Open({Daily(longAction, At(2026, 1, 1, 8)), failing}, 1000, &journal, {0, id});
  ShowActive();
  // The action column takes its width once the layout has settled.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return Form.ActionsGrid()->CellTextCut(TMainForm::ColAction, 1); }, 30000));
  QWidget *viewport = Form.ActionsGrid()->viewport();
  const auto tipAt = [&](int row, int col) {
    const QRect cell = Form.ActionsGrid()->visualItemRect(Form.ActionsGrid()->item(row - 1, col));
    QHelpEvent help(QEvent::ToolTip, cell.center(), viewport->mapToGlobal(cell.center()));
    QApplication::sendEvent(viewport, &help);
    return QToolTip::isVisible() ? QTextDocumentFragment::fromHtml(QToolTip::text()).toPlainText()
                                 : QString();
  };
  EXPECT_EQ(tipAt(1, TMainForm::ColTimePoint), QString());
  EXPECT_TRUE(Form.ActionsGrid()->CellTextCut(TMainForm::ColAction, 1));
  EXPECT_EQ(tipAt(1, TMainForm::ColAction), longAction);
  EXPECT_FALSE(Form.ActionsGrid()->CellTextCut(TMainForm::ColAction, 2));
  EXPECT_FALSE(Form.ActionsGrid()->item(1, TMainForm::ColTimePoint)->icon().isNull());
  EXPECT_FALSE(Form.ActionsGrid()->CellTextCut(TMainForm::ColTimePoint, 2));
  for (const int col : {int(TMainForm::ColTimePoint), int(TMainForm::ColAction)})
    EXPECT_EQ(tipAt(2, col), QStringLiteral("Letzter Aufruf fehlgeschlagen (08.12.2026 09:00:00): "
                                            "Fehlgeschlagen: Nicht gefunden !"));
}

// The action column takes what the window has to spare; the other columns and their headers
// are wide enough for what they show.
TEST_F(MainForm, TheActionColumnTakesTheSpareWidthAndNothingElseIsCut) {
  TActionEntry weekly = Daily(QStringLiteral("w"), At(2026, 12, 9, 23, 58, 58)); // Mittwoch
  weekly.TimePoint = tpWeekly;
  TActionEntry yearly = Daily(QStringLiteral("y"), At(2026, 9, 9, 8));
  yearly.TimePoint = tpYearly;
  Open({weekly, yearly});
  ShowActive();
  TStringAlignGrid *grid = Form.ActionsGrid();
  const auto spare = [grid] {
    return grid->ClientWidth() - grid->ColWidths(TMainForm::ColTimePoint) -
           grid->ColWidths(TMainForm::ColTime) - grid->ColWidths(TMainForm::ColNextRun) -
           grid->ColWidths(TMainForm::ColActive);
  };
  for (const int width : {Form.width(), Form.width() + 400, Form.width() + 100}) {
    Form.resize(width, Form.height());
    // The columns follow once the layout has settled (up to a grid line per column).
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return std::abs(grid->ColWidths(TMainForm::ColAction) - spare()) <= 5; }, 30000))
        << width << ": " << grid->ColWidths(TMainForm::ColAction) << " vs " << spare();
  }
  EXPECT_GE(grid->ColWidths(TMainForm::ColAction), 300);
  for (int col : {TMainForm::ColTimePoint, TMainForm::ColTime, TMainForm::ColNextRun}) {
    EXPECT_GE(grid->ColWidths(col), grid->horizontalHeader()->sectionSizeHint(col)) << col;
    for (int row = 1; row <= 2; ++row)
      EXPECT_FALSE(grid->CellTextCut(col, row)) << grid->Cells(col, row).toStdString();
  }
}

TEST_F(MainForm, TheDesktopsFontEverywhere) {
  EXPECT_EQ(Form.font().pixelSize(), 13);
  for (QWidget *widget : Form.findChildren<QWidget *>())
    EXPECT_EQ(widget->font().family(), QApplication::font().family())
        << widget->metaObject()->className();
}

// Insert and Delete act wherever the focus is from the moment the window opens (on OK), once
// per key press, while the interval field keeps Delete to itself; real keys through X.
TEST_F(MainForm, InsertAndDeleteWorkFromTheMomentTheWindowOpens) {
  Open({Daily(QStringLiteral("a"), At(2026, 1, 1, 8)),
        Daily(QStringLiteral("b"), At(2026, 1, 1, 9))});
  ShowActive();
  ASSERT_TRUE(WaitUntil([&] { return HasKeyboardFocus(Form.winId()); }));
  FillDialog = [](TEditActionDlg &dialog) { dialog.ActionEdit->setText(QStringLiteral("n")); };
  const std::tuple<QWidget *, const char *, int, int, std::size_t> cases[] = {
      {Form.OKBtn(), "Insert", 1, 0, 3},
      {Form.OKBtn(), "Delete", 1, 1, 2},
      {Form.TimerEdit(), "Delete", 1, 1, 2},
      {Form.ActionsGrid(), "Delete", 1, 2, 1},
      {Form.ActionsGrid(), "Insert", 2, 2, 2}};
  for (const auto &[focus, key, dialogs, questions, rows] : cases) {
    focus->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return focus->hasFocus(); }));
    XDoTool({QStringLiteral("key"), QString::fromLatin1(key)});
    EXPECT_TRUE(WaitUntil([&] { return Dialogs == dialogs && Questions.size() == questions; }));
    EXPECT_EQ(Form.Rows().size(), rows) << key;
  }
}

// "Nächste Ausführung" follows the clock: a time that has come gives way to the next one at the
// following second (a finished one-off to a dash), and a clock set back shows the earlier one.
TEST_F(MainForm, TheNextRunsFollowTheClockAndNeverShowAPassedTime) {
  static TDateTime now;
  now = At(2026, 12, 8, 8, 59, 59);
  Form.Seams().Now = [] { return now; };
  TActionEntry daily = Daily(QStringLiteral("a"), At(2026, 1, 1, 9));
  daily.LastDate = At(2026, 12, 7, 9) + RunMark;
  TActionEntry once = NewActionEntry(tpOnce, At(2026, 12, 8, 9, 0, 1), QStringLiteral("b"));
  once.LastDate = At(2026, 12, 1);
  Open({daily, once});
  const auto shown = [this] {
    return Cell(TMainForm::ColNextRun, 1) + u'|' + Cell(TMainForm::ColNextRun, 2);
  };
  EXPECT_EQ(shown(),
            DateTimeText(At(2026, 12, 8, 9)) + u'|' + DateTimeText(At(2026, 12, 8, 9, 0, 1)));
  now = At(2026, 12, 8, 9, 0, 2);
  Form.TimerTimer();
  EXPECT_EQ(shown(), DateTimeText(At(2026, 12, 9, 9)) + QStringLiteral("|–"));
  now = At(2026, 12, 8, 8, 30);
  Form.TimerTimer();
  EXPECT_EQ(shown(),
            DateTimeText(At(2026, 12, 8, 9)) + u'|' + DateTimeText(At(2026, 12, 8, 9, 0, 1)));
}
