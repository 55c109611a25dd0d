// Calls that leave the journal: those a tick recorded and did not get to, withdrawn at once,
// and the old ones, pruned a few hundred rows to a statement so that no tick waits long.
#include "core/journal/RunJournalImpl.h"

#include <QElapsedTimer>
#include <algorithm>

using namespace JournalDetail;

namespace {

// What one pruning statement may take before the next ones delete fewer rows.
constexpr int PruneStatementMs = 10;

} // namespace

void TRunJournal::WithdrawCalls(const std::vector<std::int64_t> &calls,
                                const std::vector<std::pair<QString, TDateTime>> &lastDates) {
  if (calls.empty())
    return;
  Transaction(
      [&] {
        const auto remove = D->Prepared(QStringLiteral("DELETE FROM calls WHERE id = ? AND "
                                                       "state = %1")
                                            .arg(StateSql(TCallState::Recorded)));
        const auto lower =
            D->Prepared(QStringLiteral("UPDATE entries SET last_date = ? WHERE id = ?"));
        if (!remove || !lower)
          return false;
        for (const std::int64_t call : calls) {
          remove->bindValue(0, static_cast<qlonglong>(call));
          if (!D->Exec(*remove))
            return false;
        }
        for (const auto &[key, lastDate] : lastDates) {
          const std::optional<std::int64_t> entry = D->EntryId(key);
          if (!entry)
            return false;
          if (*entry == 0)
            continue;
          lower->bindValue(0, lastDate);
          lower->bindValue(1, static_cast<qlonglong>(*entry));
          if (!D->Exec(*lower))
            return false;
        }
        return true;
      },
      false);
}

void TRunJournal::PruneStep(TDateTime now, int budgetMs) {
  if (!FWritable || FHeldThisTick)
    return;
  if (!FPruning && !BeginPrunePass(now))
    return;
  QElapsedTimer spent;
  spent.start();
  for (;;) {
    QElapsedTimer took;
    took.start();
    const int batch = FPruneBatch;
    int deleted = 0;
    if (!Transaction([&] { return PruneOneBatch(batch, deleted); }, false))
      return; // tried again at the next step
    // A slow statement is halved, so that a step stays short however slow the disk.
    if (took.elapsed() > PruneStatementMs)
      FPruneBatch = std::max(batch / 2, MinPruneBatch);
    if (deleted < batch) {
      FPruning = false;
      FNextPruneAt = now + 1;
      return;
    }
    if (spent.elapsed() >= budgetMs)
      return;
  }
}

bool TRunJournal::BeginPrunePass(TDateTime now) {
  // A clock set back by more than a day must not put the next pass off for as long.
  if (now < FNextPruneAt && FNextPruneAt - now <= 1)
    return false;
  const QVariant newest = D->Value(QStringLiteral("SELECT max(id) FROM calls"));
  if (!newest.isValid())
    return false;
  FPruneUpToId = newest.toLongLong() - FOptions.MaxCalls;
  FPruneBefore = now - FOptions.MaxAgeDays;
  FPruning = true;
  return true;
}

bool TRunJournal::PruneOneBatch(int batch, int &deleted) {
  // In id order from the oldest, so that each statement finds its rows at once.
  const auto prune = D->Prepared(QStringLiteral("DELETE FROM calls WHERE id IN (SELECT id FROM "
                                                "calls WHERE id <= ? AND recorded < ? ORDER BY "
                                                "id LIMIT ?)"));
  if (!prune)
    return false;
  prune->bindValue(0, static_cast<qlonglong>(FPruneUpToId));
  prune->bindValue(1, FPruneBefore);
  prune->bindValue(2, batch);
  if (!D->Exec(*prune))
    return false;
  deleted = prune->numRowsAffected();
  if (deleted >= batch)
    return true;
  // The last statements of the pass: snoozes shown long ago, and entries renamed away whose
  // calls are all gone.
  const auto shown =
      D->Prepared(QStringLiteral("DELETE FROM snoozes WHERE shown IS NOT NULL AND shown < ?"));
  if (!shown)
    return false;
  shown->bindValue(0, FPruneBefore);
  if (!D->Exec(*shown))
    return false;
  return D->Exec(QStringLiteral("DELETE FROM entries WHERE key IS NULL AND NOT EXISTS "
                                "(SELECT 1 FROM calls WHERE entry_id = entries.id)"));
}
