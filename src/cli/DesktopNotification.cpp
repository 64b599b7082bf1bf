#include "cli/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace {

// A notification service that does not answer by then is taken for none.
constexpr int kReplyTimeoutMs = 3000;

} // namespace

bool SendDesktopNotification(const QString& summary, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    // The desktop shows the viewer's name and icon beside it.
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("voluni-viewer"));
    call << QStringLiteral("Voluni Viewer") << 0U << QStringLiteral("voluni-viewer") << summary << body << QStringList()
         << hints << -1;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kReplyTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}
