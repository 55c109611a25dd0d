#include "gui/about/SysComp.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

std::optional<TMemoryStatus> ParseMemInfo(const QString &text) {
  static const QRegularExpression line(QStringLiteral(R"(^(\w+):\s+(\d+)\s*kB)"),
                                       QRegularExpression::MultilineOption);
  std::optional<std::uint64_t> total, available, swapFree;
  for (auto it = line.globalMatch(text); it.hasNext();) {
    const auto match = it.next();
    const std::uint64_t bytes = match.captured(2).toULongLong() * 1024;
    const QString key = match.captured(1);
    if (key == QLatin1String("MemTotal"))
      total = bytes;
    else if (key == QLatin1String("MemAvailable"))
      available = bytes;
    else if (key == QLatin1String("SwapFree"))
      swapFree = bytes;
  }
  if (!total || !available || *total == 0)
    return std::nullopt;
  TMemoryStatus status;
  status.TotalPhys = *total;
  status.AvailPhys = std::min(*available, *total);
  status.AvailPageFile = swapFree.value_or(0);
  status.MemoryLoad = static_cast<int>(
      std::lround(100.0 * static_cast<double>(status.TotalPhys - status.AvailPhys) /
                  static_cast<double>(status.TotalPhys)));
  return status;
}

std::optional<TMemoryStatus> ReadMemoryStatus() {
  QFile file(QStringLiteral("/proc/meminfo"));
  if (!file.open(QIODevice::ReadOnly))
    return std::nullopt;
  return ParseMemInfo(QString::fromLatin1(file.readAll()));
}

QString FreeMemText(const TMemoryStatus &status) {
  const double mb = static_cast<double>(status.AvailPhys + status.AvailPageFile) / 1048576.0;
  return QLocale().toString(mb, 'f', 2) + QStringLiteral(" MB");
}

std::optional<std::uint64_t> ReadTimeStampCounter() {
#if defined(__x86_64__) || defined(__i386__)
  return __rdtsc();
#else
  return std::nullopt;
#endif
}

double ClockMhz(std::uint64_t counterBefore, std::uint64_t counterAfter, double microseconds) {
  if (microseconds <= 0)
    return -1;
  // The whole difference: its lower 32 bits alone wrap after 4.3e9 counts, about one
  // second at today's clocks, and the span between two readings may be longer.
  return static_cast<double>(counterAfter - counterBefore) / microseconds;
}

QString MhzText(double mhz) {
  if (mhz < 0 || !std::isfinite(mhz))
    return QString();
  double rounded = mhz;
  if (mhz > 0) {
    const double scale = std::pow(10.0, 4 - std::floor(std::log10(mhz)));
    rounded = std::round(mhz * scale) / scale;
  }
  // Grouped as the free memory beside it, so that the page uses one notation.
  return QLocale().toString(rounded, 'f', 2);
}
