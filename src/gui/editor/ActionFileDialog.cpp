// The action-list file dialog.
#include "gui/editor/ActionFileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {
// The folder of the file chosen last; empty until one was.
QString LastFolder;
} // namespace

QString ActionFileFolder(const QString &preset) {
  if (!LastFolder.isEmpty() && QFileInfo(LastFolder).isDir())
    return LastFolder;
  if (!preset.isEmpty()) {
    const QString folder = QFileInfo(preset).absolutePath();
    if (QFileInfo(folder).isDir())
      return folder;
  }
  return QDir::homePath();
}

QString ChooseActionFile(QWidget *parent, bool save, const QString &title, const QString &preset) {
  // Two types, shown as "Kronolab - Dateien (*.ini)" and "Rest (*.*)".
  const QString filter = QStringLiteral("Kronolab - Dateien (*.ini);;Rest (*.*)");
  const QString folder = ActionFileFolder(preset);
  QFileDialog dialog(parent, title, folder, filter);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("ini"));
  if (save)
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (!preset.isEmpty())
    dialog.selectFile(QDir(folder).filePath(QFileInfo(preset).fileName()));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return QString();
  const QString chosen = dialog.selectedFiles().constFirst();
  LastFolder = QFileInfo(chosen).absolutePath();
  return chosen;
}
