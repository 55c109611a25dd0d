// THistoryModel: the calls of a run journal for a table view, newest first. It reads a page
// at a time as the view scrolls (Qt's fetchMore), so that a journal of any length opens at
// once. The journal belongs to the scheduler; the model only reads it.
#pragma once

#include "core/journal/RunJournal.h"

#include <QAbstractTableModel>
#include <vector>

// The run journal's calls as table rows.
class THistoryModel : public QAbstractTableModel {
  Q_OBJECT
public:
  enum { ColDue, ColStart, ColNumber, ColAction, ColResult, ColDuration, ColumnCount };
  // Calls read at a time.
  static constexpr int PageSize = 200;

  // journal may be nullptr (no journal): the model stays empty.
  explicit THistoryModel(const TRunJournal *journal, QObject *parent = nullptr);

  void SetJournal(const TRunJournal *journal);
  // Shows the calls the filter lets through, from the newest on.
  void SetFilter(const TCallFilter &filter);
  const TCallFilter &Filter() const { return FFilter; }
  // Reads the shown calls again and puts new ones on top, keeping the rows in view.
  void Refresh();
  // The call of a row; nullptr outside the rows read so far.
  const TCallRecord *CallAt(int row) const;

  // A duration as the window shows it ("0,250 s", "2 min 05 s"); "–" when unknown.
  static QString DurationText(std::int64_t ms);

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  bool canFetchMore(const QModelIndex &parent) const override;
  void fetchMore(const QModelIndex &parent) override;

private:
  void Reload();

  const TRunJournal *FJournal;
  TCallFilter FFilter;
  std::vector<TCallRecord> FCalls;
  bool FAtEnd = true;
};
