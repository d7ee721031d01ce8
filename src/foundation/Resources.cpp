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

std::string developerBuildFolder()
{
#ifdef ORVANTA_BUILD_TREE
    // The kernel's path of the running program: no argument or link can make it seem inside.
    const std::string program = ownExecutablePath();
    const std::string tree = ORVANTA_BUILD_TREE "/";
    if (program.compare(0, tree.size(), tree) == 0)
        return ORVANTA_BUILD_TREE;
#endif
    return {};
}

std::string developerSourceFolder()
{
#ifdef ORVANTA_SOURCE_TREE
    if (!developerBuildFolder().empty())
        return ORVANTA_SOURCE_TREE;
#endif
    return {};
}

std::string resourcesFolder()
{
    static const std::string folder = [] {
        const std::string installed = installedResourcesFolderFor(ownExecutablePath());
        if (!installed.empty())
            return installed;
        const std::string checkout = developerSourceFolder();
        if (!checkout.empty())
            return checkout + "/resources";
        // Missing from the installation: where it belongs, so that what fails says so.
        return (std::filesystem::path(ownExecutablePath()).parent_path() /
                ORVANTA_INSTALLED_RESOURCES)
            .lexically_normal()
            .string();
    }();
    return folder;
}

} // namespace orvanta
