#include "platform/WakeTimer.h"

#include <cerrno>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

// timerfd on CLOCK_REALTIME with an absolute time: the kernel compares with the wall clock, so
// the alarm comes on time after a suspend (the monotonic clocks Qt's timers use stand still
// then), and CANCEL_ON_SET ends the wait with ECANCELED whenever the clock is set.
class TTimerFdWakeTimer final : public TWakeTimer {
public:
  explicit TTimerFdWakeTimer(int fd) : FFd(fd) {}
  ~TTimerFdWakeTimer() override { close(FFd); }

  void ArmAt(std::int64_t utcMs) override {
    FArmedAt = utcMs;
    itimerspec alarm{};
    if (utcMs > 0) {
      alarm.it_value.tv_sec = static_cast<time_t>(utcMs / 1000);
      alarm.it_value.tv_nsec = static_cast<long>(utcMs % 1000) * 1000000L;
    }
    if (timerfd_settime(FFd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &alarm, nullptr) != 0 &&
        errno == ECANCELED) {
      // The clock was set since the last read, and the instant was chosen by the old time:
      // fire at once (an instant long past) and report the set then.
      FSetPending = true;
      alarm.it_value.tv_sec = 1;
      alarm.it_value.tv_nsec = 0;
      timerfd_settime(FFd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &alarm, nullptr);
    }
  }

  std::int64_t ArmedAt() const override { return FArmedAt; }
  int Descriptor() const override { return FFd; }

  TWakeEvent Take() override {
    std::uint64_t expirations = 0;
    for (;;) {
      const ssize_t n = read(FFd, &expirations, sizeof expirations);
      if (n == static_cast<ssize_t>(sizeof expirations)) {
        if (FSetPending) {
          FSetPending = false;
          ArmAt(FArmedAt);
          return TWakeEvent::ClockSet;
        }
        FArmedAt = 0; // a one-shot alarm, spent
        return TWakeEvent::Alarm;
      }
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0 && errno == ECANCELED) {
        // The read reports the set once; the alarm must be armed again to be relied on.
        ArmAt(FArmedAt);
        return TWakeEvent::ClockSet;
      }
      return TWakeEvent::None;
    }
  }

private:
  int FFd;
  std::int64_t FArmedAt = 0;
  bool FSetPending = false;
};

} // namespace

std::unique_ptr<TWakeTimer> NewSystemWakeTimer() {
  const int fd = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd < 0)
    return nullptr;
  return std::make_unique<TTimerFdWakeTimer>(fd);
}
