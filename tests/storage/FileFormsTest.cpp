// The forms a schedule file comes in, and the files we must neither read nor write over.
#include "base/Errors.h"
#include "storage/ActionListFile.h"
#include "storage/BigIniFile.h"

#include "TestFiles.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utime.h>

namespace {

// The same little action list in every form: an umlaut and a character beyond the BMP make
// a wrong decoding visible.
const QString ListText = QStringLiteral("[General]\r\nInterval=2000\r\nCount=1\r\n\r\n"
                                        "[Action1]\r\nTimePoint=2\r\nFirstDate=46000.5\r\n"
                                        "Action=\"Grüße 🌙\"\r\n");

QByteArray Utf16(const QString &text, bool littleEndian) {
  QStringEncoder encoder(littleEndian ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
  const QByteArray mark = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
  return mark + QByteArray(encoder.encode(text));
}

class FileForms : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(FTemp.isValid()); }
  QString Path(const QString &name = QStringLiteral("liste.ini")) const {
    return FTemp.filePath(name);
  }
  QTemporaryDir FTemp;
};

// Notepad's "Unicode" (UTF-16 LE), "Unicode big endian", "UTF-8" with its mark, old Mac line
// ends and a Windows-1252 file all read as the same list.
TEST_F(FileForms, Utf16Utf8WithMarkCrOnlyAndWindows1252ReadAlike) {
  QString crOnly = ListText;
  crOnly.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
  QString latin = ListText;
  latin.replace(QStringLiteral(" 🌙"), QString());
  const struct {
    const char *Form;
    QByteArray Bytes;
    QString Action;
  } forms[] = {
      {"UTF-16 LE", Utf16(ListText, true), QStringLiteral("\"Grüße 🌙\"")},
      {"UTF-16 BE", Utf16(ListText, false), QStringLiteral("\"Grüße 🌙\"")},
      {"UTF-8 mark", "\xEF\xBB\xBF" + ListText.toUtf8(), QStringLiteral("\"Grüße 🌙\"")},
      {"CR only", crOnly.toUtf8(), QStringLiteral("\"Grüße 🌙\"")},
      {"LF only", QString(ListText).remove(u'\r').toUtf8(), QStringLiteral("\"Grüße 🌙\"")},
      {"Windows-1252", latin.toLatin1(), QStringLiteral("\"Grüße\"")},
  };
  for (const auto &form : forms) {
    SCOPED_TRACE(form.Form);
    WriteBytes(Path(), form.Bytes);
    const TActionListContents contents = ReadActionListFile(Path());
    EXPECT_EQ(contents.IntervalMs, 2000);
    ASSERT_EQ(contents.Entries.size(), 1u);
    EXPECT_EQ(contents.Entries[0].Action.Text(), form.Action);
    EXPECT_EQ(contents.Entries[0].FirstDate, 46000.5);
    EXPECT_TRUE(contents.Report.IsEmpty());
  }
}

// A readable file in another form is saved as UTF-8 with CR LF, and nothing of it is lost.
TEST_F(FileForms, AUtf16FileIsSavedAsUtf8KeepingEveryLine) {
  QString text = ListText;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
  text += QStringLiteral("[Fremd]\rSchlüssel=Wert\r");
  WriteBytes(Path(), Utf16(text, false));
  WriteActionListFile(Path(), 3000, {NewActionEntry(tpDaily, 46001.25, QStringLiteral("neu"))});
  const QByteArray saved = ReadBytes(Path());
  EXPECT_TRUE(saved.startsWith("[General]\r\nInterval=3000\r\nCount=1\r\n\r\n[Action1]\r\n"));
  EXPECT_TRUE(saved.contains("[Fremd]\r\nSchlüssel=Wert\r\n")) << saved.toStdString();
  EXPECT_FALSE(saved.contains('\0'));
}

