#include "base/Errors.h"
#include "storage/XIniFile.h"

#include "TestFiles.h"
#include "Unprivileged.h"
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QTemporaryDir>
#include <csignal>

#include <clocale>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

class IniFile : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(FTemp.isValid()); }
  QString Path(const QString &name = QStringLiteral("test.ini")) const {
    return FTemp.filePath(name);
  }
  QTemporaryDir FTemp;
};

TEST_F(IniFile, WritesSectionsInOrderWithCrLfAndReadsThemBackByteForByte) {
  {
    TXIniFile ini(Path());
    ini.WriteBool(QStringLiteral("General"), QStringLiteral("Logging"), false);
    ini.WriteInteger(QStringLiteral("General"), QStringLiteral("Count"), 1);
    ini.WriteString(QStringLiteral("Leer"), QStringLiteral("x"), QStringLiteral("1"));
    ini.DeleteKey(QStringLiteral("Leer"), QStringLiteral("x"));
    ini.WriteInteger(QStringLiteral("Action1"), QStringLiteral("TimePoint"), 2);
    ini.WriteString(QStringLiteral("Action1"), QStringLiteral("Action"), QStringLiteral("Grüße"));
    ini.UpdateFile();
  }
  const QByteArray expected = "[General]\r\nLogging=0\r\nCount=1\r\n\r\n"
                              "[Action1]\r\nTimePoint=2\r\nAction=Gr\xc3\xbc\xc3\x9f"
                              "e\r\n\r\n";
  EXPECT_EQ(ReadBytes(Path()), expected);

  TXIniFile again(Path());
  EXPECT_EQ(again.ReadString(QStringLiteral("action1"), QStringLiteral("ACTION"), QString()),
            QStringLiteral("Grüße"));
  again.WriteInteger(QStringLiteral("General"), QStringLiteral("Count"), 1);
  EXPECT_FALSE(again.Dirty());
}

TEST_F(IniFile, ReadsWindows1252WhenTheBytesAreNotUtf8) {
  WriteBytes(Path(), "[Allgemein]\nText=Gr\xfc\xdf"
                     "e \x80\n");
  TXIniFile ini(Path());
  EXPECT_EQ(ini.ReadString(QStringLiteral("ALLGEMEIN"), QStringLiteral("text"), QString()),
            QStringLiteral("Grüße €"));
}

TEST_F(IniFile, UmlautSectionNamesMatchInEitherCase) {
  WriteBytes(Path(), "[Übung]\nA=1\n");
  TXIniFile ini(Path());
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("üBUNG"), QStringLiteral("a"), 0), 1);
}

TEST_F(IniFile, LoadDropsLinesBeforeTheFirstHeaderAndKeepsOddLinesVerbatim) {
  WriteBytes(Path(), "vorher=1\n[A]\r\n; Kommentar\nk = v\n[B] \nx=1\r\rz\n\x1a"
                     "[C]\nc=1\n");
  TXIniFile ini(Path());
  QStringList sections;
  ini.ReadSections(sections);
  EXPECT_EQ(sections, QStringList({QStringLiteral("A")}));
  QStringList lines;
  ini.ReadSectionValues(QStringLiteral("A"), lines);
  // A CR alone ends a line as LF and CR LF do (old Mac files), so "x=1\r\rz" is two lines.
  EXPECT_EQ(lines,
            QStringList({QStringLiteral("; Kommentar"), QStringLiteral("k = v"),
                         QStringLiteral("[B] "), QStringLiteral("x=1"), QStringLiteral("z")}));
  EXPECT_EQ(ini.ReadString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("-")),
            QStringLiteral("-"));
  EXPECT_EQ(ini.ReadString(QStringLiteral("A"), QStringLiteral("k "), QString()),
            QStringLiteral(" v"));
  QStringList names;
  ini.ReadSection(QStringLiteral("a"), names);
  EXPECT_EQ(names, QStringList({QString(), QStringLiteral("k "), QString(), QStringLiteral("x"),
                                QString()}));

  ini.WriteString(QStringLiteral("A"), QStringLiteral("neu"), QStringLiteral("1"));
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes(Path()), QByteArray("[A]\r\n; Kommentar\r\nk = v\r\n[B] \r\nx=1\r\nz\r\n"
                                          "neu=1\r\n\r\n"));
}

