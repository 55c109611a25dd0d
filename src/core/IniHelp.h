// Where the configuration file lies by default: beside the program, or in a per-user folder.
#pragma once

#include "platform/Platform.h"

#include <QString>

// The default configuration file path, computed once and cached: kronolab.ini beside the
// running program if there is one, else .../Kronolab-Software/kronolab/kronolab.ini in the
// per-user folder, the same for every Kronolab program. May create the per-user folders
// (mode 0700) on the first call. The per-user folder comes from platform's environment.
QString ConfigFileLocation(TPlatform &platform = SystemPlatform());
// Replaces the cached path; the empty text makes the next ConfigFileLocation compute it anew.
void SetConfigFileLocation(const QString &path);
// Forgets the cached path (for tests).
void ResetConfigFileLocation();
