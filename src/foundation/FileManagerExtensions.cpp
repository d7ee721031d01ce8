#include "FileManagerExtensions.h"

#include "Localization.h"

#include <cerrno>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include <QStandardPaths>

namespace orvanta {

namespace {

std::optional<std::string> absoluteEnvironmentPath(const char* name)
{
    const char* value = std::getenv(name);
    if (value && value[0] == '/')
        return std::string(value);
    return std::nullopt;
}

std::string systemTemporaryFolder()
{
    return absoluteEnvironmentPath("TMPDIR").value_or("/tmp");
}

} // namespace

bool createDirectoriesAtPath(const std::string& path, unsigned mode)
{
    if (path.empty())
        return false;
    std::string prefix;
    std::size_t pos = 0;
    if (path[0] == '/') {
        prefix = "/";
        pos = 1;
    }
    bool anyComponent = prefix == "/";
    while (pos <= path.size()) {
        const std::size_t slash = path.find('/', pos);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        if (end > pos) {
            if (!prefix.empty() && prefix.back() != '/')
                prefix += '/';
            prefix.append(path, pos, end - pos);
            anyComponent = true;
            struct stat st
            {};
            if (::stat(prefix.c_str(), &st) == 0) {
                if (!S_ISDIR(st.st_mode))
                    return false;
            } else if (::mkdir(prefix.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
                return false;
            }
        }
        if (slash == std::string::npos)
            break;
        pos = slash + 1;
    }
    return anyComponent;
}

std::optional<std::string> findSystemFolderType(std::uint32_t folderType, FolderDomain domain)
{
    if (domain == FolderDomain::Network)
        return std::nullopt;
    if (folderType == kApplicationSupportFolderType) {
        switch (domain) {
        case FolderDomain::User:
            if (auto data = absoluteEnvironmentPath("XDG_DATA_HOME"))
                return data;
            if (auto home = absoluteEnvironmentPath("HOME"))
                return *home + "/.local/share";
            return std::nullopt;
        case FolderDomain::Local:
            return std::string("/usr/local/share");
        case FolderDomain::System:
            return std::string("/usr/share");
        case FolderDomain::Network:
            return std::nullopt;
        }
    }
    if (folderType == kTemporaryFolderType) {
        if (domain != FolderDomain::User)
            return systemTemporaryFolder();
        if (auto runtime = absoluteEnvironmentPath("XDG_RUNTIME_DIR"))
            return runtime;
        return systemTemporaryFolder() + "/orvanta-" + std::to_string(::getuid());
    }
    return std::nullopt;
}

std::int16_t getFSRef(FileReference& ref, const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string lastComponent = slash == std::string::npos ? path : path.substr(slash + 1);
    if (lastComponent.empty())
        return kFileNotFoundErr;
    struct stat st
    {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? kFileNotFoundErr : kIOErr;
    // lstat does not follow a final symbolic link, so st is the link itself when it is one.
    ref.device = st.st_dev;
    ref.inode = st.st_ino;
    ref.path = path;
    return kNoErr;
}

std::string userMusicFolder()
{
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty())
        return music.toStdString();
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/Music";
}

std::optional<std::string> recordingFolderProblem(const std::string& folder, bool create)
{
    if (folder.empty())
        return Orvanta::tr("No folder is chosen for the recordings");
    struct stat info
    {};
    if (::stat(folder.c_str(), &info) != 0) {
        if (!create || !createDirectoriesAtPath(folder))
            return Orvanta::tr("The folder for the recordings, \"%1\", does not exist", {folder});
        if (::stat(folder.c_str(), &info) != 0)
            return Orvanta::tr("The folder for the recordings, \"%1\", does not exist", {folder});
    }
    if (!S_ISDIR(info.st_mode))
        return Orvanta::tr("\"%1\" is not a folder, so no recordings can go there", {folder});
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return Orvanta::tr("The folder for the recordings, \"%1\", cannot be written to", {folder});
    return std::nullopt;
}

} // namespace orvanta
