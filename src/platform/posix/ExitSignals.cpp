#include "platform/ExitSignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int WakeFds[2] = {-1, -1};
// Lives as long as the process; kept here so that it stays reachable.
QSocketNotifier *Notifier = nullptr;

// Only async-signal-safe work here: the event loop does the rest.
void OnSignal(int signal) {
  const unsigned char byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t n = write(WakeFds[1], &byte, 1);
}
} // namespace

void WatchExitSignals(std::function<void(int signal)> onRequest) {
  if (WakeFds[0] >= 0 || pipe(WakeFds) != 0)
    return;
  fcntl(WakeFds[0], F_SETFD, FD_CLOEXEC);
  fcntl(WakeFds[1], F_SETFD, FD_CLOEXEC);
  fcntl(WakeFds[1], F_SETFL, O_NONBLOCK);
  Notifier = new QSocketNotifier(WakeFds[0], QSocketNotifier::Read);
  QObject::connect(Notifier, &QSocketNotifier::activated, Notifier,
                   [onRequest = std::move(onRequest)] {
                     unsigned char byte = 0;
                     if (read(WakeFds[0], &byte, 1) == 1 && onRequest)
                       onRequest(byte);
                   });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  // The terminal it was started from closes.
  sigaction(SIGHUP, &action, nullptr);
}
