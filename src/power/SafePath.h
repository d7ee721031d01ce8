#pragma once

// Paths nobody else can change under us. The wake-up helper becomes root's and set-user-id,
// so the folders that hold it, and the template it is copied from, must be out of reach of
// other users: every folder on the way belongs to root or to the user and is writable by
// nobody else (a sticky folder such as /tmp may be writable by all: there nobody can
// rename or remove what is not theirs), and no link is followed anywhere.
//
// Plain POSIX: the helper links this. Thread-safe.

#include <optional>
#include <string>

#include <sys/types.h>

namespace orvanta::power {

/// Opens the folder at the absolute path, walking it one folder at a time, each opened
/// without following links and checked as above for owner. Returns the descriptor, or -1
/// with errno: ENOTDIR (a link or a file on the way), EPERM (a folder of another user's, or
/// one others may change), or what opening said.
int openFolderOnlyChangeableBy(uid_t owner, const std::string& path);

/// The plain file at the absolute path, opened with flags (O_NOFOLLOW added) after the same
/// walk to its folder, and itself owned by root or owner and writable by nobody else.
int openFileOnlyChangeableBy(uid_t owner, const std::string& path, int flags);

/// Whether the folder descriptor is the user's alone: theirs, and no group or other bits.
bool isPrivateFolder(int folder, uid_t owner);

/// The folder name inside parent, made (mode 0700) when missing, opened without following
/// a link, and made the user's alone when it is theirs with group or other bits. -1 with
/// errno: EPERM (another user's), ENOTDIR or ELOOP (a link or no folder).
int openPrivateFolderAt(int parent, const char* name, uid_t owner);

/// The user's primary group; nothing for a user without an account.
std::optional<gid_t> primaryGroupOf(uid_t user);

/// The last part of a path, and all before it.
std::string lastPathComponent(const std::string& path);
std::string parentPath(const std::string& path);

} // namespace orvanta::power
