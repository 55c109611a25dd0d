// The tray host on a configuration it cannot read: it runs with an empty list, says so, and
// no way of saving writes over the file.
#include "gui/tray/SysTrayIconForm.h"

#include "RecordingSink.h"
#include "TestFiles.h"
#include "TestHelpers.h"

#include <QAction>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A binary file where the configuration should be: every save is refused and says why.
TEST(TrayFiles, AnUnreadableConfigurationRunsEmptyAndNoSaveWritesOverIt) {
  QTemporaryDir temp;
  const QString config = temp.filePath(QStringLiteral("k.ini"));
  static const char binary[] = "[General]\r\nCount=1\r\n\0\0\x13\x37[Action1]\r\n";
  const QByteArray bytes(binary, sizeof binary - 1);
  WriteBytes(config, bytes);
  TRecordingSink sink;
  QStringList boxes;
  int quits = 0;
  TSysTrayIconForm host(TStartupArgs{{config}, temp.path()}, [&](TSysTrayIconForm &h) {
    h.Scheduler().SetMessageSink(&sink);
    h.Scheduler().SetClock([] { return At(2026, 12, 8, 9, 0, 0); });
    h.TrayIcon()->TrayAreaAvailable = [] { return false; };
    h.Seams().MessageBox = [&](QMessageBox::Icon, const QString &text,
                               QMessageBox::StandardButtons) {
      boxes.append(text);
      return QMessageBox::No;
    };
    h.Seams().RunEditor = [](TEditorSession &session) {
      session.Rows.push_back(
          {NewActionEntry(tpDaily, At(2026, 1, 1, 8), QStringLiteral("neu")), -1, false});
      session.IntervalMs = 1000;
      return true;
    };
    h.Seams().ChooseFile = [&](bool, const QString &, const QString &) { return config; };
    h.Seams().Quit = [&] { ++quits; };
  });
  const QString refused = QStringLiteral("Die Datei „%1“ wird weder gelesen noch überschrieben: "
                                         "sie enthält NUL-Zeichen")
                              .arg(config);
  // Told once at the start (beside the note that there is no notification area here).
  EXPECT_EQ(sink.Texts().filter(refused).size(), 1) << sink.Texts().join(u'\n').toStdString();
  EXPECT_EQ(host.Scheduler().ActionList().Count(), 0);

  host.TrayIconClick(); // the editor's OK saves
  EXPECT_EQ(sink.Texts().filter(refused).size(), 2);
  host.Aktionensichern1()->trigger();
  EXPECT_EQ(sink.Texts().filter(refused).size(), 3);

  host.Beenden()->trigger();
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_TRUE(boxes[0].contains(QStringLiteral("NUL-Zeichen"))) << boxes[0].toStdString();
  EXPECT_TRUE(boxes[0].endsWith(QStringLiteral("Wollen Sie das Programm trotzdem schließen?")));
  EXPECT_EQ(quits, 0);

  EXPECT_FALSE(host.SaveOnExit()); // what SIGTERM does
  EXPECT_EQ(ReadBytes(config), bytes);
}

} // namespace
