#include "ApplicationCore.h"

#include "MainController.h"
#include "MyPresetsDataSource.h"
#include "PrefsController.h"
#include "SleepWatcher.h"

#include <utility>

namespace orvanta {

namespace {
// logind lets a sleep wait 5 seconds by default for those who asked it to.
constexpr std::chrono::seconds kSleepWait{3};
} // namespace

ApplicationCore::ApplicationCore(FrontEnd& frontEnd, ApplicationCoreOptions options)
    : m_frontEnd(frontEnd), m_options(std::move(options)),
      m_prefs(m_options.prefs ? *m_options.prefs : PrefsController::sharedInstance()),
      m_center(NotificationCenter::defaultCenter()), m_scripts(ScriptRunner::defaultShippedFolder())
{
    // Before anything reads the files the script may tidy.
    if (m_options.runStartupScript)
        MainController::runStartupScript(MainController::startupScriptPath());
    const std::string folder =
        m_options.supportFolder.value_or(MyOLVController::defaultSupportFolder());
    m_library = std::make_unique<MyOLVController>(&m_prefs, folder);
    // The library's one alert: its file cannot be read. The program ends after it, leaving
    // the file and its backup for the user to recover.
    m_library->setAlertHandler([this](const std::string& title, const std::string& text) {
        m_frontEnd.showAlert(Alert{title, text, true, true});
    });
    m_presets.setDataSource(m_options.presetsDataSource
                                ? m_options.presetsDataSource
                                : std::make_shared<MyPresetsDataSource>(folder));
    MainControllerParts parts{m_center, m_prefs, *m_library, m_presets, m_scripts, m_frontEnd};
    parts.clock = m_options.clock;
    parts.schedulerInterval = m_options.schedulerInterval;
    if (m_options.wakeFromSleep || m_options.verifyWakeFromSleep)
        installWakeTool(parts);
    m_controller = std::make_unique<MainController>(std::move(parts));
}

ApplicationCore::~ApplicationCore()
{
    shutDown();
    m_sleepWatcher.reset();
    // Joins every thread of the controller before the parts they use go.
    m_controller.reset();
}

void ApplicationCore::installWakeTool(MainControllerParts& parts)
{
    PowerEventToolLoader::Prompts prompts;
    prompts.ask = [this](const std::string& title, const std::string& message,
                         const std::string& defaultButton, const std::string& alternateButton) {
        return m_frontEnd.askQuestion(title, message, defaultButton, alternateButton);
    };
    prompts.alert = [this](const std::string& title, const std::string& message) {
        // Nobody reads an alert shown as the screen goes dark: it waits for the wake-up.
        if (m_goingToSleep)
            m_alertsAfterWake.push_back(Alert{title, message});
        else
            m_frontEnd.showAlert(Alert{title, message});
    };
    m_wakeTool = std::make_unique<PowerEventToolLoader>(
        m_options.wakeToolPlaces.value_or(PowerToolPlaces::standard()), std::move(prompts));
    parts.wakeToolIsValid = [this] { return m_wakeTool->isHelperToolValidAndPrivileged(); };
    parts.scheduleWakeFromSleep = [this](Date date) {
        // Before a sleep nobody can answer a password dialog: never wait for one.
        m_wakeTool->setAttended(false);
        const int result = m_wakeTool->scheduleWakeFromSleep(date);
        m_wakeTool->setAttended(true);
        return result;
    };
    if (m_options.verifyWakeFromSleep)
        parts.wakeTool = m_wakeTool.get();
}

void ApplicationCore::systemDidWake()
{
    m_goingToSleep = false;
    for (const Alert& alert : std::exchange(m_alertsAfterWake, {}))
        m_frontEnd.showAlert(alert);
}

MyOLVController::LoadResult ApplicationCore::start()
{
    const MyOLVController::LoadResult result = m_library->startUp(m_presets);
    m_controller->applicationSupportFolder();
    m_controller->awakeFromNib();
    if (m_options.watchSleep) {
        // Before the system sleeps, recordings end with their files complete.
        const QDBusConnection bus =
            m_options.sleepBusAddress.empty()
                ? QDBusConnection::systemBus()
                : QDBusConnection::connectToBus(QString::fromStdString(m_options.sleepBusAddress),
                                                QStringLiteral("orvanta-sleep"));
        m_sleepWatcher = std::make_unique<SleepWatcher>(
            [this] {
                m_goingToSleep = true;
                m_controller->systemWillSleep();
                m_controller->waitForRecordingThreads(kSleepWait);
            },
            bus);
        m_sleepWatcher->setWakeHandler([this] { systemDidWake(); });
    }
    m_started = true;
    return result;
}

bool ApplicationCore::shouldTerminate()
{
    return m_controller->applicationShouldTerminate();
}

void ApplicationCore::shutDown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_sleepWatcher.reset();
    // Without a start the library was never read: saving it would replace the user's file.
    if (m_started)
        m_controller->applicationWillTerminate();
}

} // namespace orvanta
