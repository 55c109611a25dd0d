// The editor window from the keyboard and the clock: Ctrl+K, Insert and Delete, the interval
// field, tooltips, column widths and the next runs that follow the clock.
#include "MainFormFixture.h"

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
