// The edit dialog's tests share this: a dialog that records its refusals, its kind buttons,
// and showing a window as the user's click would.
#pragma once

#include "gui/editor/EditActionDlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>

// A dialog whose refusals of OK are recorded instead of shown in a box.
struct TDialogFixture : ::testing::Test {
  TDialogFixture() {
    dlg.ShowInputError = [this](const QString &text) { errors.append(text); };
  }
  TEditActionDlg dlg;
  QStringList errors;
};

// The radio button of the kind of time point with the given index.
inline QRadioButton *KindButton(TEditActionDlg &dlg, int kind) {
  return dlg.TimePointsGroup->findChildren<QRadioButton *>().at(kind);
}

// Shows a window and waits until it has the keyboard, as the user's click on it would.
inline void ShowActive(QWidget &window) {
  window.show();
  QApplication::setActiveWindow(&window);
  EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
}

using EditDialog = TDialogFixture;
