// The file dialog of the action-list files, shared by the tray menu and the editor window.
#pragma once

#include <QString>

class QWidget;

// Asks for an action-list file with the filter "Kronolab - Dateien (*.ini)" / "Rest (*.*)";
// the save dialog does not ask before overwriting. The chosen file, or an empty text. The
// dialog opens in the folder of the file chosen last (by the tray menu or the editor, while
// the program runs), else in the preset's folder, else in the home folder; a preset's name is
// preselected.
QString ChooseActionFile(QWidget *parent, bool save, const QString &title, const QString &preset);

// The folder the next action-list file dialog opens in.
QString ActionFileFolder(const QString &preset);
