#include "HelperTool.h"

#include "PowerToolMessage.h"
#include "SafePath.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <syslog.h>
#include <unistd.h>

namespace orvanta::powertool {

namespace {

constexpr std::string_view kSelfRepair = "--self-repair";

std::string ownExecutablePath()
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return {};
    return std::string(path, static_cast<std::size_t>(length));
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

/// The installed template that file is (the running one) or is a copy of (same size and
/// time), opened; -1 when none is.
int matchingTemplate(const struct stat& file, bool sameInode, const ToolPlaces& places)
{
    for (const std::string& path : places.templates) {
        const int fd = power::openFileOnlyChangeableBy(0, path, O_RDONLY);
        struct stat shipped
        {};
        if (fd < 0)
            continue;
        const bool matches = ::fstat(fd, &shipped) == 0 &&
                             (sameInode ? sameFile(shipped, file)
                                        : shipped.st_size == file.st_size &&
                                              shipped.st_mtim.tv_sec == file.st_mtim.tv_sec);
        if (matches)
            return fd;
        ::close(fd);
    }
    return -1;
}

int copyContents(int source, int copy)
{
    std::vector<char> chunk(64 * 1024);
    off_t offset = 0;
    for (;;) {
        const ssize_t got = ::pread(source, chunk.data(), chunk.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        if (const int error = power::writeFully(copy, chunk.data(), static_cast<std::size_t>(got)))
            return error;
        offset += got;
    }
}

/// Opens the privileged copy and the rest of what was asked for; the request and its answer
/// come after the privileges are gone.
int serve(int input, int output, const Authorisation& authorisation, CommandProc proc,
          const ToolPlaces& places)
{
    RtcWakeAlarm alarm(places.wakeAlarm, places.adjtime, places.alarmRecord);
    if (const int error = dropPrivilegesFor(authorisation.caller))
        return error;
    return readAndDispatchCommand(input, output, authorisation, proc, alarm);
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
    orvanta::Dictionary answer = response ? *response : orvanta::Dictionary();
    if (!answer.contains(power::kErrorNumberKey))
        answer.set(power::kErrorNumberKey, orvanta::Value(result));
    const int written = power::writeDictionaryAndDescriptors(output, answer);
    power::closeListedDescriptors(answer);
    return written;
}

int dropPrivilegesFor(uid_t caller)
{
    if (caller == 0)
        return 0;
    const std::optional<gid_t> group = power::primaryGroupOf(caller);
    if (!group) {
        syslog(LOG_ERR, "PowerEventTool : user %u has no account", static_cast<unsigned>(caller));
        return power::kPrivilegesRefused;
    }
    if (::setgroups(1, &*group) != 0 || ::setresgid(*group, *group, *group) != 0 ||
        ::setresuid(caller, caller, caller) != 0)
        return errno;
    if (::setresuid(static_cast<uid_t>(-1), 0, static_cast<uid_t>(-1)) == 0) {
        syslog(LOG_ERR, "PowerEventTool : root could be taken back");
        return power::kInternalError;
    }
    return 0;
}

int installUserCopy(uid_t caller, const std::string& folderPath, const ToolPlaces& places)
{
    auto refuse = [&](const char* why) {
        syslog(LOG_ERR, "self-repair : refused for %s of user %u: %s", folderPath.c_str(),
               static_cast<unsigned>(caller), why);
        return power::kPrivilegesRefused;
    };
    struct stat running
    {};
    if (::stat("/proc/self/exe", &running) != 0)
        return refuse("cannot examine the running program");
    const int source = matchingTemplate(running, true, places);
    if (source < 0)
        return refuse("not started as an installed template that only root can change");
    const int folder = power::openFolderOnlyChangeableBy(caller, folderPath);
    const std::optional<gid_t> group = power::primaryGroupOf(caller);
    struct statvfs volume
    {};
    const char* refusal = nullptr;
    if (folder < 0)
        refusal = "the folder is not on a path only the user can change";
    else if (!power::isPrivateFolder(folder, caller))
        refusal = "the folder is not the user's alone";
    else if (::fstatvfs(folder, &volume) != 0 || (volume.f_flag & ST_NOSUID))
        refusal = "the folder's file system ignores set-user-id";
    else if (!group)
        refusal = "the user has no account";
    else if (::unlinkat(folder, kUserCopyName, 0) != 0 && errno != ENOENT)
        refusal = "the old copy cannot be removed";
    if (refusal) {
        ::close(source);
        if (folder >= 0)
            ::close(folder);
        return refuse(refusal);
    }
    // A new file of root's from the start: nobody else ever holds a descriptor to write it.
    const int copy =
        ::openat(folder, kUserCopyName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0500);
    int error = copy < 0 ? errno : copyContents(source, copy);
    struct stat shipped
    {};
    if (error == 0 && ::fstat(source, &shipped) != 0)
        error = errno;
    const timespec times[2] = {shipped.st_atim, shipped.st_mtim};
    if (error == 0 && (::futimens(copy, times) != 0 || ::fchown(copy, 0, *group) != 0 ||
                       ::fchmod(copy, kPrivilegedMode) != 0 || ::fsync(copy) != 0))
        error = errno;
    if (copy >= 0 && ::close(copy) != 0 && error == 0)
        error = errno;
    if (error != 0 && copy >= 0)
        ::unlinkat(folder, kUserCopyName, 0);
    ::close(source);
    ::close(folder);
    if (error != 0)
        syslog(LOG_ERR, "self-repair : cannot copy the helper into %s: %s", folderPath.c_str(),
               std::strerror(error));
    return error;
}

bool servesCallerHere(uid_t caller, const ToolPlaces& places)
{
    const std::string ownPath = ownExecutablePath();
    auto refuse = [&](const char* why) {
        syslog(LOG_ERR, "PowerEventTool : refused user %u at %s: %s", static_cast<unsigned>(caller),
               ownPath.c_str(), why);
        return false;
    };
    if (power::lastPathComponent(ownPath) != kUserCopyName)
        return refuse("not a user's copy");
    const int folder = power::openFolderOnlyChangeableBy(caller, power::parentPath(ownPath));
    if (folder < 0 || !power::isPrivateFolder(folder, caller)) {
        if (folder >= 0)
            ::close(folder);
        return refuse("its folder is not the user's alone");
    }
    struct stat file
    {};
    struct stat running
    {};
    const bool inspected = ::fstatat(folder, kUserCopyName, &file, AT_SYMLINK_NOFOLLOW) == 0 &&
                           ::stat("/proc/self/exe", &running) == 0;
    ::close(folder);
    const std::optional<gid_t> group = power::primaryGroupOf(caller);
    if (!inspected || !sameFile(file, running))
        return refuse("the file at its path is not the one running");
    if (!S_ISREG(file.st_mode) || file.st_nlink != 1 || file.st_uid != 0 ||
        (file.st_mode & 07777) != kPrivilegedMode || !group || file.st_gid != *group)
        return refuse("not a copy set up for this user");
    const int shipped = matchingTemplate(file, false, places);
    if (shipped < 0)
        return refuse("it no longer matches an installed template");
    ::close(shipped);
    return true;
}

int helperToolMain(int input, int output, std::optional<Authorisation> platform, CommandProc proc,
                   int argc, const char* const* argv, const ToolPlaces& places)
{
    const bool privileged = ::geteuid() == 0;
    const bool startedByRoot = ::getuid() == 0;
    if (argc >= 2 && std::string_view(argv[1]) == kSelfRepair) {
        const std::int32_t pid = ::getpid();
        if (const int error = power::writeFully(output, &pid, sizeof pid))
            return error;
        // Only pkexec's run says truly for whom: a set-user-id run inherits what the user set.
        if (argc != 3 || !privileged || !startedByRoot || !platform)
            return power::kInvalidInvocation;
        if (const int error = installUserCopy(platform->caller, argv[2], places))
            return error;
        return serve(input, output, *platform, proc, places);
    }
    if (argc != 1)
        return power::kInvalidInvocation;
    Authorisation authorisation;
    authorisation.token.resize(power::kAuthorisationSize);
    if (const int error =
            power::readFully(input, authorisation.token.data(), authorisation.token.size()))
        return error;
    if (!privileged)
        return power::kPrivilegesRefused;
    if (startedByRoot) {
        authorisation.fromPlatform = platform.has_value();
        authorisation.caller = platform ? platform->caller : 0;
    } else {
        authorisation.caller = ::getuid();
        if (!servesCallerHere(authorisation.caller, places))
            return power::kPrivilegesRefused;
    }
    return serve(input, output, authorisation, proc, places);
}

} // namespace orvanta::powertool
