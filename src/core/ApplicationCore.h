#pragma once

// The application as one object: it makes the preferences, the station library, the
// presets, the script runner and MainController, and runs start-up and shut-down in the
// application's order. The desktop window and the command line each create one with their
// FrontEnd; neither assembles the parts itself.
//
// Start-up: the start-up script (when asked for) runs to completion first, then the library
// and the presets are loaded and tidied, the controller is wired (notification bridge,
// status timer, scheduler) and the system-sleep watcher is installed.
// Shut-down: the controller's sequence (scheduler and status display stop, recordings stop
// and write their last files, scripts get a few seconds, the library is saved, the
// preferences are tidied and written), then every thread of the controller is joined.
//
// Process-wide set-up stays with main(): libcurl (curl::Global) and the broken-pipe signal.
//
// Ownership: owns everything it makes; borrows the front end, which must outlive it.
// Thread: main, with a Qt event loop.

#include "FrontEnd.h"
#include "MyOLVController.h"
#include "NotificationCenter.h"
#include "PowerEventToolLoader.h"
#include "PresetsController.h"
#include "Scheduler.h"
#include "ScriptRunner.h"
#include "Value.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvanta {

class MainController;
struct MainControllerParts;
class PrefsController;
class SleepWatcher;

struct ApplicationCoreOptions
{
    /// Run resources/migrate.sh before anything else (the application does; one-off
    /// commands need not).
    bool runStartupScript = true;
    /// Watch for system sleep through logind.
    bool watchSleep = true;
    /// The bus logind is on (empty: the system bus).
    std::string sleepBusAddress;
    /// Before a sleep, set the wake-up time for the next scheduled recording through the
    /// wake-up helper (when it is set up).
    bool wakeFromSleep = false;
    /// At start-up, check the wake-from-sleep setting against the helper and offer to set
    /// it up (the desktop program; a terminal command asks nothing).
    bool verifyWakeFromSleep = false;
    /// Where the helper is; default: this installation's and this user's places.
    std::optional<PowerToolPlaces> wakeToolPlaces;
    /// Where the library and presets live; default: <application data>/Orvanta.
    std::optional<std::string> supportFolder;
    /// The presets file's reader and writer; default: the presets file of supportFolder.
    std::shared_ptr<PresetsDataSource> presetsDataSource;
    /// The preferences; default: PrefsController::sharedInstance().
    PrefsController* prefs = nullptr;
    /// The time the scheduler, the quit question and the sleep handler go by.
    std::function<Date()> clock = &Date::now;
    std::chrono::milliseconds schedulerInterval = Scheduler::kTickInterval;
};

class ApplicationCore
{
public:
    explicit ApplicationCore(FrontEnd& frontEnd, ApplicationCoreOptions options = {});
    /// Shuts down when that has not been done.
    ~ApplicationCore();
    ApplicationCore(const ApplicationCore&) = delete;
    ApplicationCore& operator=(const ApplicationCore&) = delete;

    /// Start-up after construction; returns how the library was read (Unreadable: the file
    /// is kept as it is, an alert went to the front end, and no save will replace it).
    MyOLVController::LoadResult start();
    bool started() const { return m_started; }

    /// Whether quitting may go ahead now (asks when a scheduled recording is near).
    bool shouldTerminate();
    /// The shut-down sequence; a second call does nothing.
    void shutDown();

    MainController& controller() { return *m_controller; }
    MyOLVController& library() { return *m_library; }
    PresetsController& presets() { return m_presets; }
    PrefsController& prefs() { return m_prefs; }
    NotificationCenter& center() { return m_center; }
    const ScriptRunner& scripts() const { return m_scripts; }
    SleepWatcher* sleepWatcher() { return m_sleepWatcher.get(); }
    PowerEventToolLoader* wakeTool() { return m_wakeTool.get(); }

private:
    void installWakeTool(MainControllerParts& parts);
    void systemDidWake();

    FrontEnd& m_frontEnd;
    ApplicationCoreOptions m_options;
    PrefsController& m_prefs;
    NotificationCenter& m_center;
    ScriptRunner m_scripts;
    PresetsController m_presets;
    std::unique_ptr<MyOLVController> m_library;
    std::unique_ptr<MainController> m_controller;
    std::unique_ptr<SleepWatcher> m_sleepWatcher;
    std::unique_ptr<PowerEventToolLoader> m_wakeTool;
    /// The system sleeps: the helper's alerts wait for the wake-up.
    bool m_goingToSleep = false;
    std::vector<Alert> m_alertsAfterWake;
    bool m_started = false;
    bool m_shutDown = false;
};

} // namespace orvanta