// Files that are no schedule of ours: a binary, UTF-16 without its mark, broken UTF-16, and
// other programs' files. Each is refused with a German reason, by the editor's load and save
// and the tray's load alike, and stays byte for byte as it was.
TEST_F(FileForms, FilesWeCannotUnderstandAreRefusedAndNeverWrittenOver) {
  static const char Elf[] = "\x7F"
                            "ELF\x02\x01\x01\0\0\0[General]\n";
  QByteArray noMark = Utf16(ListText, true).mid(2);
  QByteArray lonely = Utf16(ListText, true);
  lonely[10] = '\x00';
  lonely[11] = '\xD8'; // a high surrogate followed by no low one
  const struct {
    const char *Kind;
    QByteArray Bytes;
    const char *Reason;
  } files[] = {
      {"binary", QByteArray(Elf, sizeof Elf - 1), "NUL-Zeichen"},
      {"UTF-16 without mark", noMark, "NUL-Zeichen"},
      {"odd UTF-16", Utf16(ListText, true) + 'x', "UTF-16"},
      {"lonely surrogate", lonely, "UTF-16"},
      {"shell script", "#!/bin/sh\nrm -rf \"$HOME/tmp\"\n", "[General]"},
      {"desktop entry", "[Desktop Entry]\nName=Kronolab\nExec=kronolab\n", "anderen Programm"},
  };
  for (const auto &file : files) {
    SCOPED_TRACE(file.Kind);
    WriteBytes(Path(), file.Bytes);
    try {
      ReadActionListFile(Path());
      ADD_FAILURE() << "loaded";
    } catch (const EInOutError &error) {
      EXPECT_TRUE(error.Message().contains(QStringLiteral("weder gelesen noch überschrieben")))
          << error.what();
      EXPECT_TRUE(error.Reason().contains(QLatin1String(file.Reason))) << error.what();
      EXPECT_TRUE(error.Message().contains(QFileInfo(Path()).absoluteFilePath()));
    }
    EXPECT_THROW(WriteActionListFile(Path(), 1000, {}), EInOutError);
    EXPECT_EQ(ReadBytes(Path()), file.Bytes);
  }
}

// The engine never writes a file whose load it refused, even if a caller goes on after the
// error and changes the model.
TEST_F(FileForms, ARefusedFileStaysRefusedForEveryLaterFlush) {
  const QByteArray binary("[General]\nCount=0\n\0\x01\x02", 21);
  WriteBytes(Path(), binary);
  EXPECT_THROW(TXIniFile ini(Path()), EInOutError);
  // Loaded into an engine that was made for it: the refusal sticks to the engine.
  WriteBytes(Path(QStringLiteral("leer.ini")), "");
  TXIniFile ini(Path(QStringLiteral("leer.ini")));
  ini.SetFileName(QString());
  EXPECT_THROW(ini.SetFileName(Path()), EInOutError);
  ini.WriteString(QStringLiteral("General"), QStringLiteral("Count"), QStringLiteral("1"));
  EXPECT_THROW(ini.UpdateFile(), EInOutError);
  EXPECT_EQ(ReadBytes(Path()), binary);
}

// A flush that failed is not tried again by the engine's release once the cause is gone:
// the caller was told of the failure, so the file must still be the old one.
TEST_F(FileForms, AFailedSaveIsNotRetriedBehindTheCallersBack) {
  const QByteArray original("[General]\r\nCount=0\r\n");
  WriteBytes(Path(), original);
  const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  {
    TXIniFile ini(Path());
    ini.WriteString(QStringLiteral("General"), QStringLiteral("Lang"), QString(4000, u'x'));
    rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    try {
      ini.UpdateFile();
      ADD_FAILURE() << "saved beyond the size limit";
    } catch (const EInOutError &error) {
      EXPECT_EQ(error.Message(), QStringLiteral("Die Datei „%1“ kann nicht geschrieben werden: Die "
                                                "Datei überschreitet die erlaubte Dateigröße. Ihr "
                                                "bisheriger Inhalt ist unverändert.")
                                     .arg(QFileInfo(Path()).absoluteFilePath()));
    }
    setrlimit(RLIMIT_FSIZE, &old);
  }
  std::signal(SIGXFSZ, oldSignal);
  EXPECT_EQ(ReadBytes(Path()), original);
}