TEST_F(IniFile, DuplicateSectionsKeepTheFirstAndAreDroppedOnlyByAChangingWrite) {
  const QByteArray original = "[Sec]\r\na=1\r\n\r\n[SEC]\r\na=2\r\nb=3\r\n\r\n";
  WriteBytes(Path(), original);
  {
    TXIniFile ini(Path());
    EXPECT_FALSE(ini.Dirty());
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("sec"), QStringLiteral("a"), 0), 1);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("sec"), QStringLiteral("b"), 0), 0);
    ini.UpdateFile();
  }
  EXPECT_EQ(ReadBytes(Path()), original);
  {
    TXIniFile ini(Path());
    ini.WriteInteger(QStringLiteral("Sec"), QStringLiteral("a"), 5);
    ini.UpdateFile();
  }
  EXPECT_EQ(ReadBytes(Path()), QByteArray("[Sec]\r\na=5\r\n\r\n"));
}

TEST_F(IniFile, DuplicateSectionEventMayKeepTheLaterOne) {
  WriteBytes(Path(), "[S]\na=1\n[s]\na=2\n");
  TXIniFile ini{QString()};
  ini.OnDuplicateSection = [](const QString &, QStringList &, QStringList &) { return false; };
  ini.LoadFromFile(Path());
  EXPECT_TRUE(ini.Dirty());
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("S"), QStringLiteral("a"), 0), 2);
}

TEST_F(IniFile, DuplicateKeysReadAndReplaceTheFirstLineOnly) {
  WriteBytes(Path(), "[S]\nk=1\nk=2\n");
  TXIniFile ini(Path());
  EXPECT_EQ(ini.ReadString(QStringLiteral("S"), QStringLiteral("K"), QString()),
            QStringLiteral("1"));
  ini.WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("9"));
  QStringList lines;
  ini.ReadSectionValues(QStringLiteral("S"), lines);
  EXPECT_EQ(lines, QStringList({QStringLiteral("k=9"), QStringLiteral("k=2")}));
}

TEST_F(IniFile, WritingAKeyInAnotherCaseReplacesTheLineAndAnEqualLineChangesNothing) {
  WriteBytes(Path(), "[General]\r\ncount=3\r\n\r\n");
  TXIniFile ini(Path());
  ini.WriteInteger(QStringLiteral("General"), QStringLiteral("Count"), 3);
  EXPECT_TRUE(ini.Dirty());
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes(Path()), QByteArray("[General]\r\nCount=3\r\n\r\n"));
  ini.WriteInteger(QStringLiteral("General"), QStringLiteral("Count"), 3);
  EXPECT_FALSE(ini.Dirty());
}

TEST_F(IniFile, ReadIntegerAcceptsDecimalAndHexFormsOnly) {
  WriteBytes(Path(), "[N]\na=0x1F\nb=0X1f\nc=$1f\nd=31\ne=  31\nf=31 \ng=1e3\nh=true\ni=\n"
                     "j=$FFFFFFFF\nk=2147483648\nl=-2147483648\nm=x1F\nn=$123456789\no=-\n");
  TXIniFile ini(Path());
  const auto read = [&](const char *key) {
    return ini.ReadInteger(QStringLiteral("N"), QString::fromLatin1(key), -7);
  };
  for (const char *key : {"a", "b", "c", "d", "e", "m"})
    EXPECT_EQ(read(key), 31) << key;
  for (const char *key : {"f", "g", "h", "i", "k", "n", "o", "missing"})
    EXPECT_EQ(read(key), -7) << key;
  EXPECT_EQ(read("j"), -1);
  EXPECT_EQ(read("l"), -2147483647 - 1);
}

TEST_F(IniFile, ReadBoolTakesAnyNonZeroIntegerAsTrue) {
  WriteBytes(Path(), "[B]\na=1\nb=2\nc=-1\nd=0\ne=yes\n");
  TXIniFile ini(Path());
  for (const char *key : {"a", "b", "c"})
    EXPECT_TRUE(ini.ReadBool(QStringLiteral("B"), QString::fromLatin1(key), false)) << key;
  EXPECT_FALSE(ini.ReadBool(QStringLiteral("B"), QStringLiteral("d"), true));
  EXPECT_TRUE(ini.ReadBool(QStringLiteral("B"), QStringLiteral("e"), true));
  EXPECT_FALSE(ini.ReadBool(QStringLiteral("B"), QStringLiteral("e"), false));
}

