#include "FreeSpace.h"

#include <sys/statvfs.h>

#include <QStorageInfo>
#include <QString>

namespace orvanta {

std::optional<std::uint64_t> freeSpaceOfOpenFile(int fd)
{
    struct statvfs st
    {};
    if (::fstatvfs(fd, &st) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(st.f_bavail) * static_cast<std::uint64_t>(st.f_frsize);
}

std::string volumeNameForPath(const std::string& path)
{
    const QStorageInfo storage(QString::fromStdString(path));
    const QString root = storage.isValid() ? storage.rootPath() : QString();
    return root.isEmpty() ? std::string("/") : root.toStdString();
}

} // namespace orvanta
