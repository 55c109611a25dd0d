// An alarm on the wall clock: it fires at an instant of the wall clock, so that a suspend or a
// clock set by hand or by NTP never makes it late, and it tells when the clock was set.
#pragma once

#include <cstdint>
#include <memory>

// What the alarm had to tell when its descriptor turned readable.
enum class TWakeEvent : std::uint8_t {
  None,     // nothing (read again too early, or disarmed meanwhile)
  Alarm,    // the armed instant has come
  ClockSet, // the wall clock was set (a step, a resume that moved it): times are to be looked at
};

// One wall-clock alarm; the owner watches Descriptor and calls Take when it is readable.
class TWakeTimer {
public:
  TWakeTimer() = default;
  virtual ~TWakeTimer() = default;
  TWakeTimer(const TWakeTimer &) = delete;
  TWakeTimer &operator=(const TWakeTimer &) = delete;

  // Arms the alarm for the instant utcMs (milliseconds since 1970 UTC), replacing the one
  // before; an instant already passed fires at once. 0 disarms it.
  virtual void ArmAt(std::int64_t utcMs) = 0;
  // The instant armed, 0 when disarmed.
  virtual std::int64_t ArmedAt() const = 0;
  // Readable when the alarm fired or the clock was set; -1 where there is nothing to watch.
  virtual int Descriptor() const = 0;
  // What made the descriptor readable; the alarm stays armed after a ClockSet.
  virtual TWakeEvent Take() = 0;
};

// The system's alarm (timerfd on CLOCK_REALTIME on Linux); nullptr when none can be made.
std::unique_ptr<TWakeTimer> NewSystemWakeTimer();
