// The operating system's requests to end the program (SIGTERM, SIGINT, SIGHUP on POSIX), delivered
// on the event loop so that the program can save before it ends.
#pragma once

#include <functional>

// Installs handlers for the end requests; onRequest runs on the thread's event loop, once
// per request. Call once, after the application object exists.
void WatchExitSignals(std::function<void(int signal)> onRequest);

// For a program without an event loop. From HoldExitSignals on, the end requests no longer end
// the program but are kept for WaitForExitSignal, also when they come while it is busy;
// ReleaseExitSignals restores what was there before. Not nested.
void HoldExitSignals();
void ReleaseExitSignals();
// Waits until an end request has come (now or since HoldExitSignals) or ms milliseconds have
// passed (ms < 0: no limit), or wakeFd (unless -1) has become readable; true when an end
// request has come.
bool WaitForExitSignal(int ms, int wakeFd = -1);
