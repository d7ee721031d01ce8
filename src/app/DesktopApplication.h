#pragma once

// The desktop program as one object: the window's front end, the application core, the
// main window, and what only a desktop program has (the network watcher, the quit flow
// through the window). main() creates it once with the QApplication.
//
// Thread: main.

#include <QObject>
#include <QStringList>

#include <optional>

#include <memory>

class QNetworkInformation;

namespace orvanta {
class ApplicationCore;
struct ApplicationCoreOptions;
} // namespace orvanta

namespace orvanta::ui {
class MainWindow;
class TrayIcon;
class WindowFrontEnd;
} // namespace orvanta::ui

namespace orvanta::app {

class MediaControls;
class MprisService;

class DesktopApplication : public QObject
{
    Q_OBJECT
public:
    /// Command-line options of the window program.
    struct Options
    {
        QStringList record;       // stations ("Group/Name") to start recording once started
        QStringList open;         // addresses and playlist files to add to the library
        QString mediaControlsBus; // the bus the media controls are offered on; empty: the
                                  // session's (tests give one of their own)
    };

    explicit DesktopApplication(Options options);
    DesktopApplication(Options options, ApplicationCoreOptions coreOptions);
    ~DesktopApplication() override;

    /// Starts the core, shows the window and starts the recordings asked for.
    void start();
    /// The quit question, then the shut-down; true when the program quits.
    bool quit();
    /// The shut-down without the question (the session ends, or a signal came).
    void quitNow();
    /// Adds addresses (http, https) and playlist files (.pls, .m3u; paths or file: URLs)
    /// to the library, as dropping them on the list does, and selects them.
    void open(const QStringList& items);
    /// Brings the window to the front (another start of the program asked for it).
    void raiseWindow();

    ui::MainWindow& window() { return *m_window; }
    ApplicationCore& core() { return *m_core; }
    ui::WindowFrontEnd& frontEnd() { return *m_frontEnd; }
    /// What the desktop's media controls see, once started.
    MediaControls* mediaControls() { return m_mediaControls.get(); }
    MprisService* mpris() { return m_mpris.get(); }
    ui::TrayIcon* tray() { return m_tray.get(); }

private:
    void watchNetwork();
    void startMediaControls();
    void stopMediaControls();
    void startTray();
    QString addM3UFile(const QString& path);
    void startRequestedRecordings();

    Options m_options;
    std::unique_ptr<ui::WindowFrontEnd> m_frontEnd;
    std::unique_ptr<ApplicationCore> m_core;
    std::unique_ptr<ui::MainWindow> m_window;
    std::unique_ptr<MediaControls> m_mediaControls; // before the window goes
    std::unique_ptr<MprisService> m_mpris;
    std::unique_ptr<ui::TrayIcon> m_tray;
    bool m_quitting = false;
};

/// The program's --help text.
extern const char* const kUsage;

/// Parses the window program's arguments; nothing (after printing why) when they are bad.
std::optional<DesktopApplication::Options> parseArguments(const QStringList& arguments);

} // namespace orvanta::app
