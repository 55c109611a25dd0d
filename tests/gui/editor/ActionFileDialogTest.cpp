// The action-list file dialog as the tray menu and the editor open it, answered by the test
// from inside its modal loop.
#include "gui/editor/ActionFileDialog.h"

#include "XSession.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Opens the dialog; once it shows, notes the folder it shows and chooses answer (or cancels
// when answer is empty). The dialog's result.
QString Choose(bool save, const QString &preset, const QString &answer, QString *shownFolder) {
  QTimer::singleShot(0, [&] {
    QFileDialog *dialog = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] { return (dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())); }));
    *shownFolder = dialog->directory().absolutePath();
    if (answer.isEmpty()) {
      dialog->reject();
      return;
    }
    dialog->selectFile(answer);
    static_cast<QDialog *>(dialog)->accept(); // as the dialog's own button
  });
  return ChooseActionFile(nullptr, save, QStringLiteral("Aktionen sichern"), preset);
}

} // namespace

// First the preset's folder (for saving, the configuration's); from then on the folder of the
// file chosen last, by either dialog; a cancelled dialog changes nothing.
TEST(ActionFileDialog, OpensInTheFolderOfTheFileChosenLast) {
  QTemporaryDir config, other;
  const QString configFile = QDir(config.path()).filePath(QStringLiteral("kronolab.ini"));
  QString shown;

  const QString saved = QDir(other.path()).filePath(QStringLiteral("liste.ini"));
  EXPECT_EQ(Choose(true, configFile, saved, &shown), saved);
  EXPECT_EQ(shown, QDir(config.path()).absolutePath());

  EXPECT_EQ(Choose(false, QString(), QString(), &shown), QString());
  EXPECT_EQ(shown, QDir(other.path()).absolutePath());

  EXPECT_EQ(Choose(true, configFile, QString(), &shown), QString());
  EXPECT_EQ(shown, QDir(other.path()).absolutePath()) << "the preset's folder won";

  // A folder that has gone since: the preset's again.
  other.remove();
  EXPECT_EQ(ActionFileFolder(configFile), QDir(config.path()).absolutePath());
  EXPECT_EQ(ActionFileFolder(QString()), QDir::homePath());
}
