#include "TrackNaming.h"

#include "DictionaryExtensions.h"
#include "Localization.h"
#include "MyFileWriter.h"
#include "NodePropertyKeys.h"
#include "StreamTitle.h"

#include <cstdio>

#include <QLocale>

namespace orvanta {

namespace {

constexpr std::size_t kMaxNameBytes = 255;

// Layout bits of DirLayout and ScheduledDirLayout, in the order their folders nest.
enum : std::int64_t {
    kGenreLevel = 1,
    kStreamLevel = 2,
    kScheduleLevel = 4,
    kArtistLevel = 8,
    kAlbumLevel = 16,
    kDayLevel = 32,
    kSessionLevel = 64,
};

std::string truncateUtf8(const std::string& s, std::size_t maxBytes)
{
    if (s.size() <= maxBytes)
        return s;
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80)
        --cut;
    return s.substr(0, cut);
}

std::string format(const char* pattern, auto... args)
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, args...);
    return buffer;
}

std::string tagText(const Dictionary& tags, std::string_view key)
{
    return tags.get(key).toString();
}

} // namespace

TrackNaming::TrackNaming(const PreferencesReader& prefs, Clock clock)
    : m_prefs(prefs),
      m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); }))
{}

Dictionary TrackNaming::tagsForStreamTitle(StreamTitle* title)
{
    Dictionary tags;
    if (title) {
        auto found = title->ID3v2Tags();
        if (!found) {
            title->setPredefinedPattern(2);
            found = title->ID3v2Tags();
            if (!found) {
                title->setPredefinedPattern(0);
                found = title->ID3v2Tags();
            }
            title->setPredefinedPattern(
                static_cast<int>(_properties.get(np::NP_STREAMTITLE_PATTERN).toInteger()));
        }
        if (found)
            tags = *found;
    }

    if (_useID3v2) {
        tags.set("TRCK", std::to_string(trackCounter));
        if (trackCounter != 0)
            ++trackCounter;
        const std::int64_t genreType = _properties.get(np::NP_GENRE_TYPE).toInteger();
        const std::string custom = _properties.get(np::NP_GENRE_CUSTOM).toString();
        std::string genre = "Orvanta";
        if (genreType == 0 && !icy_genre.empty())
            genre = icy_genre;
        else if (genreType == 1 && !icy_genre.empty())
            genre = "Orvanta - " + icy_genre;
        else if (genreType == 2 && !custom.empty())
            genre = custom;
        tags.set("TCON", genre);
    }
    if (!tags.contains("TPE1"))
        tags.set("TPE1", localizedString("Unknown Artist"));
    if (!tags.contains("TIT2"))
        tags.set("TIT2", untitledTrackTitle(m_clock()));
    if (!tags.contains("TALB"))
        tags.set("TALB", boolForKey(_properties, np::NP_STREAM_IF_NO_ALBUM)
                             ? icy_name
                             : localizedString("Unknown Album"));
    if (boolForKey(_properties, np::NP_COMPILATION_FLAG)) {
        if (const Value* label = _properties.find(np::NP_COMPILATION_ALBUM_LABEL))
            tags.set("TALB", label->toString());
    }

    Dictionary info;
    info.set(fileinfo::kID3Tags, tags);
    if (metaint != 0) {
        const std::string streamTitle = title ? title->streamTitle() : icy_name;
        info.set(fileinfo::kStreamTitle, streamTitle);
        if (historyContainsStreamTitle(streamTitle))
            info.set(fileinfo::kDuplicate, 1);
    }
    info.set(fileinfo::kCompleteBaseDir, computeRecordingPath(info));
    info.set(fileinfo::kFilename, metaint != 0
                                      ? tagText(tags, "TPE1") + " - " + tagText(tags, "TIT2")
                                      : tagText(tags, "TIT2"));
    return info;
}

