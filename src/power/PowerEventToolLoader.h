#pragma once

// The application's side of waking the computer for a scheduled recording: it finds,
// installs and checks the wake-up helper (tools/powereventtool) and sends it one request
// per run over a socket pair.
//
// Where the helper lives: a copy per user, <application data>/Orvanta/PowerEventTool (or
// <temporary folder>/Orvanta/PowerEventTool when the home folder cannot hold set-user-id
// programs), set up once through pkexec by the installed template itself ("--self-repair
// FOLDER"), which copies itself there as root's and set-user-id; or the root-owned copy a
// system-wide installation brings, which runs through pkexec for every request under the
// polkit action that allows it without asking. Nothing the user could have written is ever
// run as root.
//
// Valid means: a user's copy is a plain file (not a link) of root's and the user's primary
// group with mode 04550, of the template's size and modification time (an update of the
// program invalidates it), in a folder that is the user's alone on a path nobody else can
// change; the system copy is a plain file of root's with mode 0755, of the template's size.
//
// Thread: main. Each request blocks while the helper runs (the helper answers at once;
// only the one-time set-up waits for the administrator's password).

#include "Value.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace orvanta {

struct PowerToolPlaces
{
    /// The helper as shipped, copied for each user.
    std::string templatePath;
    /// The application-data and temporary folders the copies go into (+ "/Orvanta").
    std::string supportFolder;
    std::string temporaryFolder;
    /// The root-owned copy of a system-wide installation; empty or missing: none.
    std::string systemTool;
    std::string pkexec = "/usr/bin/pkexec";
    /// The machine's RTC wake alarm: without one, nothing can wake it.
    std::string wakeAlarm = "/sys/class/rtc/rtc0/wakealarm";

    /// The places of this installation (or build tree) and this user.
    static PowerToolPlaces standard();
};

class PowerEventToolLoader
{
public:
    static constexpr const char* kSubfolder = "Orvanta";
    static constexpr const char* kToolName = "PowerEventTool";
    /// How long a request may take when nobody can answer a password dialog.
    static constexpr std::chrono::seconds kUnattendedTimeout{3};
    /// ... and when the user sets the helper up (the dialog waits for them).
    static constexpr std::chrono::seconds kAttendedTimeout{300};

    struct Prompts
    {
        /// A question with OK and Cancel (or the given buttons); true for the first. Absent:
        /// nothing may be asked, the answer is no.
        std::function<bool(const std::string& title, const std::string& message,
                           const std::string& defaultButton, const std::string& alternateButton)>
            ask;
        /// An alert the user reads when they can.
        std::function<void(const std::string& title, const std::string& message)> alert;
    };

    PowerEventToolLoader(PowerToolPlaces places, Prompts prompts);

    // The four requests; each returns 0 or the error (after its alert).
    int scheduleWakeFromSleep(Date date);
    int cancelWakeFromSleep(Date date);
    int scheduleSleep(Date date);
    int cancelSleep(Date date);

    /// A valid helper is in place; never installs or asks anything.
    bool isHelperToolValidAndPrivileged() const { return validHelperTool().has_value(); }
    /// The valid helper the next request goes to (a user's copy before the system copy).
    std::optional<std::string> validHelperTool() const;
    /// Sends request (none: an empty one, which installs and repairs the helper).
    int invokeHelperToolWithRequest(std::optional<Dictionary> request);
    /// Deletes the user's copy (the folders stay).
    void removeWakeFromSleepTool();

    /// Whether this machine can be woken at all, and whether the helper can be set up (a
    /// valid one is in place, or pkexec and a template only root can change are).
    bool machineCanWake() const;
    bool canSetUp() const;

    /// Unattended (while the system goes to sleep): no questions, no password dialogs
    /// waited for, requests bounded by kUnattendedTimeout.
    void setAttended(bool attended) { m_attended = attended; }

    // The steps, for tests --------------------------------------------------------------

    /// How one request reaches the helper.
    struct HelperRun
    {
        std::string tool;
        bool viaPkexec = false;
        /// Set-up: the private folder the template puts the user's copy in.
        std::string installInto;
    };

    enum class Kind { UserCopy, SystemCopy };
    static bool isToolValid(const std::string& path, const std::string& templatePath, Kind kind);
    /// Whether the template is root's and changeable by nobody else, on such a path.
    static bool isTemplateTrusted(const std::string& templatePath);
    /// The first valid helper, or the set-up of a copy in the folder of folderType
    /// (kApplicationSupportFolderType or kTemporaryFolderType), its folder made private.
    /// 0 or the error: kFolderCannotHoldPrivilegedTool when the folder's file system is
    /// mounted nosuid or keeps no ownership, kFolderNotPrivate when another user has or
    /// could change a folder on the way, kTemplateNotTrusted.
    int copyHelperToolURLAndCheckBundled(std::uint32_t folderType, HelperRun& run) const;
    /// One exchange with the helper.
    int executeRequestInHelperTool(const HelperRun& run, const Bytes& authorisation,
                                   const Dictionary& request, Dictionary& response) const;
    std::string userCopyPath(std::uint32_t folderType) const;

    /// What the alert says besides the code, for the codes a Linux user may meet.
    static std::string explanationForError(int error);

private:
    void showError(int error);
    int preparePrivateFolder(std::uint32_t folderType, std::string& folder) const;

    PowerToolPlaces m_places;
    Prompts m_prompts;
    bool m_attended = true;
    /// The folder a kFolderNotPrivate refusal was about, for its alert.
    mutable std::string m_refusedFolder;
};

} // namespace orvanta
