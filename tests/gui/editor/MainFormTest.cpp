// The editor window driven through its handlers, with the dialogs and questions answered by
// the test: new, edit, delete, closing, and the action-list files.
#include "MainFormFixture.h"

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
