#pragma once

// File-system helpers: folder creation along a path, the per-user system folders, and a
// reference to a file that denotes a symbolic link itself rather than its target.
//
// Thread-safe: no shared state (reads the environment).

#include <cstdint>
#include <optional>
#include <string>

#include <sys/types.h>

namespace orvanta {

/// Four-character folder types, as the rest of the program names them.
constexpr std::uint32_t fourCharCode(const char (&code)[5])
{
    return (std::uint32_t(std::uint8_t(code[0])) << 24) |
           (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}
constexpr std::uint32_t kApplicationSupportFolderType = fourCharCode("asup");
constexpr std::uint32_t kTemporaryFolderType = fourCharCode("temp");

enum class FolderDomain { User, Local, Network, System };

/// Status codes of getFSRef.
constexpr std::int16_t kNoErr = 0;
constexpr std::int16_t kFileNotFoundErr = -43;
constexpr std::int16_t kIOErr = -36;

/// Identifies one file-system object: its device and inode, and the path it was made from.
struct FileReference
{
    dev_t device = 0;
    ino_t inode = 0;
    std::string path;
};

/// Creates every missing folder along path with the given permissions. Each existing
/// prefix must be a folder; stops at the first failing step. An empty path gives false.
bool createDirectoriesAtPath(const std::string& path, unsigned mode = 0755);

/// The path of a system folder without creating it:
/// application support: user $XDG_DATA_HOME (~/.local/share), local /usr/local/share,
/// system /usr/share; temporary: user $XDG_RUNTIME_DIR, else a per-user folder under the
/// system temporary folder, other domains the system temporary folder. Unknown types, the
/// network domain and an unknown home give nothing.
std::optional<std::string> findSystemFolderType(std::uint32_t folderType, FolderDomain domain);

/// The user's music folder: the XDG music folder, else ~/Music.
std::string userMusicFolder();

/// Why recordings cannot go into folder (missing, no folder, not writable), or nothing
/// when they can. With create, a missing folder is made first.
std::optional<std::string> recordingFolderProblem(const std::string& folder, bool create);

/// Fills ref for path. A symbolic link is referenced itself (its own inode), not its
/// target. Returns kNoErr, kFileNotFoundErr for a missing object or an empty last
/// component, or kIOErr.
std::int16_t getFSRef(FileReference& ref, const std::string& path);

} // namespace orvanta
