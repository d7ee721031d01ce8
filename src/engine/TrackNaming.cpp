#include "TrackNaming.h"

#include "DictionaryExtensions.h"
#include "HistoryRules.h"
#include "Localization.h"
#include "MyFileWriter.h"
#include "NodePropertyKeys.h"
#include "PrefsKeys.h"
#include "StreamTitle.h"
#include "StringExtensions.h"

#include <cstdio>

#include <QLocale>

namespace orvanta {

namespace {

constexpr std::size_t kMaxNameBytes = 255;

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
    return tagsForTrack(std::move(tags), metaint != 0, title ? title->streamTitle() : icy_name);
}

Dictionary TrackNaming::tagsForKnownTrack(Dictionary found, const std::string& streamTitle)
{
    return tagsForTrack(std::move(found), true, streamTitle);
}

Dictionary TrackNaming::tagsForTrack(Dictionary tags, bool titled, const std::string& streamTitle)
{
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
        tags.set("TPE1", Orvanta::tr("Unknown Artist"));
    if (!tags.contains("TIT2"))
        tags.set("TIT2", untitledTrackTitle(m_clock()));
    if (!tags.contains("TALB"))
        tags.set("TALB", boolForKey(_properties, np::NP_STREAM_IF_NO_ALBUM)
                             ? icy_name
                             : Orvanta::tr("Unknown Album"));
    if (boolForKey(_properties, np::NP_COMPILATION_FLAG)) {
        if (const Value* label = _properties.find(np::NP_COMPILATION_ALBUM_LABEL))
            tags.set("TALB", label->toString());
    }

    Dictionary info;
    info.set(fileinfo::kID3Tags, tags);
    if (titled) {
        info.set(fileinfo::kStreamTitle, streamTitle);
        if (m_completedTitles.count(streamTitle) > 0 || historyContainsStreamTitle(streamTitle))
            info.set(fileinfo::kDuplicate, 1);
    }
    info.set(fileinfo::kCompleteBaseDir, computeRecordingPath(info));
    info.set(fileinfo::kFilename, titled ? tagText(tags, "TPE1") + " - " + tagText(tags, "TIT2")
                                         : tagText(tags, "TIT2"));
    return info;
}

std::string TrackNaming::untitledTrackTitle(const QDateTime& now) const
{
    const std::string name = scheduledRecordingPath && !scheduledRecordingPath->empty()
                                 ? scheduledRecordingPath->at(0).toString()
                                 : Orvanta::tr("Unknown Track");
    const int hour = now.time().hour();
    const int minute = now.time().minute();
    const bool military = m_prefs.boolForKey(prefs::kMilitaryTimeInFilenames);
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
    std::string path = m_prefs.stringForKey(prefs::kDownloadPath);
    const std::int64_t layout = m_prefs.integerForKey(
        scheduledRecordingPath ? prefs::kScheduledDirLayout : prefs::kDirLayout);
    const Dictionary tags = fileInformation.get(fileinfo::kID3Tags).toDictionary();
    auto append = [&path](const std::string& level) { path += "/" + level; };

    if (layout & prefs::kLayoutGenre)
        append(folderLevel(icy_genre, Orvanta::tr("Unknown Genre")));
    if (layout & prefs::kLayoutStream)
        append(folderLevel(icy_name, Orvanta::tr("Unknown Stream"),
                           format(" [%lld Kbps]", static_cast<long long>(icy_br))));
    if ((layout & prefs::kLayoutScheduledName) && scheduledRecordingPath) {
        const std::string name = scheduledRecordingPath->empty()
                                     ? std::string()
                                     : scheduledRecordingPath->at(0).toString();
        append(folderLevel(name, Orvanta::tr("Unknown Scheduled Recording")));
    }
    if (layout & prefs::kLayoutArtist)
        append(folderLevel(tagText(tags, "TPE1"), Orvanta::tr("Unknown Artist")));
    if (layout & prefs::kLayoutAlbum)
        append(folderLevel(tagText(tags, "TALB"), Orvanta::tr("Unknown Album")));
    if (layout & prefs::kLayoutDay) {
        const QDateTime now = m_clock();
        append(QLocale().toString(now.date(), QStringLiteral("dddd, dd MMM yyyy")).toStdString());
    }
    if ((layout & prefs::kLayoutTime) && !_sessionName.empty())
        append(folderLevel(_sessionName, Orvanta::tr("session")));
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
    const std::string session = Orvanta::tr("session");
    const std::string seconds =
        second >= 1 ? std::to_string(second) + Orvanta::tr("secs") : std::string();
    if (m_prefs.boolForKey(prefs::kMilitaryTimeInFilenames))
        return session + format(" %02d.%02d ", hour, minute) + seconds;
    const int dialHour = hour >= 12 ? hour - 12 : hour;
    const std::string minutes = minute != 0 ? format(".%02d", minute) : std::string();
    return session + " " + std::to_string(dialHour) + minutes + (hour < 12 ? "AM" : "PM") + " " +
           seconds;
}

void TrackNaming::noteCompletedTitle(const std::string& streamTitle)
{
    if (!streamTitle.empty())
        m_completedTitles.insert(streamTitle);
}

bool TrackNaming::historyContainsStreamTitle(const std::string& streamTitle) const
{
    if (historySnapshot)
        return historyContainsCompletedTitle(historySnapshot(), streamTitle);
    // The list is the station's own, which the main thread appends to.
    std::lock_guard lock(historyListLock());
    return historyContainsCompletedTitle(_properties.get(np::NP_HISTORY).toArray(), streamTitle);
}

} // namespace orvanta
