#pragma once

// Where the program finds what it ships beside itself: the start-up script, the scripts
// for the music player and their templates. An installed program looks in
// <prefix>/share/orvanta, found from its own location, so a copy moved to another prefix
// still works. A developer's program run from its build folder uses the checkout's
// resources folder; an installed one, or any of a release build, never looks outside its
// installation (a build folder may be gone, and another user may make one at its path).
//
// Thread-safe.

#include <string>

namespace orvanta {

/// The path of the running program (nothing when the system does not say).
std::string ownExecutablePath();

/// The resources folder (see above).
std::string resourcesFolder();

/// The resources folder an installed program at executablePath would use, when it has
/// one; empty otherwise.
std::string installedResourcesFolderFor(const std::string& executablePath);

/// For a program of a developer build run from inside its build folder: that folder, and
/// the checkout it was built from. Empty otherwise, and always in a release build.
std::string developerBuildFolder();
std::string developerSourceFolder();

} // namespace orvanta
