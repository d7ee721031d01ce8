#pragma once

// Moving a cut afterwards: the file that starts at a cut and the one before it are written
// anew from the session journal, frame-exact and without re-encoding, their tags and names
// kept. Where a file's audio lies in the journal is found from the audio itself (its first
// and last bytes), so a file cut once already, or one that lost a partial frame at either
// end, is found all the same.
//
// Both new files are complete on the disc before either old one is replaced (each by a
// rename in its own folder); a failure before that leaves both as they were.
//
// MP3 and AAC (ADTS); Ogg files are cut at their streams' boundaries and not moved.
// Thread-safe: no shared state.

#include "AudioFormat.h"
#include "SessionJournal.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orvanta {

struct RecordedCut
{
    JournalSession session;
    AudioFormat format = AudioFormat::MP3;
    std::string previousPath; // the song that ends at the cut
    std::string filePath;     // the song that starts there
    // Journal offsets of each file's audio, end exclusive; the earlier may end past the
    // later's start (a rewind) or short of it.
    std::uint64_t previousStart = 0;
    std::uint64_t previousEnd = 0;
    std::uint64_t fileStart = 0;
    std::uint64_t fileEnd = 0;
    /// The cut's distance from its title change, as the recording chose it (when the
    /// journal says).
    std::optional<double> fromTitleSeconds;
};

/// The cut at the start of filePath, found in the sessions under sessionsFolder; nothing
/// with error saying why (no journal holds it, the song before was not kept, Ogg...).
std::optional<RecordedCut> findRecordedCut(const std::string& sessionsFolder,
                                           const std::string& filePath, std::string& error);

/// Moves the cut by seconds (later when positive) to the nearest frame boundary and writes
/// both files anew. Returns how far it moved, or nothing with error.
std::optional<double> moveRecordedCut(const RecordedCut& cut, double seconds, std::string& error);

} // namespace orvanta
