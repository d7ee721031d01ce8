#include "PowerEventToolLoader.h"

#include "FileManagerExtensions.h"
#include "Localization.h"
#include "Log.h"
#include "PowerToolMessage.h"
#include "Resources.h"
#include "SafePath.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvanta {

using namespace power;

namespace {

constexpr mode_t kUserCopyMode = 04550;
constexpr mode_t kSystemCopyMode = 0755;

bool exists(const std::string& path)
{
    struct stat info
    {};
    return !path.empty() && ::lstat(path.c_str(), &info) == 0;
}

/// Whether a set-user-id program could live in folder: its file system honours the bit
/// and keeps the modes and owners we give files.
bool folderCanHoldPrivilegedTool(const std::string& folder)
{
    struct statvfs volume
    {};
    if (::statvfs(folder.c_str(), &volume) != 0 || (volume.f_flag & ST_NOSUID))
        return false;
    // Some file systems (FAT, many FUSE mounts) show every file with one owner and mode;
    // a mode we set that does not stick means ownership is not kept either.
    for (int attempt = 0; attempt < 999; ++attempt) {
        timespec uptime{};
        ::clock_gettime(CLOCK_MONOTONIC, &uptime);
        char name[96];
        std::snprintf(name, sizeof name, "MoreSecIsFolderIgnoringOwnership Temp %lx%lx",
                      static_cast<unsigned long>(uptime.tv_sec),
                      static_cast<unsigned long>(uptime.tv_nsec));
        const std::string probe = folder + "/" + name;
        const int fd = ::open(probe.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        struct stat info
        {};
        const bool kept = ::fchmod(fd, 0640) == 0 && ::fchown(fd, ::geteuid(), ::getegid()) == 0 &&
                          ::fstat(fd, &info) == 0 && (info.st_mode & 07777) == 0640 &&
                          info.st_uid == ::geteuid();
        ::close(fd);
        ::unlink(probe.c_str());
        return kept;
    }
    return false;
}

/// The path with its links resolved when it exists, else as it is.
std::string canonicalOr(const std::string& path)
{
    char resolved[PATH_MAX];
    return !path.empty() && ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

} // namespace

PowerToolPlaces PowerToolPlaces::standard()
{
    PowerToolPlaces places;
    // Installed, the helpers sit in <prefix>/libexec/orvanta; a developer's program run from
    // its build folder takes the template built there.
    const std::string installed =
        (std::filesystem::path(ownExecutablePath()).parent_path() / ORVANTA_INSTALLED_TOOLS)
            .lexically_normal();
    const std::string installedTemplate = installed + "/PowerEventToolTemplate";
    const std::string buildFolder = developerBuildFolder();
    places.templatePath = exists(installedTemplate) || buildFolder.empty()
                              ? installedTemplate
                              : buildFolder + "/tools/powereventtool/PowerEventToolTemplate";
    places.systemTool = installed + "/" + PowerEventToolLoader::kToolName;
    places.supportFolder =
        findSystemFolderType(kApplicationSupportFolderType, FolderDomain::User).value_or("");
    places.temporaryFolder =
        findSystemFolderType(kTemporaryFolderType, FolderDomain::User).value_or("");
    return places;
}

PowerEventToolLoader::PowerEventToolLoader(PowerToolPlaces places, Prompts prompts)
    : m_places(std::move(places)), m_prompts(std::move(prompts))
{}

int PowerEventToolLoader::scheduleWakeFromSleep(Date date)
{
    return invokeHelperToolWithRequest(Dictionary{
        {kCommandNameKey, Value(std::string(kScheduleWake))}, {kDateTimeKey, Value(date)}});
}

int PowerEventToolLoader::cancelWakeFromSleep(Date date)
{
    return invokeHelperToolWithRequest(Dictionary{
        {kCommandNameKey, Value(std::string(kCancelWake))}, {kDateTimeKey, Value(date)}});
}

int PowerEventToolLoader::scheduleSleep(Date date)
{
    return invokeHelperToolWithRequest(Dictionary{
        {kCommandNameKey, Value(std::string(kScheduleSleep))}, {kDateTimeKey, Value(date)}});
}

int PowerEventToolLoader::cancelSleep(Date date)
{
    return invokeHelperToolWithRequest(Dictionary{
        {kCommandNameKey, Value(std::string(kCancelSleep))}, {kDateTimeKey, Value(date)}});
}

std::string PowerEventToolLoader::userCopyPath(std::uint32_t folderType) const
{
    const std::string& base =
        folderType == kTemporaryFolderType ? m_places.temporaryFolder : m_places.supportFolder;
    if (base.empty())
        return {};
    return canonicalOr(base) + "/" + kSubfolder + "/" + kToolName;
}

bool PowerEventToolLoader::isToolValid(const std::string& path, const std::string& templatePath,
                                       Kind kind)
{
    struct stat tool
    {};
    struct stat shipped
    {};
    if (path.empty() || ::lstat(path.c_str(), &tool) != 0 ||
        ::stat(templatePath.c_str(), &shipped) != 0)
        return false;
    if (!S_ISREG(tool.st_mode) || tool.st_uid != 0 || tool.st_size != shipped.st_size)
        return false;
    if (kind == Kind::SystemCopy)
        return (tool.st_mode & 07777) == kSystemCopyMode;
    if ((tool.st_mode & 07777) != kUserCopyMode || tool.st_nlink != 1 ||
        tool.st_mtim.tv_sec != shipped.st_mtim.tv_sec || tool.st_gid != primaryGroupOf(::getuid()))
        return false;
    const int folder = openFolderOnlyChangeableBy(::getuid(), parentPath(path));
    const bool privateFolder = folder >= 0 && isPrivateFolder(folder, ::getuid());
    if (folder >= 0)
        ::close(folder);
    return privateFolder;
}

bool PowerEventToolLoader::isTemplateTrusted(const std::string& templatePath)
{
    const int fd = openFileOnlyChangeableBy(0, templatePath, O_RDONLY);
    if (fd < 0)
        return false;
    struct stat info
    {};
    const bool rootsAlone = ::fstat(fd, &info) == 0 && info.st_uid == 0;
    ::close(fd);
    return rootsAlone;
}

std::optional<std::string> PowerEventToolLoader::validHelperTool() const
{
    for (std::uint32_t type : {kApplicationSupportFolderType, kTemporaryFolderType}) {
        if (isToolValid(userCopyPath(type), m_places.templatePath, Kind::UserCopy))
            return userCopyPath(type);
    }
    if (isToolValid(m_places.systemTool, m_places.templatePath, Kind::SystemCopy))
        return m_places.systemTool;
    return std::nullopt;
}

bool PowerEventToolLoader::machineCanWake() const
{
    return ::access(m_places.wakeAlarm.c_str(), F_OK) == 0;
}

bool PowerEventToolLoader::canSetUp() const
{
    return isHelperToolValidAndPrivileged() || (::access(m_places.pkexec.c_str(), X_OK) == 0 &&
                                                isTemplateTrusted(m_places.templatePath));
}

int PowerEventToolLoader::preparePrivateFolder(std::uint32_t folderType, std::string& folder) const
{
    const bool temporary = folderType == kTemporaryFolderType;
    const std::string base = temporary ? m_places.temporaryFolder : m_places.supportFolder;
    if (base.empty())
        return ENOENT;
    // The temporary folder may lie in /tmp, where anybody could have made it first: it must
    // be the user's alone as well as the copy's own folder.
    const std::string reached = temporary ? parentPath(base) : base;
    if (!createDirectoriesAtPath(reached, 0700) && !std::filesystem::is_directory(reached))
        return errno ? errno : EIO;
    const uid_t user = ::getuid();
    std::string path = canonicalOr(reached);
    auto refused = [&](const std::string& at) {
        m_refusedFolder = at;
        logFormat("PowerEventToolLoader : %s is not the user's alone: %s", at.c_str(),
                  std::strerror(errno));
        return kFolderNotPrivate;
    };
    int fd = openFolderOnlyChangeableBy(user, path);
    if (fd < 0)
        return refused(path);
    std::vector<std::string> names;
    if (temporary)
        names.push_back(lastPathComponent(base));
    names.push_back(kSubfolder);
    for (const std::string& name : names) {
        const int inner = openPrivateFolderAt(fd, name.c_str(), user);
        ::close(fd);
        path += "/" + name;
        if (inner < 0)
            return refused(path);
        fd = inner;
    }
    ::close(fd);
    folder = path;
    return kNoError;
}

int PowerEventToolLoader::copyHelperToolURLAndCheckBundled(std::uint32_t folderType,
                                                           HelperRun& run) const
{
    run = {};
    if (const std::optional<std::string> valid = validHelperTool()) {
        run.tool = *valid;
        run.viaPkexec = *valid == m_places.systemTool;
        return kNoError;
    }
    if (!exists(m_places.templatePath))
        return ENOENT;
    if (!isTemplateTrusted(m_places.templatePath))
        return kTemplateNotTrusted;
    std::string folder;
    if (const int error = preparePrivateFolder(folderType, folder))
        return error;
    if (!folderCanHoldPrivilegedTool(folder))
        return kFolderCannotHoldPrivilegedTool;
    run.tool = m_places.templatePath;
    run.viaPkexec = true;
    run.installInto = folder;
    return kNoError;
}

int PowerEventToolLoader::executeRequestInHelperTool(const HelperRun& run,
                                                     const Bytes& authorisation,
                                                     const Dictionary& request,
                                                     Dictionary& response) const
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return errno;
    const int ours = pair[0];
    const int theirs = pair[1];
    std::vector<std::string> arguments;
    if (run.viaPkexec)
        arguments = {m_places.pkexec, "--disable-internal-agent"};
    arguments.push_back(run.tool);
    if (!run.installInto.empty())
        arguments.insert(arguments.end(), {"--self-repair", run.installInto});
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    char* environment[] = {nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, theirs, 0);
    posix_spawn_file_actions_adddup2(&actions, theirs, 1);
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environment);
    posix_spawn_file_actions_destroy(&actions);
    ::close(theirs);
    if (spawned != 0) {
        ::close(ours);
        return kInternalError; // the helper could not be started at all
    }

