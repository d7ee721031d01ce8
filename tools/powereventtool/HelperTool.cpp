#include "HelperTool.h"

#include "PowerToolMessage.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

namespace orvanta::powertool {

namespace {

constexpr std::string_view kSelfRepair = "--self-repair";
// pkexec's own statuses: the user dismissed the dialog, or was not authorised.
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorised = 127;

std::string ownExecutablePath()
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return {};
    return std::string(path, static_cast<std::size_t>(length));
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

/// The owner of the folder holding the executable: the one user a privileged copy serves.
std::optional<uid_t> installingUser(const std::string& ownPath)
{
    struct stat folder
    {};
    if (ownPath.empty() || ::stat(folderOf(ownPath).c_str(), &folder) != 0)
        return std::nullopt;
    return folder.st_uid;
}

/// Not yet privileged: the same request through a copy of ourselves that pkexec starts as
/// root with "--self-repair".
int runThroughPrivilegedCopy(int input, int output, const std::string& ownPath,
                             const ToolPlaces& places)
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return errno;
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(pair[0]);
        ::close(pair[1]);
        return error;
    }
    if (child == 0) {
        ::dup2(pair[1], 0);
        ::dup2(pair[1], 1);
        const char* const arguments[] = {places.pkexec.c_str(), "--disable-internal-agent",
                                         ownPath.c_str(), kSelfRepair.data(), nullptr};
        const char* const environment[] = {nullptr};
        ::execve(places.pkexec.c_str(), const_cast<char* const*>(arguments),
                 const_cast<char* const*>(environment));
        ::_exit(power::errorToHelperToolResult(power::kInternalError));
    }
    ::close(pair[1]);
    const int copy = pair[0];
    int error = 0;
    std::int32_t copyPid = 0;
    error = power::readFully(copy, &copyPid, sizeof copyPid);
    // Whatever is left on our input is the request: pass it on as it is.
    char buffer[64 * 1024];
    while (error == 0) {
        const ssize_t got = ::read(input, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            break;
        }
        error = power::writeFully(copy, buffer, static_cast<std::size_t>(got));
    }
    ::shutdown(copy, SHUT_WR);
    if (error == 0) {
        orvanta::Dictionary response;
        error = power::copyDictionaryTranslatingDescriptors(copy, response);
        if (error == 0)
            error = power::writeDictionaryAndDescriptors(output, response);
        power::closeListedDescriptors(response);
    }
    ::close(copy);
    int status = 0;
    const int waited = power::waitForChild(child, status);
    if (error != 0 && error != EPIPE)
        return error;
    if (waited != 0 || WIFSIGNALED(status))
        return power::kInternalError;
    const int code = WEXITSTATUS(status);
    if (code == kPkexecDismissed)
        return power::kAuthorisationCancelled;
    if (code == kPkexecNotAuthorised)
        return power::kPrivilegesRefused;
    return power::helperToolResultToError(code);
}

} // namespace

std::optional<Authorisation> authorisationFromPlatform(const char* pkexecUid)
{
    if (!pkexecUid || !*pkexecUid)
        return std::nullopt;
    const std::string_view text(pkexecUid);
    unsigned long uid = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), uid);
    if (error != std::errc() || end != text.data() + text.size() || uid > UINT_MAX)
        return std::nullopt;
    Authorisation authorisation;
    authorisation.fromPlatform = true;
    authorisation.caller = static_cast<uid_t>(uid);
    return authorisation;
}

int readAndDispatchCommand(int input, int output, const Authorisation& authorisation,
                           CommandProc proc, RtcWakeAlarm& alarm)
{
    orvanta::Dictionary request;
    if (const int error = power::copyDictionaryFromDescriptor(input, request))
        return error;
    return dispatchCommand(output, authorisation, request, proc, alarm);
}

int dispatchCommand(int output, const Authorisation& authorisation,
                    const orvanta::Dictionary& request, CommandProc proc, RtcWakeAlarm& alarm)
{
    std::optional<orvanta::Dictionary> response;
    const int result = proc(authorisation, request, response, alarm);
    if (::seteuid(::getuid()) != 0)
        return errno;
    orvanta::Dictionary answer = response ? *response : orvanta::Dictionary();
    if (!answer.contains(power::kErrorNumberKey))
        answer.set(power::kErrorNumberKey, orvanta::Value(result));
    const int written = power::writeDictionaryAndDescriptors(output, answer);
    power::closeListedDescriptors(answer);
    return written;
}

