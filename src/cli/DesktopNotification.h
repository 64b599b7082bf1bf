// A message on the desktop through its notification service
// (org.freedesktop.Notifications on the session bus).
#pragma once

#include <QString>

// Shows summary, with body below it; false when no session bus or no notification
// service answered within a few seconds.
bool SendDesktopNotification(const QString& summary, const QString& body);
