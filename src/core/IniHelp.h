// Where the configuration file lies by default: beside the program, or in a per-user folder.
#pragma once

#include <QString>

// The default configuration file path, computed once and cached: kronolab.ini beside the
// running program if there is one, else .../Kronolab-Software/kronolab/kronolab.ini in the
// per-user folder, the same for every Kronolab program. May create the per-user folders
// (mode 0700) on the first call.
QString ConfigFileLocation();
// Replaces the cached path; the empty text makes the next ConfigFileLocation compute it anew.
void SetConfigFileLocation(const QString &path);
// Forgets the cached path (for tests).
void ResetConfigFileLocation();
