#include "DesktopNotifier.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>

namespace orvanta::ui {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
}

DesktopNotifier::DesktopNotifier(QDBusConnection bus) : m_bus(std::move(bus)) {}

bool DesktopNotifier::notify(const QString& summary, const QString& body)
{
    if (!m_bus.isConnected() || !m_bus.interface() ||
        !m_bus.interface()->isServiceRegistered(kService).value())
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/Notifications"),
                                       kService, QStringLiteral("Notify"));
    call << QStringLiteral("Orvanta") << 0u << QStringLiteral("orvanta") << summary << body
         << QStringList() << QVariantMap() << -1;
    return m_bus.send(call);
}

} // namespace orvanta::ui
