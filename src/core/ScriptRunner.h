#pragma once

// Runs the handlers of the music-player scripts: executable files named by a resource name,
// looked up first in the user's folder (<application data>/Orvanta/Scripts), then in the
// shipped folder (resources/Scripts). A handler call runs "SCRIPT HANDLER ARGS..." directly,
// never through a shell, so every argument reaches the script as exactly one word whatever
// quotes, spaces or dollar signs it holds. Standard output is the handler's result; a
// non-zero exit is a script error whose standard error is the message. Standard input is
// /dev/null. A script that outlives the time limit is killed with its whole process group.
//
// All calls of the whole process are serialised by one lock, _OSALock: the player is
// driven by one script at a time.
//
// Thread: any. A ScriptRunner is immutable after its setters, so one instance may serve
// several threads.

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta {

struct ScriptResult
{
    enum class Status {
        Success,      // exit status 0; output is the result
        ScriptError,  // the script exited with a non-zero status; errorMessage is its stderr
        NotFound,     // no executable script of that name
        LaunchFailed, // the process could not be started, or an argument was unusable
        TimedOut,     // killed after the time limit
        Signalled,    // ended by a signal it did not handle
        Cancelled,    // not run, or killed, because the program is quitting
    };

    Status status = Status::LaunchFailed;
    int exitStatus = -1; // the exit code, or the signal number for Signalled
    std::string output;  // everything the script wrote to standard output
    std::string errorMessage;

    bool ok() const { return status == Status::Success; }
    /// The output without trailing line ends: what a handler "returns".
    std::string resultText() const;
};

class ScriptRunner
{
public:
    static constexpr std::chrono::milliseconds kDefaultTimeLimit{60'000};

    /// Serialises every script run in the process.
    static std::mutex _OSALock;

    /// Shipped scripts from shippedFolder; user copies from userFolder (none: no override).
    explicit ScriptRunner(std::string shippedFolder = defaultShippedFolder(),
                          std::optional<std::string> userFolder = defaultUserFolder());

    /// The scripts that come with the program: <resources>/Scripts.
    static std::string defaultShippedFolder();
    /// <application data>/Orvanta/Scripts; nothing when the home cannot be found.
    static std::optional<std::string> defaultUserFolder();

    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }
    std::chrono::milliseconds timeLimit() const { return m_timeLimit; }

    /// The path of the executable script for a resource name (a plain file name): the user
    /// copy when there is an executable one, else the shipped one.
    std::optional<std::string> locateScript(std::string_view name) const;

    /// Runs "SCRIPT HANDLER ARGS..." under _OSALock and waits for it.
    ScriptResult runHandler(std::string_view scriptName, std::string_view handler,
                            const std::vector<std::string>& arguments) const;

    /// For quitting: the script running now is killed with its process group within a few
    /// milliseconds, and every later call (also of copies of this runner) fails at once
    /// with Cancelled, so no hung script holds the program.
    void cancelAll() const { m_cancelled->store(true); }
    bool cancelled() const { return m_cancelled->load(); }

private:
    std::string m_shippedFolder;
    std::optional<std::string> m_userFolder;
    std::chrono::milliseconds m_timeLimit = kDefaultTimeLimit;
    std::shared_ptr<std::atomic<bool>> m_cancelled = std::make_shared<std::atomic<bool>>(false);
};

} // namespace orvanta
