// The tray host's tests share this: a host on a configuration in a temporary folder, and an
// entry with a given last run.
#pragma once

#include "RecordingSink.h"
#include "TestHelpers.h"
#include "gui/tray/SysTrayIconForm.h"

#include <QMessageBox>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// A tray host on a configuration in a temporary folder, with every dialog replaced.
class TrayHost : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(FTemp.isValid()); }

  std::unique_ptr<TSysTrayIconForm> Start(const QString &configName = QStringLiteral("k.ini")) {
    Config = FTemp.filePath(configName);
    auto host = std::make_unique<TSysTrayIconForm>(
        TStartupArgs{{Config}, FTemp.path()}, [this](TSysTrayIconForm &h) {
          h.Scheduler().SetMessageSink(&Sink);
          h.Scheduler().SetClock([] { return At(2026, 12, 8, 9, 0, 0); });
          h.TrayIcon()->TrayAreaAvailable = [] { return false; };
          h.TrayIcon()->NoTrayGraceMs = NoTrayGraceMs;
          h.Seams().MessageBox = [this](QMessageBox::Icon icon, const QString &text,
                                        QMessageBox::StandardButtons buttons) {
            Boxes.append(text);
            LastIcon = icon;
            LastButtons = buttons;
            return Answer;
          };
          h.Seams().Quit = [this] { ++Quits; };
          h.Seams().KeyboardModifiers = [this] { return Modifiers; };
        });
    return host;
  }

  QTemporaryDir FTemp;
  QString Config;
  // Longer than any test, so that the notice that there is no notification area arrives only
  // where a test waits for it, never racing what another test counts.
  int NoTrayGraceMs = 24 * 60 * 60 * 1000;
  TRecordingSink Sink;
  QStringList Boxes;
  QMessageBox::Icon LastIcon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons LastButtons;
  QMessageBox::StandardButton Answer = QMessageBox::No;
  int Quits = 0;
  Qt::KeyboardModifiers Modifiers = Qt::NoModifier;
};

// A daily entry at 08:00 doing action, last run at last.
inline TActionEntry Entry(const QString &action, TDateTime last) {
  TActionEntry entry = NewActionEntry(tpDaily, At(2026, 1, 1, 8, 0, 0), action);
  entry.LastDate = last;
  return entry;
}
