// System information for the about box: the memory figures of /proc/meminfo and the
// processor's time-stamp counter, with the texts the "System" page shows.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// Memory as the about box reports it, in bytes.
struct TMemoryStatus {
  std::uint64_t TotalPhys = 0;
  std::uint64_t AvailPhys = 0;
  std::uint64_t AvailPageFile = 0; // free swap
  int MemoryLoad = 0;              // percent of physical memory in use
};

// Parses the text of /proc/meminfo; nullopt when it lacks the total or the available memory.
std::optional<TMemoryStatus> ParseMemInfo(const QString &text);
// Reads /proc/meminfo; nullopt where there is none.
std::optional<TMemoryStatus> ReadMemoryStatus();

// "1.234,56 MB" under German: available physical memory and swap in megabytes, two decimals
// in the locale's notation, as the clock beside it.
QString FreeMemText(const TMemoryStatus &status);

// The processor's time-stamp counter; nullopt on a processor without one.
std::optional<std::uint64_t> ReadTimeStampCounter();

// The clock in megahertz from two counter readings microseconds apart.
double ClockMhz(std::uint64_t counterBefore, std::uint64_t counterAfter, double microseconds);
// The clock as the page shows it: five significant digits, two decimals in the locale's
// notation; empty for a negative value.
QString MhzText(double mhz);