// Written with a point under any process locale (Qt sets it from LANG; printf follows it);
// read with a point, or with the comma that an earlier version wrote under a German locale.
TEST_F(IniFile, FloatsAreWrittenIn23CharactersWithAPointUnderAnyLocale) {
  const std::string before = std::setlocale(LC_NUMERIC, nullptr);
  const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  EXPECT_TRUE(german) << "the de_DE.UTF-8 locale is missing (tools/deps.sh generates it)";
  EXPECT_EQ(FloatIniText(1.5), QStringLiteral(" 1.50000000000000E+0000"));
  EXPECT_EQ(FloatIniText(45000.5), QStringLiteral(" 4.50005000000000E+0004"));
  EXPECT_EQ(FloatIniText(0), QStringLiteral(" 0.00000000000000E+0000"));
  EXPECT_EQ(FloatIniText(1.0 / 24), QStringLiteral(" 4.16666666666667E-0002"));
  EXPECT_EQ(FloatIniText(-0.00125), QStringLiteral("-1.25000000000000E-0003"));
  EXPECT_EQ(FloatIniText(1.0 / 24).size(), 23);
  std::setlocale(LC_NUMERIC, before.c_str());

  TXIniFile ini(Path());
  ini.WriteFloat(QStringLiteral("F"), QStringLiteral("w"), 12.5);
  ini.WriteString(QStringLiteral("F"), QStringLiteral("a"), QStringLiteral("12.5"));
  ini.WriteString(QStringLiteral("F"), QStringLiteral("b"), QStringLiteral("1.25e1"));
  ini.WriteString(QStringLiteral("F"), QStringLiteral("c"),
                  QStringLiteral(" 1,25000000000000E+0001"));
  ini.WriteString(QStringLiteral("F"), QStringLiteral("d"), QString());
  ini.WriteString(QStringLiteral("F"), QStringLiteral("e"), QStringLiteral("1e"));
  ini.WriteString(QStringLiteral("F"), QStringLiteral("f"), QStringLiteral("1,2,5"));
  ini.WriteString(QStringLiteral("F"), QStringLiteral("g"), QStringLiteral("1.2,5"));
  for (const char *key : {"w", "a", "b", "c"})
    EXPECT_EQ(ini.ReadFloat(QStringLiteral("F"), QString::fromLatin1(key), 0), 12.5) << key;
  for (const char *key : {"d", "e", "f", "g"})
    EXPECT_EQ(ini.ReadFloat(QStringLiteral("F"), QString::fromLatin1(key), 7), 7) << key;
  EXPECT_EQ(ini.ReadString(QStringLiteral("F"), QStringLiteral("w"), QString()),
            QStringLiteral(" 1.25000000000000E+0001"));
}

TEST_F(IniFile, TheEmptyKeyReadsALineStartingWithEqualsButWritingItErasesTheSection) {
  WriteBytes(Path(), "[S]\nohne\n=wert\n");
  TXIniFile ini(Path());
  EXPECT_EQ(ini.ReadString(QStringLiteral("S"), QString(), QStringLiteral("-")),
            QStringLiteral("wert"));
  ini.WriteString(QStringLiteral("S"), QString(), QStringLiteral("x"));
  QStringList sections;
  ini.ReadSections(sections);
  EXPECT_TRUE(sections.isEmpty());
  EXPECT_TRUE(ini.Dirty());
}

TEST_F(IniFile, APresentEmptyValueIsNotTheDefault) {
  WriteBytes(Path(), "[S]\nk=\n");
  TXIniFile ini(Path());
  EXPECT_EQ(ini.ReadString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("d")),
            QString());
}

TEST_F(IniFile, AMissingFileLoadsEmptyAndAWriteCreatesIt) {
  TXIniFile ini(Path(QStringLiteral("neu.ini")));
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("S"), QStringLiteral("k"), 4), 4);
  ini.UpdateFile();
  EXPECT_FALSE(QFile::exists(Path(QStringLiteral("neu.ini"))));
  ini.WriteInteger(QStringLiteral("S"), QStringLiteral("k"), 5);
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes(Path(QStringLiteral("neu.ini"))), QByteArray("[S]\r\nk=5\r\n\r\n"));
}

