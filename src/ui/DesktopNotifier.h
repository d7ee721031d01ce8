#pragma once

// Desktop notifications through the freedesktop Notifications service on the session bus.
// Without the service nothing is shown and nothing waits: the call is not answered for.
//
// Thread: main.

#include <QDBusConnection>
#include <QString>

namespace orvanta::ui {

class DesktopNotifier
{
public:
    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus());

    /// Shows summary and body; false when the bus or the service is not there.
    bool notify(const QString& summary, const QString& body);

private:
    QDBusConnection m_bus;
};

} // namespace orvanta::ui