    // A helper that hangs (or a password dialog nobody answers) must not hold us forever.
    const auto timeout = m_attended ? kAttendedTimeout : kUnattendedTimeout;
    const timeval limit{static_cast<time_t>(timeout.count()), 0};
    ::setsockopt(ours, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(ours, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);

    // The set-up says its process id first and takes the request without the opaque bytes.
    int error = 0;
    if (run.installInto.empty()) {
        error = writeFully(ours, authorisation.data(), authorisation.size());
    } else {
        std::int32_t setUpPid = 0;
        error = readFully(ours, &setUpPid, sizeof setUpPid);
    }
    if (error == 0)
        error = writeDictionaryToDescriptor(ours, request);
    ::shutdown(ours, SHUT_WR);
    Dictionary answer;
    if (error == 0)
        error = copyDictionaryTranslatingDescriptors(ours, answer);
    ::close(ours);
    if (error == EAGAIN || error == EWOULDBLOCK) {
        logFormat("PowerEventToolLoader : the helper did not answer within %lld s",
                  static_cast<long long>(timeout.count()));
        ::kill(child, SIGKILL);
    }
    int status = 0;
    const int waited = waitForChild(child, status);
    if (error == 0 || error == EPIPE) {
        if (waited != 0 || WIFSIGNALED(status))
            error = kInternalError;
        else
            error = helperToolResultToError(WEXITSTATUS(status));
    }
    if (error != 0) {
        closeListedDescriptors(answer);
        return error;
    }
    response = answer;
    return kNoError;
}

int PowerEventToolLoader::invokeHelperToolWithRequest(std::optional<Dictionary> request)
{
    const Dictionary message = request.value_or(Dictionary());
    Bytes authorisation(kAuthorisationSize);
    int error = kNoError;
    if (::getrandom(authorisation.data(), authorisation.size(), 0) !=
        static_cast<ssize_t>(authorisation.size()))
        error = errno;
    HelperRun run;
    if (error == kNoError)
        error = copyHelperToolURLAndCheckBundled(kApplicationSupportFolderType, run);
    if (error == kFolderCannotHoldPrivilegedTool) {
        const bool temporary =
            m_attended && m_prompts.ask &&
            m_prompts.ask(Orvanta::tr("Your home folder is on a file system that does not allow "
                                      "set-user-id programs. Would you like to use a temporary "
                                      "copy of the helper?"),
                          Orvanta::tr("Your home folder is mounted \"nosuid\" (or keeps no file "
                                      "owners), so Orvanta cannot keep its wake-up helper "
                                      "there. A temporary copy lives in the temporary folder "
                                      "and may be removed at any time; Orvanta then sets it "
                                      "up again. Alternatively, install Orvanta's Debian "
                                      "package, whose system copy of the helper needs no "
                                      "set-up. "),
                          Orvanta::tr("OK"), Orvanta::tr("Cancel"));
        error = temporary ? copyHelperToolURLAndCheckBundled(kTemporaryFolderType, run)
                          : kUserCancelled;
    }
    Dictionary response;
    if (error == kNoError)
        error = executeRequestInHelperTool(run, authorisation, message, response);
    if (error == kNoError)
        error = getErrorFromResponse(response);
    if (error == kNoError || error == kAuthorisationCancelled)
        return error;
    showError(error);
    return error;
}

void PowerEventToolLoader::removeWakeFromSleepTool()
{
    std::string path = userCopyPath(kApplicationSupportFolderType);
    if (!exists(path))
        path = userCopyPath(kTemporaryFolderType);
    if (!exists(path))
        return;
    if (::unlink(path.c_str()) != 0)
        logFormat("PowerEventToolLoader : cannot remove %s: %s", path.c_str(),
                  std::strerror(errno));
}

std::string PowerEventToolLoader::explanationForError(int error)
{
    switch (error) {
    case kInvalidInvocation:
        return Orvanta::tr("The wake-up helper was started the wrong way.");
    case kPrivilegesRefused:
        return Orvanta::tr("The administrator's permission was refused, or the helper "
                           "refused to serve this user.");
    case kInternalError:
        return Orvanta::tr("The wake-up helper failed. The system log (journalctl -t "
                           "PowerEventTool) tells why.");
    case kUserCancelled:
        return Orvanta::tr("No temporary copy of the helper was wanted.");
    case kPowerNotFound:
        return Orvanta::tr("No such wake-up time was set.");
    case kPowerError:
    case kPowerBadArgument:
        return Orvanta::tr("The computer's clock refused the wake-up time.");
    case ENOENT:
        return Orvanta::tr("The wake-up helper is not installed with Orvanta.");
    case kFolderNotPrivate:
        return Orvanta::tr("A folder on the way to the wake-up helper's belongs to another "
                           "user or may be changed by others, so the helper cannot be kept "
                           "there:");
    case kTemplateNotTrusted:
        return Orvanta::tr("The wake-up helper Orvanta came with is not the "
                           "administrator's alone (it is not root's, or others may change "
                           "it), so it cannot be given rights. Install Orvanta as the "
                           "administrator, or from its package.");
    default:
        return {};
    }
}

void PowerEventToolLoader::showError(int error)
{
    if (!m_prompts.alert)
        return;
    std::string message = Orvanta::tr("Orvanta failed to enable the feature due to error (%1)",
                                      {std::to_string(error)});
    const std::string explanation = explanationForError(error);
    if (!explanation.empty())
        message += "\n\n" + explanation;
    if (error == kFolderNotPrivate)
        message += " " + m_refusedFolder;
    m_prompts.alert(Orvanta::tr("Wake From Sleep Error"), message);
}

} // namespace orvanta
