// The operating system's reason for a failed file operation, as the German text the user reads.
#pragma once

#include <QString>

// The German text of a system error code (errno on POSIX), e.g. "Kein Speicherplatz auf dem
// Gerät" for ENOSPC. An unusual code still gets a German text that names it.
QString SystemErrorText(int error);
