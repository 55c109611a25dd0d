#include "gui/editor/HistoryModel.h"

#include <QApplication>
#include <QBrush>
#include <QLocale>
#include <QStyle>
#include <limits>

namespace {

constexpr std::int64_t Newest = std::numeric_limits<std::int64_t>::max();

QString Joined(const QString &text) {
  QString line = text;
  line.replace(u'\n', QStringLiteral(" / "));
  return line;
}

} // namespace

THistoryModel::THistoryModel(const TRunJournal *journal, QObject *parent)
    : QAbstractTableModel(parent), FJournal(journal) {
  Reload();
}

void THistoryModel::SetJournal(const TRunJournal *journal) {
  FJournal = journal;
  Reload();
}

void THistoryModel::SetFilter(const TCallFilter &filter) {
  FFilter = filter;
  Reload();
}

void THistoryModel::Reload() {
  beginResetModel();
  FCalls.clear();
  if (FJournal)
    FCalls = FJournal->Calls(FFilter, Newest, PageSize);
  FAtEnd = static_cast<int>(FCalls.size()) < PageSize;
  endResetModel();
}

void THistoryModel::Refresh() {
  if (!FJournal || FCalls.empty()) {
    Reload();
    return;
  }
  const std::size_t shown = FCalls.size();
  std::vector<TCallRecord> fresh =
      FJournal->Calls(FFilter, Newest, static_cast<int>(shown) + PageSize);
  std::size_t added = 0;
  while (added < fresh.size() && fresh[added].Id > FCalls.front().Id)
    ++added;
  // The rows shown must still be there below the new ones; otherwise read anew.
  if (fresh.size() < added + shown || fresh[added].Id != FCalls.front().Id ||
      fresh[added + shown - 1].Id != FCalls.back().Id) {
    Reload();
    return;
  }
  fresh.resize(added + shown);
  if (added > 0) {
    beginInsertRows(QModelIndex(), 0, static_cast<int>(added) - 1);
    FCalls.insert(FCalls.begin(), fresh.begin(),
                  fresh.begin() + static_cast<std::ptrdiff_t>(added));
    endInsertRows();
  }
  // Results arrive later than their calls: the rows below may have changed.
  std::copy(fresh.begin() + static_cast<std::ptrdiff_t>(added), fresh.end(),
            FCalls.begin() + static_cast<std::ptrdiff_t>(added));
  emit dataChanged(index(static_cast<int>(added), 0),
                   index(static_cast<int>(FCalls.size()) - 1, ColumnCount - 1));
}

const TCallRecord *THistoryModel::CallAt(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < FCalls.size()
             ? &FCalls[static_cast<std::size_t>(row)]
             : nullptr;
}

QString THistoryModel::DurationText(std::int64_t ms) {
  if (ms < 0)
    return QStringLiteral("–");
  if (ms < 60000)
    return QLocale().toString(static_cast<double>(ms) / 1000, 'f', ms < 10000 ? 3 : 1) +
           QStringLiteral(" s");
  const std::int64_t seconds = ms / 1000;
  if (seconds < 3600)
    return QStringLiteral("%1 min %2 s")
        .arg(seconds / 60)
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
  return QStringLiteral("%1 h %2 min")
      .arg(seconds / 3600)
      .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'));
}

int THistoryModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(FCalls.size());
}

int THistoryModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant THistoryModel::data(const QModelIndex &index, int role) const {
  const TCallRecord *call = index.isValid() ? CallAt(index.row()) : nullptr;
  if (!call)
    return {};
  if (role == Qt::DisplayRole) {
    switch (index.column()) {
    case ColDue:
      return call->Manual ? QStringLiteral("manuell") : DateTimeText(call->Due);
    case ColStart:
      return call->Started == 0 ? QStringLiteral("–") : DateTimeText(call->Started);
    case ColNumber:
      return call->EntryNumber;
    case ColAction:
      return call->Action;
    case ColResult:
      return Joined(CallResultText(*call));
    case ColDuration:
      return call->State == TCallState::Running ? QStringLiteral("läuft")
                                                : DurationText(call->DurationMs);
    default:
      return {};
    }
  }
  if (role == Qt::ToolTipRole) {
    QString tip = CallResultText(*call);
    if (!call->Command.isEmpty() && call->Command != call->Action)
      tip += QStringLiteral("\nAusgeführt: ") + call->Command;
    return tip;
  }
  if (role == Qt::DecorationRole && index.column() == ColResult && call->Failed)
    return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
  if (role == Qt::ForegroundRole && call->Failed)
    return QBrush(Qt::darkRed);
  if (role == Qt::TextAlignmentRole &&
      (index.column() == ColNumber || index.column() == ColDuration))
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant THistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return QAbstractTableModel::headerData(section, orientation, role);
  switch (section) {
  case ColDue:
    return QStringLiteral("Fällig");
  case ColStart:
    return QStringLiteral("Beginn");
  case ColNumber:
    return QStringLiteral("Nr.");
  case ColAction:
    return QStringLiteral("Aktion");
  case ColResult:
    return QStringLiteral("Ergebnis");
  case ColDuration:
    return QStringLiteral("Dauer");
  default:
    return {};
  }
}

bool THistoryModel::canFetchMore(const QModelIndex &parent) const {
  return !parent.isValid() && !FAtEnd && FJournal;
}

void THistoryModel::fetchMore(const QModelIndex &parent) {
  if (!canFetchMore(parent))
    return;
  const std::int64_t before = FCalls.empty() ? Newest : FCalls.back().Id;
  std::vector<TCallRecord> page = FJournal->Calls(FFilter, before, PageSize);
  FAtEnd = static_cast<int>(page.size()) < PageSize;
  if (page.empty())
    return;
  const int first = static_cast<int>(FCalls.size());
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(page.size()) - 1);
  FCalls.insert(FCalls.end(), std::make_move_iterator(page.begin()),
                std::make_move_iterator(page.end()));
  endInsertRows();
}
