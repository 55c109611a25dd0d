// The file dialog of the action-list files, shared by the tray menu and the editor window.
#pragma once

#include <QString>

class QWidget;

// Asks for an action-list file with the filter "Kronolab - Dateien (*.ini)" / "Rest (*.*)";
// the save dialog does not ask before overwriting. The chosen file, or an empty text.
QString ChooseActionFile(QWidget *parent, bool save, const QString &title, const QString &preset);
