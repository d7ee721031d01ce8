#pragma once

// What each recorded track is called, how it is tagged and where it is filed: the tag
// dictionary from the stream title with its fallbacks, the folder from the user's layout,
// the file name, and the duplicate mark.
//
// The inputs are the stream client's fields (stream name, genre, bitrate, metadata
// interval, track counter, session name, recording properties); the client keeps them up
// to date and asks for each new file.
//
// Thread: the recording's worker. The history is read through historySnapshot, which the
// owner points at a locked copy when the list is shared with other threads.

#include "PreferencesReader.h"
#include "Value.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include <QDateTime>

namespace orvanta {

class StreamTitle;

class TrackNaming
{
public:
    using Clock = std::function<QDateTime()>;

    /// clock gives the local time; the default is the system clock.
    explicit TrackNaming(const PreferencesReader& prefs, Clock clock = {});

    // Inputs, as the stream client knows them.
    std::string icy_name;
    std::string icy_genre;
    std::int64_t icy_br = 0;
    std::int64_t metaint = 0;
    std::int64_t trackCounter = 0;
    bool _useID3v2 = false;
    std::optional<Array> scheduledRecordingPath; // its first element names the schedule
    std::string _sessionName;
    Dictionary _properties;
    std::function<Array()> historySnapshot; // default: the NP_HISTORY list of _properties

    /// The file-information dictionary of the next file.
    Dictionary tagsForStreamTitle(StreamTitle* title);
    /// The same for a track whose artist, title and album (TPE1, TIT2, TALB, any of them
    /// missing) the stream itself says, as an Ogg stream's comments do: named and checked for
    /// duplicates by streamTitle, like a track of a stream with titles.
    Dictionary tagsForKnownTrack(Dictionary found, const std::string& streamTitle);
    /// The folder of a file, from the download path and the layout bits.
    std::string computeRecordingPath(const Dictionary& fileInformation) const;
    std::string computeSessionName() const;
    /// Whether a completed file of the station had this exact title.
    bool historyContainsStreamTitle(const std::string& streamTitle) const;
    /// A file of this recording with that title was completed: a duplicate check must not
    /// wait for the station's history to hear of it.
    void noteCompletedTitle(const std::string& streamTitle);

    /// A folder name from stream data: invalid characters removed, at most 255 bytes,
    /// and never empty, "." or ".." (fallback instead).
    static std::string folderLevel(const std::string& text, const std::string& fallback,
                                   const std::string& suffix = {});

private:
    Dictionary tagsForTrack(Dictionary tags, bool titled, const std::string& streamTitle);
    std::string untitledTrackTitle(const QDateTime& now) const;

    const PreferencesReader& m_prefs;
    Clock m_clock;
    std::set<std::string> m_completedTitles;
};

} // namespace orvanta
