// The history window over a real journal: its filters, its reading page by page, new calls
// arriving while it is open, and "Jetzt ausführen" on a selected call.
#include "gui/editor/HistoryForm.h"

#include "TestHelpers.h"
#include "gui/editor/HistoryModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class HistoryForm : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    ASSERT_TRUE(Journal.Open(Dir.filePath(QStringLiteral("k.sqlite")), Now));
  }

  // count calls of entry key, every third one failing; their ids.
  std::vector<std::int64_t> Record(const QString &key, int number, int count) {
    std::vector<TDueCall> due;
    for (int i = 0; i < count; ++i)
      due.push_back({key, QStringLiteral("\"%1\"").arg(key), number, Now + i / 86400.0});
    const std::vector<std::int64_t> ids = Journal.RecordCalls(due, Now);
    for (std::size_t i = 0; i < ids.size(); ++i)
      Journal.FinishCall(
          ids[i], i % 3 == 0 ? TCallResult{TCallState::Failed, 0, 0, QStringLiteral("kaputt"), 5}
                             : TCallResult{TCallState::Done, 0, 0, QStringLiteral("Erledigt"), 5});
    return ids;
  }

  // Every row the model can give, fetching page after page as a scrolling view would.
  static int AllRows(THistoryModel &model) {
    while (model.canFetchMore(QModelIndex()))
      model.fetchMore(QModelIndex());
    return model.rowCount();
  }

  QTemporaryDir Dir;
  TDateTime Now = At(2026, 12, 6, 12);
  TRunJournal Journal;
};

TEST_F(HistoryForm, FiltersByActionAndByFailureAndReadsPageByPage) {
  const std::int64_t a = Journal.EntryFor(QStringLiteral("a"), QStringLiteral("\"a\""));
  Record(QStringLiteral("a"), 1, 450);
  Record(QStringLiteral("b"), 2, 30);
  const std::int64_t b = Journal.FindEntry(QStringLiteral("b"));
  THistoryForm form(&Journal);
  form.SetActions({{1, QStringLiteral("\"a\""), a},
                   {2, QStringLiteral("\"b\""), b},
                   {3, QStringLiteral("\"nie\""), 0}});
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Verlauf"));
  EXPECT_EQ(form.ActionFilter->count(), 4);

  // Only a page is read when the window opens; the newest call comes first.
  EXPECT_EQ(form.Model->rowCount(), THistoryModel::PageSize);
  EXPECT_EQ(form.Model->CallAt(0)->EntryNumber, 2);
  EXPECT_EQ(AllRows(*form.Model), 480);

  form.SelectAction(b);
  EXPECT_EQ(AllRows(*form.Model), 30);
  EXPECT_EQ(form.Model->CallAt(0)->EntryId, b);
  form.FailedOnlyBox->setChecked(true);
  EXPECT_EQ(AllRows(*form.Model), 10);
  for (int row = 0; row < 10; ++row)
    EXPECT_TRUE(form.Model->CallAt(row)->Failed);
  EXPECT_EQ(form.Model->index(0, THistoryModel::ColResult).data().toString(),
            QStringLiteral("Fehlgeschlagen: kaputt"));
  form.ActionFilter->setCurrentIndex(0);
  EXPECT_EQ(AllRows(*form.Model), 160);
  // An action that never ran has no calls, not everybody's.
  form.FailedOnlyBox->setChecked(false);
  form.ActionFilter->setCurrentIndex(3);
  EXPECT_EQ(AllRows(*form.Model), 0);
}

