#pragma once

// What the desktop's media controls (MPRIS: the panel's player applet, the lock screen,
// playerctl) see of Orvanta and may ask of it: the station heard and its song, whether it
// plays, is paused or stopped, the built-in player's volume; play, pause, stop, the next
// and previous station of the library. Commands go through the window as the Listen button
// does, so the window shows what the controls did.
//
// Thread: main.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

namespace orvanta {
class Node;
}

namespace orvanta::app {

class DesktopApplication;

class MediaControls : public QObject
{
    Q_OBJECT
public:
    enum class Status { Stopped, Playing, Paused };

    struct NowPlaying
    {
        Status status = Status::Stopped;
        QString station;   // the station heard, or paused (empty when stopped)
        QString stationId; // a name of the station that stays the same while it exists
        QString artist;    // of the song, when its title names one
        QString title;     // the song, or nothing between songs
        QString logo;      // the address of the station's logo, where known
        bool recording = false;
        double volume = 1.0;
        bool hasStations = false;
        bool operator==(const NowPlaying&) const = default;
    };

    explicit MediaControls(DesktopApplication& application, QObject* parent = nullptr);
    ~MediaControls() override;

    /// As it is now (what the bus asks is answered from the program, not the last poll).
    NowPlaying nowPlaying()
    {
        refresh();
        return m_now;
    }
    /// "Artist - Title" apart, at the first " - "; all title when there is none.
    static std::pair<QString, QString> splitSong(const QString& song);

    void play();
    void pause();
    void stop();
    /// The next (previous) station of the library, in the order the list shows them, heard.
    void next();
    void previous();
    void setVolume(double volume);
    void raise();
    void quit();

signals:
    /// Something the controls show has changed.
    void changed();

private:
    void refresh();
    Node* stationAfter(Node* node, int step) const;
    void listenTo(Node* node);
    void switchStation(int step);

    DesktopApplication& m_application;
    QTimer m_poll;
    NowPlaying m_now;
    std::weak_ptr<Node> m_paused; // the station to play again after a pause
};

} // namespace orvanta::app
