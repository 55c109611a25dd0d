// The next due point of every entry, earliest first, so that the moment of the next call is
// known without a walk over the whole list at every wake. Owned by the scheduler, which tells
// it what ran; a list it does not fit (replaced, grown, shrunk) is planned anew.
#pragma once

#include "base/ActionEntry.h"
#include "platform/Clock.h"
#include "storage/XLists.h"

#include <cstdint>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

// The planned calls of one action list.
class TWakePlanner {
public:
  // Whether the plan was made for the list as it is now.
  bool Fits(std::uint64_t generation, int count) const {
    return FMade && generation == FGeneration && count == FCount;
  }
  // Forgets the plan: the next Fits is false.
  void Drop() { FMade = false; }
  // Works out every entry's next due point at now.
  void Rebuild(const TXList<TActionEntry> &list, std::uint64_t generation, const TMoment &now);
  // Works out again the entries in ran and those whose point has come by now.
  void Advance(const std::vector<const TActionEntry *> &ran, const TMoment &now);
  // The earliest planned call: its due point and entry ({0, nullptr}: none will be due).
  std::pair<TDateTime, const TActionEntry *> Earliest() const;

private:
  // Point first; among equal points the entry earlier in the list.
  using TKey = std::pair<std::pair<TDateTime, std::uint64_t>, const TActionEntry *>;
  void Put(const TActionEntry *entry, std::uint64_t order, const TMoment &now);

  std::set<TKey> FOrder;
  std::unordered_map<const TActionEntry *, TKey> FKeys;
  std::unordered_map<const TActionEntry *, std::uint64_t> FOrders;
  bool FMade = false;
  std::uint64_t FGeneration = 0;
  int FCount = 0;
};

// The first instant after afterUtcMs at which the local clock shows wall: for a wall time the
// clock skips, the instant it jumps over it; afterUtcMs itself when wall has come already.
std::int64_t WallInstantAfter(TDateTime wall, std::int64_t afterUtcMs);
// The first instant in (fromUtcMs, toUtcMs] at which the zone's UTC offset differs from the
// one at fromUtcMs (a daylight-saving change); none when it stays the same.
std::optional<std::int64_t> NextOffsetChange(std::int64_t fromUtcMs, std::int64_t toUtcMs);
// The instant of the next local midnight after now: a new day, and maybe week, month or year.
std::int64_t NextMidnight(const TMoment &now);