std::string TrackNaming::untitledTrackTitle(const QDateTime& now) const
{
    const std::string name = scheduledRecordingPath && !scheduledRecordingPath->empty()
                                 ? scheduledRecordingPath->at(0).toString()
                                 : localizedString("Unknown Track");
    const int hour = now.time().hour();
    const int minute = now.time().minute();
    const bool military = m_prefs.boolForKey("MilitaryTimeInFilenames");
    const std::string minutes = minute != 0 ? format(".%02d", minute) : std::string();
    const std::string date = now.date().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
    if (military)
        return name + " - " + date + " " + format("%02d", hour) + minutes;
    const int dialHour = hour > 12 ? hour - 12 : hour;
    return name + " - " + date + " " + std::to_string(dialHour) + minutes +
           (hour < 12 ? "AM" : "PM");
}

std::string TrackNaming::computeRecordingPath(const Dictionary& fileInformation) const
{
    std::string path = m_prefs.stringForKey("downloadpath");
    const std::int64_t layout =
        m_prefs.integerForKey(scheduledRecordingPath ? "ScheduledDirLayout" : "DirLayout");
    const Dictionary tags = fileInformation.get(fileinfo::kID3Tags).toDictionary();
    auto append = [&path](const std::string& level) { path += "/" + level; };

    if (layout & kGenreLevel)
        append(folderLevel(icy_genre, localizedString("Unknown Genre")));
    if (layout & kStreamLevel)
        append(folderLevel(icy_name, localizedString("Unknown Stream"),
                           format(" [%lld Kbps]", static_cast<long long>(icy_br))));
    if ((layout & kScheduleLevel) && scheduledRecordingPath) {
        const std::string name = scheduledRecordingPath->empty()
                                     ? std::string()
                                     : scheduledRecordingPath->at(0).toString();
        append(folderLevel(name, localizedString("Unknown Scheduled Recording")));
    }
    if (layout & kArtistLevel)
        append(folderLevel(tagText(tags, "TPE1"), localizedString("Unknown Artist")));
    if (layout & kAlbumLevel)
        append(folderLevel(tagText(tags, "TALB"), localizedString("Unknown Album")));
    if (layout & kDayLevel) {
        const QDateTime now = m_clock();
        append(QLocale().toString(now.date(), QStringLiteral("dddd, dd MMM yyyy")).toStdString());
    }
    if ((layout & kSessionLevel) && !_sessionName.empty())
        append(folderLevel(_sessionName, localizedString("session")));
    return path;
}

std::string TrackNaming::folderLevel(const std::string& text, const std::string& fallback,
                                     const std::string& suffix)
{
    std::string level = MyFileWriter::stripInvalidFilenameCharacters(text);
    if (level.empty())
        level = MyFileWriter::stripInvalidFilenameCharacters(fallback);
    const std::size_t room = suffix.size() < kMaxNameBytes ? kMaxNameBytes - suffix.size() : 0;
    return truncateUtf8(level, room) + suffix;
}

std::string TrackNaming::computeSessionName() const
{
    const QDateTime now = m_clock();
    const int hour = now.time().hour();
    const int minute = now.time().minute();
    const int second = now.time().second();
    const std::string session = localizedString("session");
    const std::string seconds =
        second >= 1 ? std::to_string(second) + localizedString("secs") : std::string();
    if (m_prefs.boolForKey("MilitaryTimeInFilenames"))
        return session + format(" %02d.%02d ", hour, minute) + seconds;
    const int dialHour = hour >= 12 ? hour - 12 : hour;
    const std::string minutes = minute != 0 ? format(".%02d", minute) : std::string();
    return session + " " + std::to_string(dialHour) + minutes + (hour < 12 ? "AM" : "PM") + " " +
           seconds;
}

bool TrackNaming::historyContainsStreamTitle(const std::string& streamTitle) const
{
    const Array history =
        historySnapshot ? historySnapshot() : _properties.get(np::NP_HISTORY).toArray();
    for (const Value& entry : history) {
        const Dictionary d = entry.toDictionary();
        const Value* title = d.find(fileinfo::kStreamTitle);
        if (title && title->isString() && title->toString() == streamTitle &&
            d.contains(fileinfo::kDateCompleted))
            return true;
    }
    return false;
}

} // namespace orvanta
