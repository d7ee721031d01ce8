#include "DesktopApplication.h"

#include "ApplicationCore.h"
#include "Log.h"
#include "MainController.h"
#include "MainWindow.h"
#include "MediaControls.h"
#include "MprisService.h"
#include "PrefsController.h"
#include "PrefsKeys.h"
#include "StationTreeView.h"
#include "TrayIcon.h"
#include "WindowFrontEnd.h"

#include "AtomicFile.h"
#include "Localization.h"
#include "PlaylistHelpers.h"
#include "Version.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QNetworkInformation>
#include <QStringList>
#include <QTextStream>
#include <QUrl>

#include <cstdio>

namespace orvanta::app {

// English where it is printed before the translations are installed.
const char* const kUsage = QT_TRANSLATE_NOOP(
    "Orvanta",
    "usage: orvanta [--record STATION]... [ADDRESS|PLAYLIST]...\n"
    "  ADDRESS            add a station by its web address (http, https)\n"
    "  PLAYLIST           add the stations of a .pls or .m3u file\n"
    "  --record STATION   start recording a station of the library (\"Group/Name\")\n"
    "  --version          print the version\n"
    "  --help             print this text\n"
    "A second start hands its addresses and playlists to the Orvanta already running.\n");

namespace {

// The connection the media controls are offered on.
constexpr const char* kMprisBus = "orvanta-mpris";

// The station at "Group/Sub/Name", or nothing.
Node* findStation(Node* root, const QString& path)
{
    Node* node = root;
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        Node* next = nullptr;
        for (const NodePtr& child : node->children()) {
            if (QString::fromStdString(child->name()) == part) {
                next = child.get();
                break;
            }
        }
        if (!next)
            return nullptr;
        node = next;
    }
    return node == root ? nullptr : node;
}

} // namespace

namespace {
/// The desktop program wakes the computer for its schedules and offers to set that up.
ApplicationCoreOptions desktopCoreOptions()
{
    ApplicationCoreOptions options;
    options.wakeFromSleep = true;
    options.verifyWakeFromSleep = true;
    return options;
}
} // namespace

DesktopApplication::DesktopApplication(Options options)
    : DesktopApplication(std::move(options), desktopCoreOptions())
{}

DesktopApplication::DesktopApplication(Options options, ApplicationCoreOptions coreOptions)
    : m_options(std::move(options))
{
    PrefsController& prefs =
        coreOptions.prefs ? *coreOptions.prefs : PrefsController::sharedInstance();
    m_frontEnd = std::make_unique<ui::WindowFrontEnd>(prefs);
    m_core = std::make_unique<ApplicationCore>(*m_frontEnd, coreOptions);
    m_window = std::make_unique<ui::MainWindow>(*m_core, m_frontEnd->player());
    m_frontEnd->attach(m_window.get());
    m_frontEnd->setQuitHandler([this] {
        // A fatal alert with a Quit button: nothing is asked any more.
        m_window->allowClose();
        m_core->shutDown();
        QCoreApplication::quit();
    });
    connect(m_window.get(), &ui::MainWindow::quitRequested, this, [this] { quit(); });
}

DesktopApplication::~DesktopApplication()
{
    // The window goes first (after the media controls, which look at it): it shows the core,
    // which then shuts down and joins its threads.
    stopMediaControls();
    m_tray.reset();
    m_window.reset();
    m_core.reset();
}

void DesktopApplication::start()
{
    m_core->start();
    m_window->restoreState();
    m_window->show();
    startMediaControls();
    startTray();
    watchNetwork();
    startRequestedRecordings();
    open(m_options.open);
}

void DesktopApplication::startMediaControls()
{
    m_mediaControls = std::make_unique<MediaControls>(*this);
    if (!m_options.mediaControlsBus.isEmpty()) {
        m_mpris = std::make_unique<MprisService>(
            *m_mediaControls,
            QDBusConnection::connectToBus(m_options.mediaControlsBus, QLatin1String(kMprisBus)));
        return;
    }
    // Only on the desktop session's own bus: without its address libdbus would start a bus
    // of its own, which nothing else listens on.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return;
    m_mpris = std::make_unique<MprisService>(
        *m_mediaControls,
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QLatin1String(kMprisBus)));
}

void DesktopApplication::startTray()
{
    m_tray = std::make_unique<ui::TrayIcon>(m_core->controller(), m_core->library());
    connect(m_tray.get(), &ui::TrayIcon::showRequested, this, [this](Node* station) {
        raiseWindow();
        if (station)
            m_window->stationList()->selectNodes({station});
    });
    connect(m_tray.get(), &ui::TrayIcon::quitRequested, this, [this] { quit(); });
    m_window->setHidesOnClose([this] {
        return m_tray && ui::TrayIcon::available() &&
               m_core->prefs().boolForKey(prefs::kKeepRecordingInTray);
    });
}

