// The editor window's test fixture: a TMainForm with its questions, dialogs and errors
// caught, shared by the editor's test files.
#pragma once

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

// An open editor whose questions, dialogs and errors the test answers and records.
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

// A daily entry that has run, with milliseconds in its last run.
inline TActionEntry Daily(const QString &action, TDateTime first) {
  TActionEntry entry = NewActionEntry(tpDaily, first, action);
  entry.LastDate = first + 0.25 + 123.0 / MSecsPerDay; // a run with milliseconds
  return entry;
}
