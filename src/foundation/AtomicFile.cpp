#include "AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvanta {

namespace {

std::string describe(const std::string& path, const char* what, int code)
{
    return path + ": " + what + " (" + std::strerror(code) + ")";
}

std::string parentFolder(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

bool renameWithoutReplacing(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without RENAME_NOREPLACE: link fails on an existing name as well.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

std::optional<std::string> readWholeFile(const std::string& path, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = describe(path, "cannot open", errno);
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = describe(path, "cannot read", errno);
            ::close(fd);
            return std::nullopt;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode,
                         std::string& error)
{
    const std::string folder = parentFolder(path);
    const std::string name =
        path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    std::string pattern = folder + "/." + name + ".tmp-XXXXXX";
    std::vector<char> templ(pattern.begin(), pattern.end());
    templ.push_back('\0');
    const int fd = ::mkostemp(templ.data(), O_CLOEXEC);
    if (fd < 0) {
        error = describe(path, "cannot create a temporary file beside it", errno);
        return false;
    }
    const std::string temporary(templ.data());
    auto abandon = [&](const char* what) {
        error = describe(path, what, errno);
        ::close(fd);
        ::unlink(temporary.c_str());
        return false;
    };
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return abandon("cannot write");
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0)
        return abandon("cannot set permissions");
    if (::fsync(fd) != 0)
        return abandon("cannot flush to disc");
    if (::close(fd) != 0) {
        error = describe(path, "cannot close", errno);
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = describe(path, "cannot replace", errno);
        ::unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

std::string damagedFileSuffix()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "damaged-%Y%m%d-%H%M%S", &local);
    return buffer;
}

std::optional<std::string> moveFileAside(const std::string& path, const std::string& suffix)
{
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string target = path + "." + suffix;
        if (attempt > 0) {
            target += '-';
            target += std::to_string(attempt);
        }
        if (renameWithoutReplacing(path, target))
            return target;
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace orvanta
