#include "platform/ExitSignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
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

// What HoldExitSignals changed, to be restored.
volatile std::sig_atomic_t ExitRequested = 0;
struct sigaction OldInt, OldTerm;
sigset_t OldMask;

void NoteExitRequest(int) {
  ExitRequested = 1;
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

void HoldExitSignals() {
  ExitRequested = 0;
  struct sigaction action {};
  action.sa_handler = NoteExitRequest;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &OldInt);
  sigaction(SIGTERM, &action, &OldTerm);
  // Blocked outside the wait: a request that comes while the program is busy stays pending
  // and ends the next wait at once, with no gap between a look at the flag and the wait.
  sigset_t ends;
  sigemptyset(&ends);
  sigaddset(&ends, SIGINT);
  sigaddset(&ends, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &ends, &OldMask);
}

void ReleaseExitSignals() {
  pthread_sigmask(SIG_SETMASK, &OldMask, nullptr);
  sigaction(SIGINT, &OldInt, nullptr);
  sigaction(SIGTERM, &OldTerm, nullptr);
}

bool WaitForExitSignal(int ms, int wakeFd) {
  if (ExitRequested)
    return true;
  sigset_t open = OldMask;
  sigdelset(&open, SIGINT);
  sigdelset(&open, SIGTERM);
  const timespec span{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  // Unblocks the two requests for the wait only, in one step with it.
  pollfd wake{wakeFd, POLLIN, 0};
  ppoll(wakeFd >= 0 ? &wake : nullptr, wakeFd >= 0 ? 1 : 0, ms < 0 ? nullptr : &span, &open);
  return ExitRequested != 0;
}