int repairOwnExecutable(uid_t caller, const ToolPlaces& places)
{
    const std::string ownPath = ownExecutablePath();
    if (ownPath.empty())
        return power::kPrivilegesRefused;
    const int fd = ::open(ownPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        syslog(LOG_ERR, "self-repair : cannot open %s: %m", ownPath.c_str());
        return power::kPrivilegesRefused;
    }
    struct stat file
    {};
    struct stat running
    {};
    struct stat folder
    {};
    const bool inspected = ::fstat(fd, &file) == 0 && ::stat("/proc/self/exe", &running) == 0 &&
                           ::stat(folderOf(ownPath).c_str(), &folder) == 0;
    bool matchesTemplate = false;
    for (const std::string& templatePath : places.templates) {
        struct stat shipped
        {};
        if (::stat(templatePath.c_str(), &shipped) == 0 && S_ISREG(shipped.st_mode) &&
            shipped.st_size == file.st_size && shipped.st_mtim.tv_sec == file.st_mtim.tv_sec)
            matchesTemplate = true;
    }
    const char* refusal = nullptr;
    if (!inspected)
        refusal = "cannot examine it";
    else if (file.st_dev != running.st_dev || file.st_ino != running.st_ino)
        refusal = "the file at its path is not the one running";
    else if (!S_ISREG(file.st_mode) || file.st_nlink != 1)
        refusal = "not a plain file with one link";
    else if (!matchesTemplate)
        refusal = "not of a shipped template's size and time";
    else if (folder.st_uid != caller || (folder.st_mode & (S_IWGRP | S_IWOTH)))
        refusal = "its folder is not the asking user's alone";
    else if (file.st_uid != caller && file.st_uid != 0)
        refusal = "the file belongs to another user";
    if (refusal) {
        syslog(LOG_ERR, "self-repair : refused for %s: %s", ownPath.c_str(), refusal);
        ::close(fd);
        return power::kPrivilegesRefused;
    }
    int error = 0;
    if (::seteuid(0) != 0 || ::fchown(fd, 0, static_cast<gid_t>(-1)) != 0 ||
        ::fchmod(fd, kPrivilegedMode) != 0)
        error = errno;
    if (::seteuid(::getuid()) != 0 && error == 0)
        error = errno;
    ::close(fd);
    return error;
}

int helperToolMain(int input, int output, std::optional<Authorisation> platform, CommandProc proc,
                   int argc, const char* const* argv, const ToolPlaces& places)
{
    const uid_t entryEuid = ::geteuid();
    if (::seteuid(::getuid()) != 0)
        return errno;
    const std::string ownPath = ownExecutablePath();
    RtcWakeAlarm alarm(places.wakeAlarm, places.adjtime);

    if (argc == 1) {
        Authorisation authorisation;
        authorisation.token.resize(power::kAuthorisationSize);
        if (const int error =
                power::readFully(input, authorisation.token.data(), authorisation.token.size()))
            return error;
        if (entryEuid != 0)
            return runThroughPrivilegedCopy(input, output, ownPath, places);
        // Privileged: only for the user whose folder holds this copy (or root itself).
        const uid_t caller = ::getuid();
        if (caller != 0 && installingUser(ownPath) != caller) {
            syslog(LOG_ERR, "PowerEventTool : refused user %u", static_cast<unsigned>(caller));
            return power::kPrivilegesRefused;
        }
        authorisation.caller = caller;
        return readAndDispatchCommand(input, output, authorisation, proc, alarm);
    }
    if (argc == 2 && std::string_view(argv[1]) == kSelfRepair) {
        const std::int32_t pid = ::getpid();
        if (const int error = power::writeFully(output, &pid, sizeof pid))
            return error;
        if (entryEuid != 0 || !platform)
            return power::kInvalidInvocation;
        // The whole request is read and checked before anything is changed.
        orvanta::Dictionary request;
        if (const int error = power::copyDictionaryFromDescriptor(input, request))
            return error;
        if (const int error = repairOwnExecutable(platform->caller, places))
            return error;
        return dispatchCommand(output, *platform, request, proc, alarm);
    }
    return power::kInvalidInvocation;
}

} // namespace orvanta::powertool
