#include "DesktopApplication.h"

#include "ApplicationCore.h"
#include "Log.h"
#include "MainController.h"
#include "MainWindow.h"
#include "PrefsController.h"
#include "StationTreeView.h"
#include "WindowFrontEnd.h"

#include <QApplication>
#include <QNetworkInformation>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

namespace orvanta::app {

namespace {

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

DesktopApplication::DesktopApplication(Options options)
    : DesktopApplication(std::move(options), ApplicationCoreOptions{})
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
    // The window goes first: it shows the core, which then shuts down and joins its threads.
    m_window.reset();
    m_core.reset();
}

void DesktopApplication::start()
{
    m_core->start();
    m_window->restoreState();
    m_window->show();
    watchNetwork();
    startRequestedRecordings();
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
            std::fputs("usage: orvanta [--record STATION]...\n"
                       "  --record STATION   start recording a station of the library "
                       "(\"Group/Name\")\n",
                       stdout);
            return std::nullopt;
        } else {
            std::fprintf(stderr, "orvanta: unknown argument \"%s\" (try --help)\n",
                         argument.toLocal8Bit().constData());
            return std::nullopt;
        }
    }
    return options;
}

} // namespace orvanta::app
