#include "MediaControls.h"

#include "ApplicationCore.h"
#include "BuiltInPlayer.h"
#include "DesktopApplication.h"
#include "MainController.h"
#include "MainWindow.h"
#include "MyOLVController.h"
#include "Node.h"
#include "NodePropertyKeys.h"
#include "StationTreeView.h"
#include "WindowFrontEnd.h"

#include <functional>
#include <vector>

namespace orvanta::app {

namespace {
constexpr int kPollMilliseconds = 1000;

/// The library's stations in the order the list shows them.
std::vector<Node*> stationsOf(Node* group)
{
    std::vector<Node*> stations;
    std::function<void(Node*)> walk = [&](Node* node) {
        for (const NodePtr& child : node->children()) {
            if (child->nodeType() == Node::kStream)
                stations.push_back(child.get());
            else
                walk(child.get());
        }
    };
    if (group)
        walk(group);
    return stations;
}
} // namespace

MediaControls::MediaControls(DesktopApplication& application, QObject* parent)
    : QObject(parent), m_application(application)
{
    // The song changes on the recording's thread; once a second is how often the status
    // display looks too.
    m_poll.setInterval(kPollMilliseconds);
    connect(&m_poll, &QTimer::timeout, this, &MediaControls::refresh);
    connect(&m_application.frontEnd().player(), &ui::BuiltInPlayer::playingChanged, this,
            &MediaControls::refresh);
    m_poll.start();
    refresh();
}

MediaControls::~MediaControls() = default;

std::pair<QString, QString> MediaControls::splitSong(const QString& song)
{
    const auto at = song.indexOf(QLatin1String(" - "));
    if (at <= 0)
        return {QString(), song.trimmed()};
    return {song.left(at).trimmed(), song.mid(at + 3).trimmed()};
}

void MediaControls::refresh()
{
    MainController& controller = m_application.core().controller();
    NowPlaying now;
    Node* station = controller.playingNode();
    const NodePtr paused = m_paused.lock();
    if (station) {
        now.status = Status::Playing;
        m_paused.reset();
    } else if (paused && paused->parent()) {
        now.status = Status::Paused;
        station = paused.get();
    }
    if (station) {
        now.station = QString::fromStdString(station->name());
        now.stationId = QString::number(reinterpret_cast<quintptr>(station), 16);
        now.recording = station->isRecording();
        if (const auto logo = station->propertyForKey(np::NP_LOGO_URL); logo && logo->isString())
            now.logo = QString::fromStdString(logo->toString());
        if (now.status == Status::Playing)
            std::tie(now.artist, now.title) =
                splitSong(QString::fromStdString(controller.currentSongOf(station)));
    }
    now.volume = m_application.frontEnd().player().volume();
    now.hasStations = !stationsOf(m_application.core().library().rootNode()).empty();
    if (now == m_now)
        return;
    m_now = now;
    emit changed();
}

Node* MediaControls::stationAfter(Node* node, int step) const
{
    const std::vector<Node*> stations = stationsOf(m_application.core().library().rootNode());
    if (stations.empty())
        return nullptr;
    const auto count = static_cast<long>(stations.size());
    long at = -1;
    for (long i = 0; i < count; ++i)
        if (stations[static_cast<std::size_t>(i)] == node)
            at = i;
    if (at < 0)
        return stations[step > 0 ? 0 : stations.size() - 1];
    return stations[static_cast<std::size_t>(((at + step) % count + count) % count)];
}

void MediaControls::listenTo(Node* node)
{
    if (!node)
        return;
    m_application.window().stationList()->selectNodes({node});
    MainController& controller = m_application.core().controller();
    // Listen toggles: pressed on the station heard, it would stop it.
    if (controller.visibleNode() == node && controller.playingNode() != node)
        m_application.window().listen();
    refresh();
}

void MediaControls::play()
{
    MainController& controller = m_application.core().controller();
    if (controller.playingNode())
        return;
    Node* target = m_paused.lock().get();
    if (!target || !target->parent())
        target = controller.visibleNode();
    if (!target)
        target = stationAfter(nullptr, 1);
    listenTo(target);
}

void MediaControls::pause()
{
    MainController& controller = m_application.core().controller();
    Node* station = controller.playingNode();
    if (!station)
        return;
    m_application.window().stationList()->selectNodes({station});
    if (controller.visibleNode() == station && controller.playingNode() == station)
        m_application.window().listen();
    m_paused = station->weak_from_this();
    refresh();
}

void MediaControls::stop()
{
    pause();
    m_paused.reset();
    refresh();
}

void MediaControls::next()
{
    switchStation(1);
}

void MediaControls::previous()
{
    switchStation(-1);
}

void MediaControls::switchStation(int step)
{
    // From the station heard, else the one paused, else the one the window shows.
    MainController& controller = m_application.core().controller();
    Node* from = controller.playingNode();
    if (!from)
        from = m_paused.lock().get();
    if (!from)
        from = controller.visibleNode();
    Node* target = stationAfter(from, step);
    pause();
    listenTo(target);
}

void MediaControls::setVolume(double volume)
{
    m_application.frontEnd().player().setVolume(static_cast<float>(volume));
    refresh();
}

void MediaControls::raise()
{
    m_application.raiseWindow();
}

void MediaControls::quit()
{
    m_application.quit();
}

} // namespace orvanta::app
