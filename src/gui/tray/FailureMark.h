// What the tray shows of failed calls: a mark drawn over the icon's picture, the tooltip's
// count and the failure's notification text. The tray host keeps the count.
#pragma once

#include <QIcon>
#include <QString>

// The icon with a red failure mark over its lower right corner, at every size it offers.
QIcon FailureMarkedIcon(const QIcon &icon);

// The tooltip's line for failed calls since "Verlauf" was last opened; empty for none.
QString FailureCountText(int failedCalls);

// The body of a failed call's notification: the row and action, then the result.
QString FailureNotificationText(int entryNumber, const QString &action, const QString &result);
