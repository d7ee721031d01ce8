#include "SafePath.h"

#include <cerrno>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvanta::power {

namespace {

/// Nobody but root and owner can change what the folder or file holds.
bool onlyChangeableBy(const struct stat& info, uid_t owner)
{
    if (info.st_uid != 0 && info.st_uid != owner)
        return false;
    const bool othersMayWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return !othersMayWrite || (S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX));
}

int fail(int fd, int error)
{
    if (fd >= 0)
        ::close(fd);
    errno = error;
    return -1;
}

} // namespace

std::optional<gid_t> primaryGroupOf(uid_t user)
{
    struct passwd entry
    {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16 * 1024);
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    return found->pw_gid;
}

std::string lastPathComponent(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string parentPath(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

int openFolderOnlyChangeableBy(uid_t owner, const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return fail(-1, EINVAL);
    int folder = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return -1;
    std::string_view rest(path);
    for (;;) {
        struct stat info
        {};
        if (::fstat(folder, &info) != 0)
            return fail(folder, errno);
        if (!S_ISDIR(info.st_mode))
            return fail(folder, ENOTDIR);
        if (!onlyChangeableBy(info, owner))
            return fail(folder, EPERM);
        while (!rest.empty() && rest.front() == '/')
            rest.remove_prefix(1);
        if (rest.empty())
            return folder;
        const auto slash = rest.find('/');
        const std::string name(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
        if (name == "." || name == "..")
            return fail(folder, EINVAL);
        const int next =
            ::openat(folder, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        ::close(folder);
        if (next < 0)
            return fail(-1, error);
        folder = next;
    }
}

int openFileOnlyChangeableBy(uid_t owner, const std::string& path, int flags)
{
    const std::string name = lastPathComponent(path);
    if (name.empty() || name == "." || name == "..")
        return fail(-1, EINVAL);
    const int folder = openFolderOnlyChangeableBy(owner, parentPath(path));
    if (folder < 0)
        return -1;
    const int fd = ::openat(folder, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
    const int error = errno;
    ::close(folder);
    if (fd < 0)
        return fail(-1, error);
    struct stat info
    {};
    if (::fstat(fd, &info) != 0)
        return fail(fd, errno);
    if (!S_ISREG(info.st_mode))
        return fail(fd, EINVAL);
    if (!onlyChangeableBy(info, owner))
        return fail(fd, EPERM);
    return fd;
}

bool isPrivateFolder(int folder, uid_t owner)
{
    struct stat info
    {};
    return ::fstat(folder, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == owner &&
           (info.st_mode & 077) == 0;
}

int openPrivateFolderAt(int parent, const char* name, uid_t owner)
{
    if (::mkdirat(parent, name, 0700) != 0 && errno != EEXIST)
        return -1;
    const int folder = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return -1;
    struct stat info
    {};
    if (::fstat(folder, &info) != 0)
        return fail(folder, errno);
    if (info.st_uid != owner)
        return fail(folder, EPERM);
    if ((info.st_mode & 077) != 0 && ::fchmod(folder, info.st_mode & 07700) != 0)
        return fail(folder, errno);
    return folder;
}

} // namespace orvanta::power