// An empty file and one of comments and blanks only are an empty list: read, and saved.
TEST_F(FileForms, EmptyAndCommentOnlyFilesAreEmptyListsThatMayBeSaved) {
  const QByteArray comments("; nur ein Kommentar\r\n\r\n# noch einer\r\n  \r\n");
  for (const QByteArray &bytes : {QByteArray(), comments}) {
    WriteBytes(Path(), bytes);
    EXPECT_TRUE(ReadActionListFile(Path()).Entries.empty());
    WriteActionListFile(Path(), 1000, {});
    EXPECT_TRUE(ReadBytes(Path()).startsWith("[General]\r\nInterval=1000\r\nCount=0\r\n"));
  }
}

// What we create is ours alone whatever the umask; an existing file keeps its read bits but
// loses write access for others.
TEST_F(FileForms, SavedFilesAreOwnerOnlyUnderUmask022) {
  const mode_t old = umask(022);
  WriteActionListFile(Path(), 1000, {});
  struct stat st {};
  ASSERT_EQ(stat(QFile::encodeName(Path()).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  ASSERT_EQ(chmod(QFile::encodeName(Path()).constData(), 0644), 0);
  WriteActionListFile(Path(), 2000, {});
  ASSERT_EQ(stat(QFile::encodeName(Path()).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  umask(old);
}

// A save killed between writing its temporary file and renaming it leaves "<name>.XXXXXX";
// only such leftovers that are ours, regular and older than a minute are removed.
TEST_F(FileForms, OnlyOurOldLeftoversOfAKilledSaveAreRemoved) {
  WriteBytes(Path(), "[General]\r\n");
  const auto make = [&](const QString &name, bool old) {
    WriteBytes(Path(name), "x");
    if (old) {
      utimbuf times{100000, 100000};
      utime(QFile::encodeName(Path(name)).constData(), &times);
    }
  };
  make(QStringLiteral("liste.ini.Ab12Cd"), true);  // ours and old: goes
  make(QStringLiteral("liste.ini.Xy34Zw"), false); // a save in progress: stays
  make(QStringLiteral("liste.ini.Ab-2Cd"), true);  // not the pattern: stays
  make(QStringLiteral("liste.ini.Ab12Cde"), true); // seven letters: stays
  make(QStringLiteral("andere.ini.Ab12Cd"), true); // another file's: stays
  ASSERT_TRUE(QDir(FTemp.path()).mkdir(QStringLiteral("liste.ini.Ordner")));
  ASSERT_TRUE(QFile::link(Path(QStringLiteral("andere.ini.Ab12Cd")),
                          Path(QStringLiteral("liste.ini.Link12"))));
  if (geteuid() == 0) {
    make(QStringLiteral("liste.ini.Fremd1"), true); // another user's: stays
    ASSERT_EQ(lchown(QFile::encodeName(Path(QStringLiteral("liste.ini.Fremd1"))).constData(), 65534,
                     65534),
              0);
  }
  RemoveStaleSaveFiles(Path());
  QStringList left =
      QDir(FTemp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
  left.sort();
  QStringList expected = {QStringLiteral("andere.ini.Ab12Cd"), QStringLiteral("liste.ini"),
                          QStringLiteral("liste.ini.Ab-2Cd"),  QStringLiteral("liste.ini.Ab12Cde"),
                          QStringLiteral("liste.ini.Link12"),  QStringLiteral("liste.ini.Ordner"),
                          QStringLiteral("liste.ini.Xy34Zw")};
  if (geteuid() == 0)
    expected.append(QStringLiteral("liste.ini.Fremd1"));
  expected.sort();
  EXPECT_EQ(left, expected);
}

} // namespace
