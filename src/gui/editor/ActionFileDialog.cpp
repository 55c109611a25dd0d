// The action-list file dialog.
#include "gui/editor/ActionFileDialog.h"

#include <QFileDialog>

QString ChooseActionFile(QWidget *parent, bool save, const QString &title, const QString &preset) {
  // Two types, shown as "Kronolab - Dateien (*.ini)" and "Rest (*.*)".
  const QString filter = QStringLiteral("Kronolab - Dateien (*.ini);;Rest (*.*)");
  QFileDialog dialog(parent, title, preset, filter);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("ini"));
  if (save)
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (!preset.isEmpty())
    dialog.selectFile(preset);
  return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
             ? dialog.selectedFiles().constFirst()
             : QString();
}
