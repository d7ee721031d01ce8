#pragma once

// Free space and a human name of the file system that holds a file.
//
// Thread-safe.

#include <cstdint>
#include <optional>
#include <string>

namespace orvanta {

/// Bytes an unprivileged user may still write on the file system of the open file fd;
/// nothing when it cannot be read.
std::optional<std::uint64_t> freeSpaceOfOpenFile(int fd);

/// The mount point of the file system that holds path ("/" when unknown).
std::string volumeNameForPath(const std::string& path);

} // namespace orvanta
