// The playlist walk of M3UClient: which lines are entries, and recording one entry with its
// file, its skip and its retries.

#include "M3UClient.h"

#include "HistoryRules.h"
#include "Localization.h"
#include "Log.h"
#include "NodePropertyKeys.h"
#include "PreferencesReader.h"
#include "PrefsKeys.h"
#include "RelayInput.h"
#include "StringExtensions.h"

namespace orvanta {

namespace {

constexpr std::string_view kExtendedMarker = "#EXTM3U";
constexpr std::string_view kTitleMarker = "#EXTINF:";

bool isRecordableAddress(std::string_view line)
{
    // https entries are as recordable as http ones.
    return (startsWithIgnoringCase(line, "http://") || startsWithIgnoringCase(line, "https://")) &&
           endsWithIgnoringCase(line, ".mp3");
}

/// The last path component of an address without its extension.
std::string fileNameOfAddress(std::string_view address)
{
    const auto slash = address.rfind('/');
    std::string_view name = slash == std::string_view::npos ? address : address.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string_view::npos)
        name = name.substr(0, dot);
    return std::string(name);
}

} // namespace

std::vector<M3UEntry> M3UClient::entriesOfPlaylist(std::string_view text)
{
    std::vector<M3UEntry> entries;
    bool extended = false;
    std::string pendingTitle;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3); // a byte-order mark would hide "#EXTM3U"
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string line = stringByTrimmingWhitespaceAndNewline(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

        if (line == kExtendedMarker) {
            extended = true;
        } else if (extended && line.starts_with(kTitleMarker)) {
            const std::string_view info = std::string_view(line).substr(kTitleMarker.size());
            const auto comma = info.rfind(',');
            pendingTitle = stringByTrimmingWhitespaceAndNewline(
                comma == std::string_view::npos ? info : info.substr(comma + 1));
        } else if (isRecordableAddress(line)) {
            // The title stays in force for later entries until the next title line.
            entries.push_back({line, pendingTitle});
        }
    }
    return entries;
}

M3UClient::EntryOutcome M3UClient::recordEntry(const M3UEntry& entry, const std::string& folder)
{
    const std::string& address = entry.address;
    const BodyReceiver receiver = [this](const std::uint8_t* data, std::size_t length) {
        return writeMP3Data(data, length);
    };
    bool numbered;
    {
        std::lock_guard lock(m_settingsMutex);
        numbered = _numberRecordings;
    }
    // A skip asked for between entries has no entry to skip.
    skipTrackFlag = false;
    for (;;) {
        const bool autoReconnect = m_context.prefs.boolForKey(prefs::kAutoReconnect);
        fileWriter->addNewFileTags(fileTagsForEntry(address, folder));
        fileWriter->createNewFile();
        _trackName = entry.title.empty() ? fileNameOfAddress(address) : entry.title;
        setCurrentSong(Orvanta::tr("Connecting to: %1", {address}));

        m_entryTransfer = true;
        const std::optional<std::string> error = download(address, receiver);
        m_entryTransfer = false;
        _trackName.reset();
        if (!error) {
            fileWriter->finishCurrentFileAndMove(true);
            return shutDownFlag ? EntryOutcome::Stop : EntryOutcome::Next;
        }

        // One reading of each flag, so the file's fate and the alert agree.
        const bool skipped = skipTrackFlag;
        const bool stopped = shutDownFlag;
        if (skipped)
            fileWriter->skipCurrentFile();
        else
            fileWriter->finishCurrentFileAndMove(false);
        if (!skipped && !stopped) {
            logMessage("M3UClient::run", address + ": " + *error);
            postAlertMessage(*error, false);
        }
        if (stopped)
            return EntryOutcome::Stop;
        if (skipped) {
            skipTrackFlag = false;
            moveListenerToNextEntry();
            return EntryOutcome::Next;
        }
        if (!autoReconnect)
            return EntryOutcome::Next;
        if (numbered)
            fileWriter->decFileCounter(); // the retry takes the failed file's number
        if (!waitBeforeRetry()) {
            if (shutDownFlag)
                return EntryOutcome::Stop;
            skipTrackFlag = false;
            moveListenerToNextEntry();
            return EntryOutcome::Next;
        }
    }
}

Dictionary M3UClient::fileTagsForEntry(const std::string& address, const std::string& folder) const
{
    const std::string name = fileNameOfAddress(address);
    Dictionary tags{{fileinfo::kStreamTitle, address},
                    {fileinfo::kFilename, name},
                    {fileinfo::kCompleteBaseDir, folder},
                    {fileinfo::kID3Tags, Dictionary{{"TIT2", name}}}};
    if (historyHoldsCompleted(address))
        tags.set(fileinfo::kDuplicate, 1);
    return tags;
}

bool M3UClient::historyHoldsCompleted(const std::string& address) const
{
    Array history;
    {
        // The station's own list, which the main thread appends to: copy it under the lock
        // and read the copy without it.
        std::lock_guard settings(m_settingsMutex);
        std::lock_guard lock(historyListLock());
        history = _properties.get(np::NP_HISTORY).deepCopy().toArray();
    }
    return historyContainsCompletedTitle(history, address);
}

bool M3UClient::writeMP3Data(const std::uint8_t* data, std::size_t length)
{
    if (skipTrackFlag || shutDownFlag)
        return false;
    if (_trackName) {
        setCurrentSong(std::move(*_trackName));
        _trackName.reset();
        postAlertMessage("", false); // the entry works: clear an earlier entry's alert
    }
    fileWriter->setCallbackWriter(relayFlag ? m_context.relay : nullptr);
    fileWriter->writeData(data, length);
    return true;
}

} // namespace orvanta
