#include "core/WakePlanner.h"

#include "core/Scheduler.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::int64_t MsPerDay = 86400000;
// Days from 1899-12-30 (the date-time values' day 0) to 1970-01-01.
constexpr double UnixEpochDay = 25569;
// No zone changes its offset twice within this span.
constexpr std::int64_t QuietSpanMs = 28 * MsPerDay;

// The zone's offset at an instant in seconds, read as the wall clock's distance from UTC.
std::int64_t OffsetSeconds(std::int64_t utcMs) {
  const double wallMs = (LocalWallAt(utcMs) - UnixEpochDay) * MsPerDay;
  return std::llround((wallMs - static_cast<double>(utcMs)) / 1000.0);
}

} // namespace

void TWakePlanner::Rebuild(const TXList<TActionEntry> &list, std::uint64_t generation,
                           const TMoment &now) {
  FOrder.clear();
  FKeys.clear();
  FOrders.clear();
  for (int i = 0; i < list.Count(); ++i) {
    FOrders[list[i]] = static_cast<std::uint64_t>(i);
    Put(list[i], static_cast<std::uint64_t>(i), now);
  }
  FMade = true;
  FGeneration = generation;
  FCount = list.Count();
}

void TWakePlanner::Put(const TActionEntry *entry, std::uint64_t order, const TMoment &now) {
  const auto old = FKeys.find(entry);
  if (old != FKeys.end()) {
    FOrder.erase(old->second);
    FKeys.erase(old);
  }
  // A flagged entry is due at the next check whatever its time says.
  const TDateTime point = entry->DueFlag ? now.Wall : TScheduler::NextDuePoint(*entry, now);
  if (point == 0)
    return; // never due again by time
  const TKey key{{point, order}, entry};
  FOrder.insert(key);
  FKeys.emplace(entry, key);
}

void TWakePlanner::Advance(const std::vector<const TActionEntry *> &ran, const TMoment &now) {
  std::vector<const TActionEntry *> again;
  for (auto it = FOrder.begin(); it != FOrder.end() && it->first.first <= now.Wall; ++it)
    again.push_back(it->second);
  again.insert(again.end(), ran.begin(), ran.end());
  for (const TActionEntry *entry : again) {
    const auto order = FOrders.find(entry);
    if (order != FOrders.end())
      Put(entry, order->second, now);
  }
}

std::pair<TDateTime, const TActionEntry *> TWakePlanner::Earliest() const {
  if (FOrder.empty())
    return {0, nullptr};
  return {FOrder.begin()->first.first, FOrder.begin()->second};
}

std::int64_t WallInstantAfter(TDateTime wall, std::int64_t afterUtcMs) {
  const std::vector<std::int64_t> instants = LocalInstantsOf(wall);
  if (instants.empty()) {
    const std::int64_t skipped = TMoment(wall).UtcMs;
    return std::max(skipped, afterUtcMs);
  }
  for (std::int64_t instant : instants) {
    // The instant is whole milliseconds, the point a sum of doubles: a wake a hair before the
    // point would find nothing due and then wait a whole interval.
    for (int step = 0; step < 3 && LocalWallAt(instant) < wall; ++step)
      ++instant;
    if (instant > afterUtcMs)
      return instant;
  }
  return afterUtcMs;
}

std::optional<std::int64_t> NextOffsetChange(std::int64_t fromUtcMs, std::int64_t toUtcMs) {
  if (toUtcMs <= fromUtcMs)
    return std::nullopt;
  toUtcMs = std::min(toUtcMs, fromUtcMs + QuietSpanMs);
  const std::int64_t offset = OffsetSeconds(fromUtcMs);
  if (OffsetSeconds(toUtcMs) == offset)
    return std::nullopt;
  // Halve towards the first instant of the new offset; zones change on whole seconds.
  std::int64_t low = fromUtcMs, high = toUtcMs;
  while (high - low > 1000) {
    const std::int64_t middle = low + (high - low) / 2;
    (OffsetSeconds(middle) == offset ? low : high) = middle;
  }
  const std::int64_t second = (high / 1000) * 1000;
  return second > fromUtcMs && OffsetSeconds(second) != offset ? second : high;
}

std::int64_t NextMidnight(const TMoment &now) {
  const std::int64_t midnight = WallInstantAfter(DateOf(now.Wall) + 1, now.UtcMs);
  return midnight > now.UtcMs ? midnight : now.UtcMs + MsPerDay;
}
