#include "Resources.h"

#include <filesystem>
#include <system_error>

namespace orvanta {

std::string ownExecutablePath()
{
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

std::string installedResourcesFolderFor(const std::string& executablePath)
{
    if (executablePath.empty())
        return {};
    // ORVANTA_INSTALLED_RESOURCES is the resources folder relative to the installed
    // programs' folder ("../share/orvanta" for the usual layout).
    const std::filesystem::path folder =
        std::filesystem::path(executablePath).parent_path() / ORVANTA_INSTALLED_RESOURCES;
    std::error_code error;
    if (!std::filesystem::is_regular_file(folder / "migrate.sh", error))
        return {};
    return folder.lexically_normal().string();
}

std::string resourcesFolder()
{
    static const std::string folder = [] {
        const std::string installed = installedResourcesFolderFor(ownExecutablePath());
        return installed.empty() ? std::string(ORVANTA_SOURCE_RESOURCES) : installed;
    }();
    return folder;
}

} // namespace orvanta
