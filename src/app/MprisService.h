#pragma once

// Orvanta on the session bus as an MPRIS media player ("org.mpris.MediaPlayer2.orvanta",
// /org/mpris/MediaPlayer2), so the desktop's media controls, the lock screen and playerctl
// show the station heard and its song and can play, pause, stop and switch stations.
// Both interfaces read and act through MediaControls; every change it reports goes out as
// one PropertiesChanged signal per interface.
//
// Thread: main.

#include "MediaControls.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

namespace orvanta::app {

class MprisService : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.orvanta";
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

    MprisService(MediaControls& controls, QDBusConnection bus = QDBusConnection::sessionBus());
    ~MprisService() override;

    /// Registered on the bus (false without a session bus or when the name is taken).
    bool registered() const { return m_registered; }
    MediaControls& controls() { return m_controls; }

    /// The Player interface's Metadata for what is heard now.
    QVariantMap metadata() const;
    QString playbackStatus() const;

private:
    void announceChanges();

    MediaControls& m_controls;
    QDBusConnection m_bus;
    bool m_registered = false;
    QVariantMap m_lastPlayer; // the Player properties last announced
};

// org.mpris.MediaPlayer2
class MprisRootAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    explicit MprisRootAdaptor(MprisService* service);

    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return QStringLiteral("Orvanta"); }
    QString desktopEntry() const { return QStringLiteral("orvanta"); }
    QStringList supportedUriSchemes() const { return {}; }
    QStringList supportedMimeTypes() const { return {}; }

public slots:
    void Raise();
    void Quit();

private:
    MprisService* m_service;
};

// org.mpris.MediaPlayer2.Player
class MprisPlayerAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(bool CanGoNext READ canSwitch)
    Q_PROPERTY(bool CanGoPrevious READ canSwitch)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    explicit MprisPlayerAdaptor(MprisService* service);

    QString playbackStatus() const { return m_service->playbackStatus(); }
    // A radio plays at its own pace: no other rate, no position, no seeking.
    double rate() const { return 1.0; }
    void setRate(double) {}
    QVariantMap metadata() const { return m_service->metadata(); }
    double volume() const;
    void setVolume(double volume);
    qlonglong position() const { return 0; }
    bool canSwitch() const;
    bool canPlay() const;
    bool canPause() const;
    bool canSeek() const { return false; }
    bool canControl() const { return true; }

public slots:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString&) {}

private:
    MprisService* m_service;
};

} // namespace orvanta::app