TEST_F(HistoryForm, NewCallsAppearOnTopAndResultsChangeInPlaceWhileTheSelectionStays) {
  const std::vector<std::int64_t> first = Record(QStringLiteral("a"), 1, 3);
  THistoryForm form(&Journal);
  form.CallsView->selectRow(1);
  const std::int64_t selected = form.Model->CallAt(1)->Id;

  const std::vector<std::int64_t> later =
      Journal.RecordCalls({{QStringLiteral("a"), QStringLiteral("\"a\""), 1, Now + 1}}, Now + 1);
  Journal.FinishCall(first[2], {TCallState::Exited, 0, 3, QString(), 1500});
  form.RefreshIfChanged();
  ASSERT_EQ(form.Model->rowCount(), 4);
  EXPECT_EQ(form.Model->CallAt(0)->Id, later[0]);
  EXPECT_EQ(form.Model->index(0, THistoryModel::ColResult).data().toString(),
            QStringLiteral("Vorgemerkt"));
  EXPECT_EQ(form.Model->index(1, THistoryModel::ColResult).data().toString(),
            QStringLiteral("Beendet mit Status 3"));
  EXPECT_EQ(form.Model->index(1, THistoryModel::ColDuration).data().toString(),
            QStringLiteral("1,500 s"));
  const QModelIndexList rows = form.CallsView->selectionModel()->selectedRows();
  ASSERT_EQ(rows.size(), 1);
  EXPECT_EQ(form.Model->CallAt(rows[0].row())->Id, selected);
}

// The pane below the list shows what the selected call's program wrote, and nothing for a call
// without output; before a call is chosen it says so rather than "Keine Ausgabe".
TEST_F(HistoryForm, TheSelectedCallsOutputShowsBelowTheList) {
  const std::vector<std::int64_t> ids = Record(QStringLiteral("a"), 1, 2);
  Journal.ProgramsEnded({{ids[0], false, 2, 40, false, "teils\n", "Platte voll\n"}});
  THistoryForm form(&Journal);
  form.CallsView->clearSelection();
  EXPECT_TRUE(form.OutputView->placeholderText().startsWith(QStringLiteral("Wählen Sie")));
  form.CallsView->selectRow(1); // the older call, ids[0]
  EXPECT_EQ(form.OutputView->toPlainText(),
            QStringLiteral("teils\n\nFehlerausgabe:\nPlatte voll\n"));
  EXPECT_TRUE(form.OutputView->isReadOnly());
  form.CallsView->selectRow(0);
  EXPECT_TRUE(form.OutputView->toPlainText().isEmpty());
  EXPECT_EQ(form.OutputView->placeholderText(), QStringLiteral("Keine Ausgabe"));
}

TEST_F(HistoryForm, RunNowCarriesOutTheSelectedCallsActionOrSaysItIsGone) {
  Record(QStringLiteral("a"), 1, 2);
  const std::int64_t a = Journal.FindEntry(QStringLiteral("a"));
  THistoryForm form(&Journal);
  EXPECT_FALSE(form.RunNowBtn->isEnabled()); // nothing selected
  std::vector<std::int64_t> asked;
  bool inList = true;
  form.RunNow = [&](std::int64_t entryId) {
    asked.push_back(entryId);
    return inList;
  };
  form.CallsView->selectRow(0);
  ASSERT_TRUE(form.RunNowBtn->isEnabled());
  form.RunNowBtn->click();
  EXPECT_EQ(asked, std::vector<std::int64_t>{a});
  inList = false;
  form.RunNowBtn->click();
  EXPECT_EQ(form.StatusLabel->text(),
            QStringLiteral("Diese Aktion steht nicht mehr in der Liste."));
}

TEST(HistoryModel, DurationsReadAsTheUserExpects) {
  EXPECT_EQ(THistoryModel::DurationText(-1), QStringLiteral("–"));
  EXPECT_EQ(THistoryModel::DurationText(250), QStringLiteral("0,250 s"));
  EXPECT_EQ(THistoryModel::DurationText(12345), QStringLiteral("12,3 s"));
  EXPECT_EQ(THistoryModel::DurationText(125000), QStringLiteral("2 min 05 s"));
  EXPECT_EQ(THistoryModel::DurationText(3 * 3600000 + 7 * 60000), QStringLiteral("3 h 07 min"));
}

TEST(HistoryModel, WithoutAJournalTheWindowSaysSo) {
  THistoryForm form(nullptr);
  EXPECT_EQ(form.Model->rowCount(), 0);
  EXPECT_FALSE(form.Model->canFetchMore(QModelIndex()));
  EXPECT_EQ(form.StatusLabel->text(), QStringLiteral("Kein Verlauf vorhanden."));
}

} // namespace
