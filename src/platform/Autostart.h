// Starting the program when the user logs in, the desktop's own way: on Linux an XDG
// autostart entry ($XDG_CONFIG_HOME/autostart, else ~/.config/autostart).
#pragma once

#include "base/ApplicationId.h"

#include <QString>
#include <QStringList>

// The file that starts the program at login.
QString AutostartFilePath();
// True when the program starts at login: our entry exists and is not switched off in it
// (Hidden=true or X-GNOME-Autostart-enabled=false, as desktops' own settings write).
bool AutostartEnabled();
// Writes the entry that starts program with arguments at login, or removes it. Raises
// EInOutError naming the file when it cannot be written or removed.
void SetAutostart(bool enabled, const QString &program, const QStringList &arguments);
// The Exec value of a desktop entry that starts program with arguments: each word quoted
// where the desktop entry rules ask for it, percent signs doubled, and the whole escaped as
// a desktop entry string.
QString DesktopExecLine(const QString &program, const QStringList &arguments);
