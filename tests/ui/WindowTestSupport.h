#pragma once

// The desktop program for the window tests: a DesktopApplication in a home of its own
// (library, presets, preferences, scripts and music under a temporary folder), with the
// test ICY server to record from.

#include "ApplicationCore.h"
#include "DesktopApplication.h"
#include "EnvironmentOverride.h"
#include "EventLoopWait.h"
#include "IcyTestServer.h"
#include "MainController.h"
#include "MainWindow.h"
#include "Mp3Fixtures.h"
#include "MyOLVController.h"
#include "NodePropertyKeys.h"
#include "PrefsController.h"
#include "PrefsKeys.h"
#include "StationTreeModel.h"
#include "StationTreeView.h"
#include "TempDir.h"
#include "WindowFrontEnd.h"

#include <QAbstractItemModelTester>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>

#include <gtest/gtest.h>

namespace orvanta::test {

class WindowTest : public ::testing::Test
{
protected:
    WindowTest()
    {
        m_env.set("HOME", m_dir.path());
        m_env.set("XDG_DATA_HOME", m_dir.file("data"));
        m_env.set("XDG_CONFIG_HOME", m_dir.file("config"));
        std::filesystem::create_directories(m_dir.file("data/Orvanta/Scripts"));
        std::filesystem::create_directories(music());
        prefs = std::make_unique<PrefsController>(m_dir.file("config/Orvanta/Orvanta.plist"));
        prefs->setPrefs(Value(music()), prefs::kDownloadPath);
        prefs->setPrefs(Value(false), prefs::kAutoReconnect);
        prefs->setPrefs(Value(0), prefs::kRelayPort); // no relay unless a test wants one
    }

    ~WindowTest() override
    {
        if (desktop)
            desktop->core().shutDown();
        tester.reset();
        desktop.reset();
    }

    std::string music() const { return m_dir.file("Music"); }
    std::string support() const { return m_dir.file("data/Orvanta"); }
    std::string userScripts() const { return m_dir.file("data/Orvanta/Scripts"); }

    /// Starts the program; every model change is then checked by QAbstractItemModelTester.
    void start()
    {
        ApplicationCoreOptions options;
        options.runStartupScript = false;
        options.watchSleep = false;
        options.supportFolder = support();
        options.prefs = prefs.get();
        if (schedulerInterval)
            options.schedulerInterval = *schedulerInterval;
        desktop = std::make_unique<app::DesktopApplication>(desktopOptions, options);
        desktop->start();
        tester = std::make_unique<QAbstractItemModelTester>(
            &window().stationModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    }

    ui::MainWindow& window() { return desktop->window(); }
    MainController& controller() { return desktop->core().controller(); }
    MyOLVController& library() { return desktop->core().library(); }
    ui::StationTreeView& list() { return *window().stationList(); }

    Node* station(const std::string& name, const std::string& url, Node* in = nullptr)
    {
        return library().addChild(Node::kStream, in ? in : library().rootNode(), name, url);
    }
    Node* group(const std::string& name) { return library().addChild(Node::kGroup, name, ""); }

    /// A looping stream with titles, paced at twice real time.
    IcyMount loopingMount(std::vector<IcyTitle> titles)
    {
        IcyMount mount;
        mount.audio = syntheticFrames(300);
        mount.loop = true;
        mount.metaint = 8000;
        mount.bytesPerSecond = 32000;
        mount.titles = std::move(titles);
        return mount;
    }

    /// The program's own options (its command line).
    app::DesktopApplication::Options desktopOptions;
    /// Two real MP3 songs of 4 s (lame), looping at 128 kbit/s: what a player can decode.
    IcyMount playableMount(std::vector<IcyTitle> titles)
    {
        IcyMount mount;
        mount.audio = encodeWithLame(pcmSongs({4.0, 4.0}, 1.0), m_dir);
        mount.metaint = 16000;
        mount.loop = true;
        mount.bytesPerSecond = 16000;
        mount.titles = std::move(titles);
        return mount;
    }

    /// The scheduler's tick for tests that record on a schedule.
    std::optional<std::chrono::milliseconds> schedulerInterval;
    TempDir m_dir;
    EnvironmentOverride m_env;
    std::unique_ptr<PrefsController> prefs;
    IcyTestServer server;
    std::unique_ptr<app::DesktopApplication> desktop;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

} // namespace orvanta::test
