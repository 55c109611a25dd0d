// The operating system's requests to end the program (SIGTERM, SIGINT, SIGHUP on POSIX), delivered
// on the event loop so that the program can save before it ends.
#pragma once

#include <functional>

// Installs handlers for the end requests; onRequest runs on the thread's event loop, once
// per request. Call once, after the application object exists.
void WatchExitSignals(std::function<void(int signal)> onRequest);