TEST_F(IniFile, AFolderThatDoesNotExistRaisesOnFlushAndStaysDirty) {
  TXIniFile ini(FTemp.filePath(QStringLiteral("fehlt/test.ini")));
  ini.WriteInteger(QStringLiteral("S"), QStringLiteral("k"), 1);
  try {
    ini.UpdateFile();
    FAIL() << "no error";
  } catch (const EInOutError &error) {
    EXPECT_TRUE(error.Message().contains(QStringLiteral("fehlt/test.ini")));
  }
  EXPECT_TRUE(ini.Dirty());
}

// The save runs as an unprivileged user: root writes into a read-only folder all the same.
TEST_F(IniFile, AFailedSaveInAReadOnlyFolderLeavesTheOldFileByteIdentical) {
  const QString folder = FTemp.filePath(QStringLiteral("nurlesen"));
  ASSERT_TRUE(QDir().mkdir(folder));
  const QString path = folder + QStringLiteral("/test.ini");
  const QByteArray original = "[S]\r\nk=1\r\n\r\n";
  WriteBytes(path, original);
  const int outcome = RunUnprivileged(
      [&] {
        if (!QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner))
          return 10;
        TXIniFile ini(path);
        ini.WriteInteger(QStringLiteral("S"), QStringLiteral("k"), 2);
        try {
          ini.UpdateFile();
          return 1;
        } catch (const EInOutError &) {
          return ini.Dirty() ? 0 : 2;
        }
      },
      {FTemp.path(), folder, path});
  QFile::setPermissions(folder,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  ASSERT_NE(outcome, NotUnprivileged) << "cannot become an unprivileged user";
  EXPECT_NE(outcome, 10) << "cannot make the folder read-only";
  EXPECT_NE(outcome, 1) << "the save raised nothing";
  EXPECT_NE(outcome, 2) << "a failed save left the file clean";
  EXPECT_EQ(outcome, 0);
  EXPECT_EQ(ReadBytes(path), original);
}

TEST_F(IniFile, AWriteThatFailsPartWayLeavesTheOldFileByteIdentical) {
  // A file size limit makes the write fail half-way, even for a user whom permissions do
  // not stop.
  const QByteArray original = "[S]\r\nk=1\r\n\r\n";
  WriteBytes(Path(), original);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool raised = false;
  {
    TXIniFile ini(Path());
    ini.WriteString(QStringLiteral("S"), QStringLiteral("k"), QString(200, u'x'));
    try {
      ini.UpdateFile();
    } catch (const EInOutError &) {
      raised = true;
    }
    EXPECT_TRUE(ini.Dirty());
  } // the destructor's flush fails too and must not throw
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(raised);
  EXPECT_EQ(ReadBytes(Path()), original);
  EXPECT_EQ(QDir(FTemp.path()).entryList(QDir::Files), QStringList{QStringLiteral("test.ini")});
}

TEST_F(IniFile, AnUnreadableFileRaisesAtConstruction) {
  // A folder stands in for a file that exists but cannot be read as one.
  ASSERT_TRUE(QDir().mkdir(Path(QStringLiteral("ordner.ini"))));
  EXPECT_THROW(TXIniFile ini(Path(QStringLiteral("ordner.ini"))), EInOutError);
}

TEST(SectionList, IndexOfSearchesFromTheLastHitAndResetsOnRemoval) {
  TSectionList list;
  EXPECT_EQ(list.IndexOf(QStringLiteral("a")), -1);
  list.Add(QStringLiteral("A"));
  list.Add(QStringLiteral("B"));
  list.Add(QStringLiteral("C"));
  EXPECT_EQ(list.IndexOf(QStringLiteral("c")), 2);
  EXPECT_EQ(list.LastIndex, 2);
  EXPECT_EQ(list.IndexOf(QStringLiteral("a")), 0);
  EXPECT_EQ(list.IndexOf(QStringLiteral("x")), -1);
  list.IndexOf(QStringLiteral("C"));
  list.Delete(2);
  EXPECT_EQ(list.LastIndex, 0);
  EXPECT_EQ(list.IndexOf(QStringLiteral("b")), 1);
}

} // namespace

