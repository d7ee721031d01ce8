#include "ScriptRunner.h"

#include "FileManagerExtensions.h"
#include "Log.h"
#include "Resources.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orvanta {

namespace {

constexpr const char* kOperation = "ScriptRunner::runHandler";
// How often a silent script is checked for having exited; its descendants may keep the
// pipes open long after it ended, so end of file alone cannot tell.
constexpr int kExitCheckMillis = 20;

class Fd
{
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

bool isExecutableFile(const std::string& path)
{
    struct stat info
    {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string trimLineEnds(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

ScriptResult failure(ScriptResult::Status status, std::string message)
{
    ScriptResult result;
    result.status = status;
    result.errorMessage = std::move(message);
    return result;
}

// Reads what is available without blocking; returns false at end of file or on error.
bool drain(int fd, std::string& into)
{
    std::array<char, 16384> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n > 0) {
            into.append(buffer.data(), static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

struct SpawnSetup
{
    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

} // namespace

std::mutex ScriptRunner::_OSALock;

std::string ScriptResult::resultText() const
{
    return trimLineEnds(output);
}

ScriptRunner::ScriptRunner(std::string shippedFolder, std::optional<std::string> userFolder)
    : m_shippedFolder(std::move(shippedFolder)), m_userFolder(std::move(userFolder))
{}

std::string ScriptRunner::defaultShippedFolder()
{
    return resourcesFolder() + "/Scripts";
}

std::optional<std::string> ScriptRunner::defaultUserFolder()
{
    const auto support = findSystemFolderType(kApplicationSupportFolderType, FolderDomain::User);
    if (!support)
        return std::nullopt;
    return *support + "/Orvanta/Scripts";
}

std::optional<std::string> ScriptRunner::locateScript(std::string_view name) const
{
    // A resource name is one file name; anything else could reach outside the folders.
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos)
        return std::nullopt;
    if (m_userFolder) {
        const std::string user = *m_userFolder + "/" + std::string(name);
        if (isExecutableFile(user))
            return user;
        if (::access(user.c_str(), F_OK) == 0)
            logMessage("ScriptRunner::locateScript",
                       "Ignoring " + user + ": not an executable file");
    }
    const std::string shipped = m_shippedFolder + "/" + std::string(name);
    if (isExecutableFile(shipped))
        return shipped;
    return std::nullopt;
}

ScriptResult ScriptRunner::runHandler(std::string_view scriptName, std::string_view handler,
                                      const std::vector<std::string>& arguments) const
{
    const auto script = locateScript(scriptName);
    if (!script)
        return failure(ScriptResult::Status::NotFound,
                       "No executable script named \"" + std::string(scriptName) + "\"");

    std::vector<std::string> words{*script, std::string(handler)};
    words.insert(words.end(), arguments.begin(), arguments.end());
    // An embedded NUL would silently cut the argument short.
    for (const auto& word : words)
        if (word.find('\0') != std::string::npos)
            return failure(ScriptResult::Status::LaunchFailed,
                           "An argument contains a NUL character");
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    std::lock_guard osaGuard(_OSALock);
    if (cancelled())
        return failure(ScriptResult::Status::Cancelled, "Not run: the program is quitting");

    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0)
        return failure(ScriptResult::Status::LaunchFailed, std::strerror(errno));
    Fd outRead(outPipe[0]), outWrite(outPipe[1]);
    if (::pipe2(errPipe, O_CLOEXEC) != 0)
        return failure(ScriptResult::Status::LaunchFailed, std::strerror(errno));
    Fd errRead(errPipe[0]), errWrite(errPipe[1]);

    SpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, outWrite.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, errWrite.get(), STDERR_FILENO);
    // Descriptors other threads opened without close-on-exec must not leak into the script.
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);
#endif

    // A group of its own lets a time-out kill whatever the script started as well. The
    // script starts with default signal handling and nothing blocked, whatever this
    // thread has set up.
    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD, SIGQUIT})
        sigaddset(&defaults, sig);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                    POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setsigmask(&setup.attributes, &noSignals);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);

    pid_t pid = -1;
    const int spawnError = ::posix_spawn(&pid, script->c_str(), &setup.actions, &setup.attributes,
                                         argv.data(), environ);
    if (spawnError != 0) {
        logMessage(kOperation, "Could not start " + *script + ": " + std::strerror(spawnError));
        return failure(ScriptResult::Status::LaunchFailed, std::strerror(spawnError));
    }
    outWrite.reset();
    errWrite.reset();
    ::fcntl(outRead.get(), F_SETFL, O_NONBLOCK);
    ::fcntl(errRead.get(), F_SETFL, O_NONBLOCK);

    ScriptResult result;
    std::string errors;
    const auto deadline = std::chrono::steady_clock::now() + m_timeLimit;
    bool outOpen = true;
    bool errOpen = true;
    int waitStatus = 0;
    bool exited = false;
    bool timedOut = false;

    while (!exited) {
        const pid_t waited = ::waitpid(pid, &waitStatus, WNOHANG);
        if (waited == pid) {
            exited = true;
            break;
        }
        if (waited < 0 && errno != EINTR) {
            // Someone else reaped it; its status is lost, so treat it as failed.
            waitStatus = -1;
            exited = true;
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline || cancelled()) {
            timedOut = true;
            ::kill(-pid, SIGKILL);
            while (::waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        std::array<pollfd, 2> fds{pollfd{outOpen ? outRead.get() : -1, POLLIN, 0},
                                  pollfd{errOpen ? errRead.get() : -1, POLLIN, 0}};
        ::poll(fds.data(), fds.size(),
               static_cast<int>(std::min<long long>(left, kExitCheckMillis)));
        if (outOpen && fds[0].revents != 0)
            outOpen = drain(outRead.get(), result.output);
        if (errOpen && fds[1].revents != 0)
            errOpen = drain(errRead.get(), errors);
    }
    // Whatever the script wrote before it ended is in the pipes now; descendants that
    // still hold them open are not waited for.
    if (outOpen)
        drain(outRead.get(), result.output);
    if (errOpen)
        drain(errRead.get(), errors);

    if (timedOut && cancelled()) {
        result.status = ScriptResult::Status::Cancelled;
        result.errorMessage = "Killed: the program is quitting";
    } else if (timedOut) {
        result.status = ScriptResult::Status::TimedOut;
        result.errorMessage = "Timed out after " + std::to_string(m_timeLimit.count()) + " ms";
    } else if (waitStatus == -1) {
        result.status = ScriptResult::Status::LaunchFailed;
        result.errorMessage = "Lost track of the script process";
    } else if (WIFEXITED(waitStatus)) {
        result.exitStatus = WEXITSTATUS(waitStatus);
        result.status = result.exitStatus == 0 ? ScriptResult::Status::Success
                                               : ScriptResult::Status::ScriptError;
        if (!result.ok())
            result.errorMessage = trimLineEnds(errors);
    } else {
        result.status = ScriptResult::Status::Signalled;
        result.exitStatus = WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : -1;
        result.errorMessage = "Ended by signal " + std::to_string(result.exitStatus);
    }
    if (!result.ok())
        logMessage(kOperation,
                   *script + " " + std::string(handler) + " failed: " + result.errorMessage);
    return result;
}

} // namespace orvanta
