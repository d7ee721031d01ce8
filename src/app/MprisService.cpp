#include "MprisService.h"

#include "Log.h"

#include <QCoreApplication>
#include <QDBusMessage>

namespace orvanta::app {

namespace {
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
} // namespace

MprisService::MprisService(MediaControls& controls, QDBusConnection bus)
    : m_controls(controls), m_bus(std::move(bus))
{
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    if (!m_bus.isConnected()) {
        logMessage("MPRIS", "no session bus: the desktop's media controls will not see Orvanta");
        return;
    }
    if (!m_bus.registerObject(QLatin1String(kObjectPath), this)) {
        logMessage("MPRIS", "the media player object cannot be registered on the session bus");
        return;
    }
    m_registered = m_bus.registerService(QLatin1String(kServiceName));
    if (!m_registered)
        logMessage("MPRIS", m_bus.lastError().message().toStdString());
    connect(&m_controls, &MediaControls::changed, this, &MprisService::announceChanges);
    m_lastPlayer = {{QStringLiteral("PlaybackStatus"), playbackStatus()},
                    {QStringLiteral("Metadata"), metadata()}};
}

MprisService::~MprisService()
{
    if (m_registered)
        m_bus.unregisterService(QLatin1String(kServiceName));
    m_bus.unregisterObject(QLatin1String(kObjectPath));
}

QString MprisService::playbackStatus() const
{
    switch (m_controls.nowPlaying().status) {
    case MediaControls::Status::Playing:
        return QStringLiteral("Playing");
    case MediaControls::Status::Paused:
        return QStringLiteral("Paused");
    case MediaControls::Status::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

QVariantMap MprisService::metadata() const
{
    const MediaControls::NowPlaying now = m_controls.nowPlaying();
    if (now.station.isEmpty())
        return {{QStringLiteral("mpris:trackid"),
                 QVariant::fromValue(QDBusObjectPath(QLatin1String(kNoTrack)))}};
    // The station is the album the songs come from; between songs its name is the title.
    QVariantMap map{
        {QStringLiteral("mpris:trackid"),
         QVariant::fromValue(
             QDBusObjectPath(QStringLiteral("/org/orvanta/Station/") + now.stationId))},
        {QStringLiteral("xesam:album"), now.station},
        {QStringLiteral("xesam:title"), now.title.isEmpty() ? now.station : now.title},
    };
    if (!now.artist.isEmpty())
        map.insert(QStringLiteral("xesam:artist"), QStringList{now.artist});
    if (!now.logo.isEmpty())
        map.insert(QStringLiteral("mpris:artUrl"), now.logo);
    if (now.recording)
        map.insert(QStringLiteral("xesam:comment"),
                   QStringList{QCoreApplication::translate("MprisService", "Recording")});
    return map;
}

void MprisService::announceChanges()
{
    const MediaControls::NowPlaying now = m_controls.nowPlaying();
    const QVariantMap player{
        {QStringLiteral("PlaybackStatus"), playbackStatus()},
        {QStringLiteral("Metadata"), metadata()},
        {QStringLiteral("Volume"), now.volume},
        {QStringLiteral("CanPlay"), now.hasStations},
        {QStringLiteral("CanPause"), now.status == MediaControls::Status::Playing},
        {QStringLiteral("CanGoNext"), now.hasStations},
        {QStringLiteral("CanGoPrevious"), now.hasStations}};
    QVariantMap changed;
    for (auto it = player.begin(); it != player.end(); ++it)
        if (m_lastPlayer.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    m_lastPlayer = player;
    if (changed.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QLatin1String(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
    m_bus.send(signal);
}

MprisRootAdaptor::MprisRootAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), m_service(service)
{}

void MprisRootAdaptor::Raise()
{
    m_service->controls().raise();
}

void MprisRootAdaptor::Quit()
{
    m_service->controls().quit();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), m_service(service)
{}

double MprisPlayerAdaptor::volume() const
{
    return m_service->controls().nowPlaying().volume;
}

void MprisPlayerAdaptor::setVolume(double volume)
{
    m_service->controls().setVolume(volume);
}

bool MprisPlayerAdaptor::canSwitch() const
{
    return m_service->controls().nowPlaying().hasStations;
}

bool MprisPlayerAdaptor::canPlay() const
{
    return m_service->controls().nowPlaying().hasStations;
}

bool MprisPlayerAdaptor::canPause() const
{
    return m_service->controls().nowPlaying().status == MediaControls::Status::Playing;
}

void MprisPlayerAdaptor::Next()
{
    m_service->controls().next();
}

void MprisPlayerAdaptor::Previous()
{
    m_service->controls().previous();
}

void MprisPlayerAdaptor::Pause()
{
    m_service->controls().pause();
}

void MprisPlayerAdaptor::PlayPause()
{
    if (m_service->controls().nowPlaying().status == MediaControls::Status::Playing)
        m_service->controls().pause();
    else
        m_service->controls().play();
}

void MprisPlayerAdaptor::Stop()
{
    m_service->controls().stop();
}

void MprisPlayerAdaptor::Play()
{
    m_service->controls().play();
}

} // namespace orvanta::app
