// The edit dialog's action text: commands, placeholders, a picked program, its length; and OK
// with its refusals.
#include "EditDialogFixture.h"
#include "base/ActionEntry.h"
#include "gui/widgets/TimeEdit.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

TEST_F(EditDialog, CommandsReplaceTheCommandWordAndKeepTheArguments) {
  auto pick = [&](const QString &item) {
    dlg.CommandBoxChange(dlg.CommandBox->findText(item));
    return dlg.ActionEdit->text();
  };
  EXPECT_EQ(pick(QStringLiteral("Copy")), QStringLiteral("%Copy "));
  EXPECT_EQ(pick(QStringLiteral("Move")), QStringLiteral("%Move  "));
  dlg.ActionEdit->setText(QStringLiteral("%Copy a.txt b.txt"));
  EXPECT_EQ(pick(QStringLiteral("Delete")), QStringLiteral("%Delete  a.txt b.txt"));
  dlg.ActionEdit->setText(QStringLiteral("%Copy"));
  EXPECT_EQ(pick(QStringLiteral("Exec")), QStringLiteral("%Exec"));
  dlg.ActionEdit->setText(QStringLiteral("notepad.exe"));
  EXPECT_EQ(pick(QStringLiteral("Copy")), QStringLiteral("%Copy notepad.exe"));
  EXPECT_EQ(pick(QStringLiteral("LZHCopy")), QStringLiteral("%LZHCopy  notepad.exe"));
}

TEST_F(EditDialog, APlaceholderReplacesOnlyTheSelectionAndPutsTheCaretAfterIt) {
  dlg.ActionEdit->setText(QStringLiteral("%Copy a.txt b-XXX.txt"));
  dlg.ActionEdit->setSelection(14, 3);
  dlg.CommandBoxChange(dlg.CommandBox->findText(QStringLiteral("Year")));
  EXPECT_EQ(dlg.ActionEdit->text(), QStringLiteral("%Copy a.txt b-%Year%.txt"));
  EXPECT_EQ(dlg.ActionEdit->cursorPosition(), 20);
  dlg.CommandBoxChange(dlg.CommandBox->findText(QStringLiteral("Temp")));
  EXPECT_EQ(dlg.ActionEdit->text(), QStringLiteral("%Copy a.txt b-%Year%%Temp%.txt"));
}

TEST_F(EditDialog, ASelectionLostToTheCommandListIsStillReplaced) {
  dlg.show();
  QApplication::setActiveWindow(&dlg);
  dlg.ActionEdit->setFocus();
  dlg.ActionEdit->setText(QStringLiteral("a XXX b"));
  dlg.ActionEdit->setSelection(2, 3);
  dlg.CommandBox->setFocus(Qt::MouseFocusReason); // the line edit drops its selection here
  dlg.CommandBoxChange(dlg.CommandBox->findText(QStringLiteral("Hour")));
  EXPECT_EQ(dlg.ActionEdit->text(), QStringLiteral("a %Hour% b"));
}

// Also a path with blanks stays unquoted: a leading quote would make the action a message.
TEST_F(EditDialog, APickedProgramPathIsWrittenAsItIsAlsoWithBlanks) {
  QString chosen;
  dlg.ChooseProgramFile = [&] { return chosen; };
  dlg.ActionEdit->setText(QStringLiteral("alt"));
  chosen = QString();
  dlg.OpenBtnClick();
  EXPECT_EQ(dlg.ActionEdit->text(), QStringLiteral("alt"));
  chosen = QStringLiteral("/usr/bin/xterm");
  dlg.OpenBtn->click();
  EXPECT_EQ(dlg.ActionEdit->text(), QStringLiteral("/usr/bin/xterm"));
  chosen = QStringLiteral("/home/a/Meine Programme/x");
  dlg.OpenBtnClick();
  EXPECT_EQ(dlg.ActionEdit->text(), QStringLiteral("/home/a/Meine Programme/x"));
}

TEST_F(EditDialog, OKAndCancelEndTheDialog) {
  dlg.ActionEdit->setText(QStringLiteral("xterm"));
  dlg.FreqEdit->SetText(QStringLiteral("00:01:00"));
  dlg.show();
  dlg.OKBtn->click();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  dlg.show();
  QTest::keyClick(&dlg, Qt::Key_Escape);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  EXPECT_FALSE(dlg.isVisible());
}

