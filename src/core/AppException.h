// The application-wide error handler as windows reach it: a handler that catches an error of
// its own (so that the widget it runs in is not unwound) hands it on here.
#pragma once

#include <exception>

// Shows error as the tray program shows every uncaught error (the message window, caption
// "Fehler"); without the tray program's application object it is only logged.
void ReportAppException(const std::exception &error);
