// Program launch: starts one program call and says, in the user's words, why it did not start.
#pragma once

#include "platform/Platform.h"

#include <QString>
#include <cstdint>

// Starts commandLine (split by the Windows rules, no shell) with folder as its working folder
// (empty: ours). Returns an empty text when it started (and sets *processId, if given),
// else the German reason the user reads ("Datei nicht gefunden !", ...).
QString StartProgram(const QString &folder, const QString &commandLine,
                     std::int64_t *processId = nullptr, TPlatform &platform = SystemPlatform());
