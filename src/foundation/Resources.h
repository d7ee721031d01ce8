#pragma once

// Where the program finds what it ships beside itself: the start-up script, the scripts
// for the music player and their templates. An installed program looks in
// <prefix>/share/orvanta, found from its own location, so a copy moved to another prefix
// still works; a program run from its build folder uses the checkout's resources folder.
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

} // namespace orvanta
