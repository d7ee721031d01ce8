// The wake-from-sleep setting and the helper it needs.

#include "MainController.h"

#include "FrontEnd.h"
#include "Localization.h"
#include "Log.h"
#include "PowerEventToolLoader.h"
#include "PrefsController.h"
#include "PrefsKeys.h"

namespace orvanta {

void MainController::verifyWakeFromSleep()
{
    PowerEventToolLoader* tool = m_parts.wakeTool;
    if (!tool)
        return;
    if (!m_parts.prefs.boolForKey(prefs::kWakeFromSleep)) {
        tool->removeWakeFromSleepTool();
        return;
    }
    if (tool->isHelperToolValidAndPrivileged())
        return;
    if (!tool->machineCanWake()) {
        // Nothing to ask for: the setting stays for a machine that has a wake alarm.
        logMessage("MainController::verifyWakeFromSleep",
                   "this computer has no RTC wake alarm; scheduled recordings cannot wake it");
        return;
    }
    if (!tool->canSetUp()) {
        m_parts.frontEnd.showAlert(
            Alert{Orvanta::tr("Wake From Sleep Error"),
                  Orvanta::tr("Orvanta cannot set up waking the computer: pkexec, which asks for "
                              "the administrator's permission, is not installed.\n\nInstall it "
                              "(sudo apt-get install pkexec) and turn the feature on again in the "
                              "Preferences.")});
        m_parts.prefs.setPrefs(Value(false), prefs::kWakeFromSleep);
        return;
    }
    const bool setUp = m_parts.frontEnd.askQuestion(
        Orvanta::tr("Wake Computer From Sleep Feature"),
        Orvanta::tr("Orvanta is set to wake the computer from sleep to perform scheduled "
                    "recordings when necessary.\n\nTo accomplish this, Orvanta requires "
                    "permission to set up a helper tool.\n\nIf you decide to give permission "
                    "later, this feature will be turned off and you can enable it again in "
                    "the Preferences."),
        Orvanta::tr("OK"), Orvanta::tr("Later"));
    if (setUp && tool->invokeHelperToolWithRequest(std::nullopt) == 0)
        return;
    m_parts.prefs.setPrefs(Value(false), prefs::kWakeFromSleep);
}

} // namespace orvanta
