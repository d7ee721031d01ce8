#pragma once

// The built-in player: plays the relay of a recording, or a station itself, from the PLS
// text the core hands over, with a volume the user sets (kept in the preferences). A
// station address that is itself a playlist is resolved off the main thread first.
//
// Thread: main; the resolution worker reports back through a queued call.

#include "OwnedThreads.h"

#include <QObject>
#include <QUrl>

#include <memory>
#include <string>

class QAudioOutput;
class QMediaPlayer;

namespace orvanta {
class PreferencesReader;
}

namespace orvanta::ui {

class BuiltInPlayer : public QObject
{
    Q_OBJECT
public:
    explicit BuiltInPlayer(const PreferencesReader& prefs, QObject* parent = nullptr);
    ~BuiltInPlayer() override;

    /// Plays the first entry of a PLS text; false when the text names no address.
    bool play(const std::string& playlistText);
    void stop();
    /// Asked to play (it may still be connecting or buffering).
    bool isPlaying() const { return m_wanted; }
    /// 0 to 1.
    void setVolume(float volume);
    float volume() const;
    QMediaPlayer* mediaPlayer() const { return m_player; }

    /// The first File entry of a PLS text; empty when there is none.
    static QUrl firstEntryOfPlaylist(const std::string& playlistText);

signals:
    void playingChanged(bool playing);
    /// Playing failed; the text says why.
    void failed(const QString& reason);

private:
    void start(const QUrl& url);
    Q_INVOKABLE void resolved(quint64 generation, const QString& url);

    const PreferencesReader& m_prefs;
    QMediaPlayer* m_player;
    QAudioOutput* m_output;
    bool m_wanted = false;
    quint64 m_generation = 0; // a later play or stop outdates a resolution in progress
    OwnedThreads m_resolvers;
};

} // namespace orvanta::ui
