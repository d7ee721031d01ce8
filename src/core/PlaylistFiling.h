#pragma once

// The playlist hand-over that comes with Orvanta, done in the process (a script started
// for every finished file would cost more than the recording): the file is added to the
// M3U playlist <music>/Playlists/<playlist>.m3u, and with deleteSource first moved into
// <music>/Orvanta Library/<Artist>/<Album>/. A user's own "addToUserPlaylist" script
// replaces all of this.
//
// Nothing is ever overwritten: a name in use gets " 2", " 3"...; a move to another file
// system copies and syncs before the source goes; a playlist line is added once, under an
// advisory lock that other copies of the program honour too.
//
// Thread: any (one call at a time per playlist is not required).

#include "Value.h"

#include <string>

namespace orvanta {

struct PlaylistFilingResult
{
    std::string location; // where the file is now (also after a failure, once it moved)
    bool moved = false;   // it went into the library folders
    bool listed = false;  // the playlist holds it
    std::string error;    // why it is not listed
};

/// Files location into the playlist playlistName below musicFolder. id3Tags gives the
/// artist (TPE1) and album (TALB) of the library folders.
PlaylistFilingResult fileIntoPlaylist(const std::string& location, const std::string& playlistName,
                                      bool deleteSource, const Dictionary& id3Tags,
                                      const std::string& musicFolder);

/// One folder or file name made from text: no separators or control characters, at most
/// 200 bytes, and fallback for a name that would be empty, "." or "..".
std::string safePathComponent(const std::string& text, const std::string& fallback);

/// The playlist line for a location: the path, or a file: address when the path holds a
/// line break (which would cut the entry in two).
std::string playlistLineForLocation(const std::string& location);

} // namespace orvanta
