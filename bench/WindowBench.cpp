// The desktop window under load, measured in-process (offscreen unless a display is set):
//   window_bench startup [STATIONS]        time from start to the window shown with a
//                                          library of that many stations (default 10,000)
//   window_bench stall STATION_BINARY [N] [SECONDS]
//                                          longest event-loop delay while N recordings of
//                                          the demo station run and their status updates
//                                          (default 100 for 30 s)
//   window_bench idle                      resident memory of the idle window

#include "ApplicationCore.h"
#include "DesktopApplication.h"
#include "Global.h"
#include "MainController.h"
#include "MainWindow.h"
#include "MyOLVController.h"
#include "NodePropertyKeys.h"
#include "PrefsController.h"
#include "PrefsKeys.h"
#include "StationTreeView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace orvanta;

namespace {

double residentMiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

struct Home
{
    std::filesystem::path folder;
    Home()
    {
        folder = std::filesystem::temp_directory_path() /
                 ("orvanta-window-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder / "data/Orvanta");
        std::filesystem::create_directories(folder / "Music");
        ::setenv("HOME", folder.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    }
    ~Home() { std::filesystem::remove_all(folder); }
    std::string support() const { return (folder / "data/Orvanta").string(); }
};

ApplicationCoreOptions optionsFor(const Home& home, PrefsController& prefs)
{
    ApplicationCoreOptions options;
    options.runStartupScript = false;
    options.watchSleep = false;
    options.supportFolder = home.support();
    options.prefs = &prefs;
    return options;
}

void writeLibrary(const Home& home, int stations, const std::string& url)
{
    MyOLVController library(nullptr, home.support());
    library.loadOLVData();
    Node* group = nullptr;
    for (int i = 0; i < stations; ++i) {
        if (i % 100 == 0)
            group = library.addChild(Node::kGroup, "Group " + std::to_string(i / 100), "");
        library.addChild(Node::kStream, group, "Station " + std::to_string(i), url);
    }
    library.saveOLVData();
}

int startup(int stations)
{
    Home home;
    writeLibrary(home, stations, "http://127.0.0.1:9/stream");
    PrefsController prefs((home.folder / "config/prefs.plist").string());
    QElapsedTimer clock;
    clock.start();
    app::DesktopApplication desktop({}, optionsFor(home, prefs));
    desktop.start();
    // Shown means laid out and painted once.
    desktop.window().repaint();
    QCoreApplication::processEvents();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    std::printf("startup: %d stations, window shown after %.3f s, %.1f MiB resident\n", stations,
                seconds, residentMiB());
    desktop.quitNow();
    return 0;
}

int stall(const std::string& station, int count, int seconds)
{
    Home home;
    const std::string port = std::to_string(20000 + (::getpid() % 20000));
    std::vector<std::string> args = {station,   "--port", port,
                                     "--songs", "3",      "--song-seconds",
                                     "10",      "--for",  std::to_string(seconds + 120)};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t stationPid = 0;
    if (::posix_spawn(&stationPid, station.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return 1;
    std::this_thread::sleep_for(std::chrono::seconds(8)); // the station encodes its songs
    writeLibrary(home, count, "http://127.0.0.1:" + port + "/stream");
    PrefsController prefs((home.folder / "config/prefs.plist").string());
    prefs.setPrefs(Value((home.folder / "Music").string()), prefs::kDownloadPath);
    prefs.setPrefs(Value(false), prefs::kAutoReconnect);
    {
        app::DesktopApplication desktop({}, optionsFor(home, prefs));
        desktop.start();
        auto& library = desktop.core().library();
        std::vector<Node*> streams = library.getAllStreams();
        // Started a tenth of a second apart: stations of different origins do not change
        // their titles in the same instant (all connections to the demo station would).
        for (std::size_t i = 0; i < streams.size(); ++i) {
            QTimer::singleShot(static_cast<int>(i) * 100, &desktop, [&desktop, node = streams[i]] {
                desktop.core().controller().startRecordingForNode(node,
                                                                  MainController::kSourceUser);
            });
        }
        desktop.window().stationList()->selectNodes({streams.front()});
        if (qEnvironmentVariableIsEmpty("ORVANTA_BENCH_COLLAPSED"))
            desktop.window().stationList()->expandAll();

        // A timer that should fire every 10 ms: how late it comes is the main thread's stall.
        QElapsedTimer since;
        since.start();
        qint64 last = 0;
        qint64 worst = 0;
        const qint64 settleUntil = static_cast<qint64>(streams.size()) * 100 + 3000; // all started
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 now = since.elapsed();
            if (now > settleUntil)
                worst = std::max(worst, now - last - 10);
            last = now;
        });
        probe.start(10);
        QTimer end;
        end.setSingleShot(true);
        QObject::connect(&end, &QTimer::timeout, [] { QCoreApplication::quit(); });
        end.start((seconds + 5) * 1000);
        last = since.elapsed();
        QCoreApplication::exec();
        int running = 0;
        for (Node* node : streams)
            running += node->rippingStatus() == RippingStatus::Running ? 1 : 0;
        std::printf("stall: %d recordings (%d running at the end) for %d s, longest event-loop "
                    "delay %lld ms, %.1f MiB resident\n",
                    count, running, seconds, static_cast<long long>(worst), residentMiB());
        desktop.quitNow();
    }
    ::kill(stationPid, SIGTERM);
    ::waitpid(stationPid, nullptr, 0);
    return 0;
}

int paint(int stations)
{
    Home home;
    writeLibrary(home, stations, "http://127.0.0.1:9/stream");
    PrefsController prefs((home.folder / "config/prefs.plist").string());
    app::DesktopApplication desktop({}, optionsFor(home, prefs));
    desktop.start();
    desktop.window().stationList()->expandAll();
    QCoreApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 20; ++i)
        desktop.window().repaint();
    std::printf("paint: %d stations expanded, %.1f ms per repaint of the window\n", stations,
                static_cast<double>(clock.nsecsElapsed()) / 1e6 / 20);
    clock.restart();
    for (int i = 0; i < 20; ++i)
        desktop.window().stationList()->viewport()->repaint();
    std::printf("paint: %.1f ms per repaint of the list\n",
                static_cast<double>(clock.nsecsElapsed()) / 1e6 / 20);
    desktop.quitNow();
    return 0;
}

int idle()
{
    Home home;
    writeLibrary(home, 20, "http://127.0.0.1:9/stream");
    PrefsController prefs((home.folder / "config/prefs.plist").string());
    app::DesktopApplication desktop({}, optionsFor(home, prefs));
    desktop.start();
    QTimer::singleShot(2000, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    std::printf("idle: window with 20 stations, %.1f MiB resident\n", residentMiB());
    desktop.quitNow();
    return 0;
}

// Names the events that hold the main thread longest (ORVANTA_BENCH_TRACE=1).
class TracingApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (!m_trace)
            return QApplication::notify(receiver, event);
        QElapsedTimer timer;
        timer.start();
        const int type = event->type();
        const bool result = QApplication::notify(receiver, event);
        const qint64 took = timer.elapsed();
        if (took >= 20)
            std::fprintf(stderr, "slow event: %lld ms, type %d, receiver %s %s\n",
                         static_cast<long long>(took), type, receiver->metaObject()->className(),
                         receiver->objectName().toLocal8Bit().constData());
        return result;
    }
    bool m_trace = !qEnvironmentVariableIsEmpty("ORVANTA_BENCH_TRACE");
};

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    const curl::Global curl;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TracingApplication application(argc, argv);
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "startup")
        return startup(argc > 2 ? std::atoi(argv[2]) : 10000);
    if (what == "stall" && argc > 2)
        return stall(argv[2], argc > 3 ? std::atoi(argv[3]) : 100,
                     argc > 4 ? std::atoi(argv[4]) : 30);
    if (what == "idle")
        return idle();
    if (what == "paint")
        return paint(argc > 2 ? std::atoi(argv[2]) : 100);
    std::fprintf(stderr,
                 "usage: window_bench startup [STATIONS] | stall STATION [N] [SECONDS] | idle\n");
    return 2;
}