void DesktopApplication::stopMediaControls()
{
    if (m_mpris) {
        m_mpris.reset();
        QDBusConnection::disconnectFromBus(QLatin1String(kMprisBus));
    }
    m_mediaControls.reset();
}

void DesktopApplication::raiseWindow()
{
    if (m_window->isMinimized())
        m_window->showNormal();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void DesktopApplication::open(const QStringList& items)
{
    ui::StationTreeView& list = *m_window->stationList();
    QStringList problems;
    for (const QString& item : items) {
        const QUrl url = QUrl::fromUserInput(item, QDir::currentPath(), QUrl::AssumeLocalFile);
        QMimeData data;
        if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) {
            data.setText(item.trimmed()); // a .pls address is fetched without freezing the window
            list.drop(data, nullptr, -1);
            continue;
        }
        if (!url.isLocalFile()) {
            problems.append(tr("\"%1\" is neither a web address nor a file.").arg(item));
            continue;
        }
        const QString path = url.toLocalFile();
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (suffix == QLatin1String("pls")) {
            data.setUrls({QUrl::fromLocalFile(path)});
            list.drop(data, nullptr, -1);
        } else if (suffix == QLatin1String("m3u") || suffix == QLatin1String("m3u8")) {
            if (const QString problem = addM3UFile(path); !problem.isEmpty())
                problems.append(problem);
        } else {
            problems.append(tr("\"%1\" is not a station playlist (.pls or .m3u).")
                                .arg(QFileInfo(path).fileName()));
        }
    }
    if (!problems.isEmpty())
        m_frontEnd->showAlert(Alert{tr("Cannot Add Station").toStdString(),
                                    problems.join(QLatin1Char('\n')).toStdString()});
}

QString DesktopApplication::addM3UFile(const QString& path)
{
    std::string error;
    const auto text = readWholeFile(path.toStdString(), error);
    if (!text)
        return QString::fromStdString(error);
    // A station's playlist: its web addresses, in order, become the station's addresses.
    const std::vector<std::string> addresses = M3UHelper::webAddresses(*text);
    if (addresses.empty())
        return tr("\"%1\" holds no web address.").arg(QFileInfo(path).fileName());
    NodePtr node = Node::nodeWithName(QFileInfo(path).completeBaseName().toStdString(), addresses,
                                      Node::kStream);
    Node* added = node.get();
    m_core->library().addToRootNode(node);
    m_window->stationList()->selectNodes({added});
    return {};
}

bool DesktopApplication::quit()
{
    if (m_quitting)
        return true;
    if (!m_core->shouldTerminate())
        return false;
    quitNow();
    return true;
}

void DesktopApplication::quitNow()
{
    if (m_quitting)
        return;
    m_quitting = true;
    // Off the bus first: the desktop's controls no longer offer what is shutting down.
    stopMediaControls();
    m_tray.reset();
    m_window->saveState();
    m_core->shutDown();
    m_window->allowClose();
    m_window->close();
    QCoreApplication::quit();
}

void DesktopApplication::watchNetwork()
{
    // Only logged, as the status display shows each station's own trouble.
    if (!QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return;
    connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this, [] {
        logMessage("MainController", "Network location changed - Internet connection may be down");
    });
}

void DesktopApplication::startRequestedRecordings()
{
    std::vector<Node*> stations;
    for (const QString& path : m_options.record) {
        Node* node = findStation(m_core->library().rootNode(), path);
        if (!node) {
            logMessage("orvanta", "No station \"" + path.toStdString() + "\" to record");
            continue;
        }
        stations.push_back(node);
    }
    if (stations.empty())
        return;
    m_window->stationList()->selectNodes(stations);
    for (Node* node : m_core->library().getAllSelectedStreams(stations))
        m_core->controller().startRecordingForNode(node, MainController::kSourceUser);
}

std::optional<DesktopApplication::Options> parseArguments(const QStringList& arguments)
{
    DesktopApplication::Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--record") && i + 1 < arguments.size()) {
            options.record.append(arguments.at(++i));
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            std::fputs(localizedString(kUsage).c_str(), stdout);
            return std::nullopt;
        } else if (argument == QLatin1String("--version")) {
            std::printf("orvanta %s\n", kBundleVersion);
            return std::nullopt;
        } else if (!argument.startsWith(QLatin1String("--"))) {
            // A file named relative to this start's folder, which a running program handed
            // it does not share.
            const bool address = argument.contains(QLatin1String("://"));
            options.open.append(address ? argument : QFileInfo(argument).absoluteFilePath());
        } else {
            std::fprintf(stderr, "orvanta: %s\n",
                         Orvanta::tr("unknown argument \"%1\" (try --help)",
                                     {std::string(argument.toLocal8Bit().constData())})
                             .c_str());
            return std::nullopt;
        }
    }
    return options;
}

} // namespace orvanta::app
