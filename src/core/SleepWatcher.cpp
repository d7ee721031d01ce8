#include "SleepWatcher.h"

#include "Localization.h"
#include "Log.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace orvanta {

namespace {
const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
} // namespace

SleepWatcher::SleepWatcher(Handler willSleep, QDBusConnection bus)
    : m_willSleep(std::move(willSleep)), m_bus(std::move(bus))
{
    if (!m_bus.isConnected()) {
        logMessage("SleepWatcher", "no system bus: recordings cannot be ended before a sleep");
        return;
    }
    m_watching = m_bus.connect(kService, kPath, kManager, QStringLiteral("PrepareForSleep"), this,
                               SLOT(prepareForSleep(bool)));
    if (m_watching)
        takeInhibitor();
}

SleepWatcher::~SleepWatcher()
{
    if (m_watching)
        m_bus.disconnect(kService, kPath, kManager, QStringLiteral("PrepareForSleep"), this,
                         SLOT(prepareForSleep(bool)));
}

void SleepWatcher::takeInhibitor()
{
    if (m_inhibitor.isValid() || m_inhibitorRequested)
        return;
    m_inhibitorRequested = true;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kManager, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Orvanta")
         << QString::fromStdString(Orvanta::tr("Ending recordings before the system sleeps"))
         << QStringLiteral("delay");
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                QDBusPendingReply<QDBusUnixFileDescriptor> reply = *finished;
                m_inhibitorRequested = false;
                if (reply.isError())
                    logMessage("SleepWatcher", "logind refused a sleep inhibitor: " +
                                                   reply.error().message().toStdString());
                else
                    m_inhibitor = reply.value();
                finished->deleteLater();
            });
}

void SleepWatcher::prepareForSleep(bool start)
{
    if (!start) {
        takeInhibitor(); // awake again
        if (m_didWake)
            m_didWake();
        return;
    }
    if (m_willSleep)
        m_willSleep();
    // Closing our descriptor tells logind we are ready.
    m_inhibitor = QDBusUnixFileDescriptor();
}

} // namespace orvanta
