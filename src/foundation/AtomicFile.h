#pragma once

// Whole-file reading and crash-safe replacement of files we own (library, presets,
// preferences): the new content goes to a temporary file in the same folder, is flushed
// to disc and then renamed over the old file, so a reader sees the old or the new file
// and never a half-written one.
//
// Thread-safe: no shared state; concurrent writers of one path each leave a whole file.

#include <optional>
#include <string>
#include <string_view>

namespace orvanta {

/// The file's bytes; on failure nothing, with error naming the path and the reason.
std::optional<std::string> readWholeFile(const std::string& path, std::string& error);

/// Replaces path with bytes (permissions mode) or leaves the old file untouched and
/// returns false with error set.
bool writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode,
                         std::string& error);

/// Renames from to to unless something already exists at to (then false, errno EEXIST).
bool renameWithoutReplacing(const std::string& from, const std::string& to);

/// "damaged-YYYYMMDD-HHMMSS" in local time, for files kept aside because they cannot be read.
std::string damagedFileSuffix();

/// Renames path to a free "<path>.<suffix>[-N]" beside it without replacing anything;
/// returns the new path, or nothing when the rename failed.
std::optional<std::string> moveFileAside(const std::string& path, const std::string& suffix);

} // namespace orvanta
