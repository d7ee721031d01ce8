#include "BuiltInPlayer.h"

#include "Log.h"
#include "StationResolution.h"
#include "StringExtensions.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QPointer>

#include <atomic>
#include <sstream>

namespace orvanta::ui {

namespace {

bool looksLikePlaylist(const QUrl& url)
{
    const QString path = url.path().toLower();
    return path.endsWith(QLatin1String(".pls")) || path.endsWith(QLatin1String(".m3u"));
}

} // namespace

BuiltInPlayer::BuiltInPlayer(const PreferencesReader& prefs, QObject* parent)
    : QObject(parent), m_prefs(prefs), m_player(new QMediaPlayer(this)),
      m_output(new QAudioOutput(this))
{
    m_player->setAudioOutput(m_output);
    m_output->setVolume(0.5f);
    connect(m_player, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString& text) {
                logMessage("BuiltInPlayer", text.toStdString());
                emit failed(text);
            });
}

BuiltInPlayer::~BuiltInPlayer()
{
    ++m_generation;
    m_resolvers.joinAll();
}

QUrl BuiltInPlayer::firstEntryOfPlaylist(const std::string& playlistText)
{
    std::istringstream in(playlistText);
    for (std::string line; std::getline(in, line);) {
        line = stringByTrimmingWhitespaceAndNewline(line);
        if (startsWithIgnoringCase(line, "File1="))
            return QUrl(QString::fromStdString(line.substr(6)));
    }
    return {};
}

bool BuiltInPlayer::play(const std::string& playlistText)
{
    const QUrl url = firstEntryOfPlaylist(playlistText);
    if (!url.isValid() || url.isEmpty())
        return false;
    stop();
    m_wanted = true;
    emit playingChanged(true);
    if (!looksLikePlaylist(url)) {
        start(url);
        return true;
    }
    // A station's playlist: resolved as a recording would be, then its first stream plays.
    const quint64 generation = ++m_generation;
    const std::string address = url.toString().toStdString();
    QPointer<BuiltInPlayer> self(this);
    m_resolvers.start("BuiltInPlayer::resolve", [this, self, generation, address] {
        const std::atomic<bool> cancelled{false};
        const StationResolution resolution =
            resolveStationURLs({address}, std::nullopt, m_prefs, cancelled, {});
        const QString first = resolution.resolved.empty()
                                  ? QString()
                                  : QString::fromStdString(stringByTrimmingWhitespaceAndNewline(
                                        resolution.resolved.front()));
        // The player outlives this thread (its destructor joins it).
        QMetaObject::invokeMethod(this, "resolved", Qt::QueuedConnection,
                                  Q_ARG(quint64, generation), Q_ARG(QString, first));
    });
    return true;
}

void BuiltInPlayer::resolved(quint64 generation, const QString& url)
{
    if (generation != m_generation || !m_wanted)
        return;
    if (url.isEmpty()) {
        stop();
        emit failed(tr("The station's playlist names no stream"));
        return;
    }
    start(QUrl(url));
}

void BuiltInPlayer::start(const QUrl& url)
{
    m_player->setSource(url);
    m_player->play();
}

void BuiltInPlayer::stop()
{
    ++m_generation;
    const bool was = m_wanted;
    m_wanted = false;
    m_player->stop();
    m_player->setSource(QUrl());
    if (was)
        emit playingChanged(false);
}

void BuiltInPlayer::setVolume(float volume)
{
    m_output->setVolume(std::clamp(volume, 0.0f, 1.0f));
}

float BuiltInPlayer::volume() const
{
    return m_output->volume();
}

} // namespace orvanta::ui