namespace {

// Section lookup is indexed by the folded name: it must find exactly the names a
// case-insensitive comparison finds, umlauts, characters outside the BMP and all.
TEST(IniNames, FoldedNamesAreEqualExactlyWhenTheNamesMatch) {
  const QList<QPair<QString, QString>> pairs = {
      {QStringLiteral("Ärger"), QStringLiteral("äRGER")},
      {QStringLiteral("Straße"), QStringLiteral("STRASSE")},
      {QStringLiteral("ß"), QStringLiteral("ẞ")},
      {QStringLiteral("K"), QStringLiteral("\u212A")}, // Kelvin sign
      {QStringLiteral("s"), QStringLiteral("ſ")},
      {QStringLiteral("σ"), QStringLiteral("ς")},
      {QStringLiteral("Σ"), QStringLiteral("σ")},
      {QStringLiteral("İ"), QStringLiteral("i")},
      {QStringLiteral("\U00010400x"), QStringLiteral("\U00010428X")}, // Deseret, two units
      {QStringLiteral("Action1"), QStringLiteral("Action01")},
      {QString(QChar(0xD800)), QString(QChar(0xDC00))}, // lone surrogates
  };
  for (const auto &[a, b] : pairs)
    EXPECT_EQ(FoldedIniName(a) == FoldedIniName(b), SameIniName(a, b))
        << a.toStdString() << " / " << b.toStdString();
}

// Thousands of new sections: each lookup of a name in another case finds its section, and
// no write creates a second section of the same name.
TEST_F(IniFile, ManySectionsAreFoundInAnyCaseAndNeverDoubled) {
  {
    TXIniFile ini(Path());
    for (int i = 0; i < 3000; ++i)
      ini.WriteInteger(QStringLiteral("Äbschnitt\U00010400%1").arg(i), QStringLiteral("n"), i);
    for (int i = 0; i < 3000; ++i)
      ini.WriteInteger(QStringLiteral("äBSCHNITT\U00010428%1").arg(i), QStringLiteral("m"), i);
    ini.UpdateFile();
  }
  TXIniFile ini(Path());
  QStringList sections;
  ini.ReadSections(sections);
  EXPECT_EQ(sections.size(), 3000);
  for (int i = 0; i < 3000; i += 7) {
    const QString name = QStringLiteral("ÄBSCHNITT\U00010400%1").arg(i);
    EXPECT_EQ(ini.ReadInteger(name, QStringLiteral("N"), -1), i);
    EXPECT_EQ(ini.ReadInteger(name, QStringLiteral("M"), -1), i);
  }
  ini.EraseSection(QStringLiteral("äbschnitt\U000104285"));
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("Äbschnitt\U000104006"), QStringLiteral("n"), -1), 6);
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("Äbschnitt\U000104005"), QStringLiteral("n"), -1), -1);
}

// The forms a hand-edited file may hold: a plus sign, blanks, a long fraction, and numbers
// out of range, which read as the default.
TEST_F(IniFile, ReadFloatTakesSignsBlanksAndLongDigitsAndRefusesOverflow) {
  WriteBytes(Path(), "[F]\na=+1.5\nb=  -0.25E+2\nc= 4.16666666666667E-0002\n"
                     "d=0.0000000000000000000000000000000000000000000000000000000000000000000001\n"
                     "e=1e400\nf=-1e400\ng=+-1\n");
  TXIniFile ini(Path());
  const QString f = QStringLiteral("F");
  EXPECT_EQ(ini.ReadFloat(f, QStringLiteral("a"), 7), 1.5);
  EXPECT_EQ(ini.ReadFloat(f, QStringLiteral("b"), 7), -25);
  EXPECT_EQ(ini.ReadFloat(f, QStringLiteral("c"), 7), 0.0416666666666667);
  EXPECT_EQ(ini.ReadFloat(f, QStringLiteral("d"), 7), 1e-70);
  EXPECT_EQ(ini.ReadFloat(f, QStringLiteral("e"), 7), 7);
  EXPECT_EQ(ini.ReadFloat(f, QStringLiteral("f"), 7), 7);
  EXPECT_EQ(ini.ReadFloat(f, QStringLiteral("g"), 7), 7);
}

} // namespace