TEST(ProgramFileFilter, ProgrammeShowsFoldersAndExecutablesAlleShowsEverything) {
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Meine Programme")));
  for (const char *name : {"run.sh", "notes.txt"}) {
    QFile file(dir.filePath(QString::fromUtf8(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
  }
  QFile::setPermissions(dir.filePath(QStringLiteral("run.sh")),
                        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QFile::setPermissions(dir.filePath(QStringLiteral("notes.txt")),
                        QFile::ReadOwner | QFile::WriteOwner);

  QFileSystemModel files;
  bool loaded = false;
  QObject::connect(&files, &QFileSystemModel::directoryLoaded, [&] { loaded = true; });
  const QModelIndex root = files.setRootPath(dir.path());
  ASSERT_TRUE(QTest::qWaitFor([&] { return loaded && files.rowCount(root) == 3; }, 30000));
  TProgramFileFilter filter;
  filter.setSourceModel(&files);
  auto shown = [&] {
    QStringList names;
    const QModelIndex parent = filter.mapFromSource(root);
    for (int row = 0; row < filter.rowCount(parent); ++row)
      names.append(filter.index(row, 0, parent).data().toString());
    names.sort();
    return names;
  };
  EXPECT_EQ(shown(), (QStringList{QStringLiteral("Meine Programme"), QStringLiteral("run.sh")}));
  filter.SetProgramsOnly(false);
  EXPECT_EQ(shown(), (QStringList{QStringLiteral("Meine Programme"), QStringLiteral("notes.txt"),
                                  QStringLiteral("run.sh")}));
}

TEST_F(EditDialog, OKRefusesAZeroFrequencyAndAnEmptyActionAndStaysOpen) {
  ShowActive(dlg);
  QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  EXPECT_TRUE(dlg.isVisible());
  ASSERT_EQ(errors.size(), 1);
  EXPECT_EQ(errors.last(), QStringLiteral("Bei „Frequenz“ muss der Abstand länger als 00:00:00 "
                                          "sein, sonst wird die Aktion nie ausgeführt."));
  EXPECT_EQ(QApplication::focusWidget(), dlg.FreqEdit);

  dlg.FreqEdit->setCursorPosition(0);
  QTest::keyClicks(dlg.FreqEdit, QStringLiteral("0005"));
  QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  EXPECT_TRUE(dlg.isVisible());
  ASSERT_EQ(errors.size(), 2);
  EXPECT_EQ(errors.last(), QStringLiteral("Bitte geben Sie die auszuführende Aktion ein."));
  EXPECT_EQ(QApplication::focusWidget(), dlg.ActionEdit);

  // Blanks are no action either; Enter in the field is OK as well.
  QTest::keyClicks(dlg.ActionEdit, QStringLiteral("   "));
  QTest::keyClick(dlg.ActionEdit, Qt::Key_Return);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(errors.size(), 3);

  QTest::keyClicks(dlg.ActionEdit, QStringLiteral("xterm"));
  QTest::keyClick(dlg.ActionEdit, Qt::Key_Return);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.FreqEdit->Text(), QStringLiteral("00:05:00"));
  EXPECT_EQ(errors.size(), 3);
}

TEST_F(EditDialog, AZeroIntervalIsNoHinderForTheOtherKinds) {
  dlg.ActionEdit->setText(QStringLiteral("xterm"));
  ShowActive(dlg);
  QTest::mouseClick(KindButton(dlg, tpDaily), Qt::LeftButton);
  QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_TRUE(errors.isEmpty());
}

// The refusal is a real warning window: Enter closes it, and the dialog stays open with
// everything typed into it.
TEST(EditDialogInputError, TheWarningClosesWithEnterAndTheDialogStaysOpen) {
  TEditActionDlg dlg;
  dlg.SetTimePointIndex(tpDaily);
  dlg.TimeEdit->SetText(QStringLiteral("07:15:00"));
  ShowActive(dlg);
  QString shown;
  QTimer::singleShot(0, [&shown] {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    shown = box->windowTitle() + u'|' + box->text();
    QTest::keyClick(box, Qt::Key_Return);
  });
  QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  EXPECT_EQ(shown,
            QStringLiteral("Aktion editieren|Bitte geben Sie die auszuführende Aktion ein."));
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_NE(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.TimeEdit->Text(), QStringLiteral("07:15:00"));
}

// 255 characters, counted as characters: a character outside the basic plane (two UTF-16
// units) is one, and a key or a paste that would go beyond is refused whole.
TEST_F(EditDialog, TheActionFieldTakesAtMost255Characters) {
  dlg.SetTimePointIndex(tpDaily);
  ShowActive(dlg);
  dlg.ActionEdit->setFocus();
  QTest::keyClicks(dlg.ActionEdit, QString(254, u'x'));
  const QString smile = QString::fromUcs4(U"\U0001F600");
  QApplication::clipboard()->setText(smile);
  QTest::keyClick(dlg.ActionEdit, Qt::Key_V, Qt::ControlModifier);
  const QString full = QString(254, u'x') + smile;
  EXPECT_EQ(dlg.ActionEdit->text(), full);
  QTest::keyClicks(dlg.ActionEdit, QStringLiteral("y"));
  EXPECT_EQ(dlg.ActionEdit->text(), full);
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), QStringLiteral("Eine Aktion hat höchstens 255 Zeichen."));
  QApplication::clipboard()->setText(QStringLiteral("abc"));
  dlg.ActionEdit->setCursorPosition(10);
  QTest::keyClick(dlg.ActionEdit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(dlg.ActionEdit->text(), full);
  QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(EditDialog, ACommandThatMakesTheTextTooLongIsRefusedOnOKNotCut) {
  dlg.SetTimePointIndex(tpDaily);
  dlg.ActionEdit->setText(QString(252, u'a'));
  dlg.CommandBoxChange(dlg.CommandBox->findText(QStringLiteral("Copy")));
  ShowActive(dlg);
  QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  EXPECT_TRUE(dlg.isVisible());
  ASSERT_EQ(errors.size(), 1);
  EXPECT_EQ(errors.last(),
            QStringLiteral("Die Aktion ist 258 Zeichen lang; erlaubt sind höchstens 255 Zeichen."));
  EXPECT_EQ(dlg.ActionEdit->text(), QStringLiteral("%Copy ") + QString(252, u'a'));
}
