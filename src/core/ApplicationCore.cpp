#include "ApplicationCore.h"

#include "MainController.h"
#include "MyPresetsDataSource.h"
#include "PrefsController.h"
#include "SleepWatcher.h"

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
    m_controller = std::make_unique<MainController>(std::move(parts));
}

ApplicationCore::~ApplicationCore()
{
    shutDown();
    m_sleepWatcher.reset();
    // Joins every thread of the controller before the parts they use go.
    m_controller.reset();
}

MyOLVController::LoadResult ApplicationCore::start()
{
    const MyOLVController::LoadResult result = m_library->startUp(m_presets);
    m_controller->applicationSupportFolder();
    m_controller->awakeFromNib();
    if (m_options.watchSleep) {
        // Before the system sleeps, recordings end with their files complete.
        m_sleepWatcher = std::make_unique<SleepWatcher>([this] {
            m_controller->systemWillSleep();
            m_controller->waitForRecordingThreads(kSleepWait);
        });
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
