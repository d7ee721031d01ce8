#include "M3UClient.h"

#include "FileManagerExtensions.h"
#include "HttpTransfer.h"
#include "Localization.h"
#include "Log.h"
#include "MyProxyUtil.h"
#include "NodePropertyKeys.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "PrefsKeys.h"
#include "RelayInput.h"
#include "RelayThread.h"
#include "StringExtensions.h"

#include <algorithm>
#include <chrono>
#include <exception>

namespace orvanta {

namespace {

// Forwards libcurl's callbacks on the worker thread: headers are ignored, the body goes to
// the receiver, progress to the client.
class DownloadHandler : public curl::Handler
{
public:
    DownloadHandler(M3UClient& client, const M3UClient::BodyReceiver& receiver)
        : m_client(client), m_receiver(receiver)
    {}
    bool onHeader(std::string_view line) override
    {
        // Every response of a redirection chain has its status line; the last one counts.
        if (const auto status = parseStatusLine(line))
            m_status = status;
        return true;
    }
    bool onData(const std::uint8_t* data, std::size_t length) override
    {
        // An error page is neither a playlist nor a song.
        if (httpError())
            return false;
        return m_receiver(data, length);
    }
    const std::optional<StatusLine>& status() const { return m_status; }
    bool httpError() const { return m_status && m_status->code >= 400; }
    bool onProgress(std::int64_t downloadedNow) override
    {
        return m_client.progressCallback(downloadedNow);
    }

private:
    M3UClient& m_client;
    const M3UClient::BodyReceiver& m_receiver;
    std::optional<StatusLine> m_status;
};

/// The last path component of an address, trailing slashes ignored.
std::string lastPathComponent(std::string_view address)
{
    while (address.size() > 1 && address.back() == '/')
        address.remove_suffix(1);
    const auto slash = address.rfind('/');
    return std::string(slash == std::string_view::npos ? address : address.substr(slash + 1));
}

} // namespace

M3UClient::M3UClient(std::int32_t tag, std::shared_ptr<ServerProxy> server,
                     RecordingContext context)
    : GenericClient(tag, std::move(server), context),
      fileWriter(std::make_shared<MyFileWriter>(context.center))
{}

M3UClient::~M3UClient() = default;

void M3UClient::launchClientThreadWithTag(std::int32_t tag, std::shared_ptr<GenericServer> server,
                                          const RecordingContext& context)
{
    GenericClient::launchClientThreadWithTag(
        tag, std::move(server), context,
        [](std::int32_t t, std::shared_ptr<ServerProxy> proxy, const RecordingContext& c) {
            return std::make_shared<M3UClient>(t, std::move(proxy), c);
        });
}

// ---- client thread ------------------------------------------------------------------------

void M3UClient::setProperties(Dictionary properties)
{
    std::vector<std::string> urls;
    for (const Value& url : properties.get(np::NP_URLS_TO_VISIT).toArray()) {
        if (url.isString())
            urls.push_back(url.toString());
    }
    std::optional<std::vector<std::string>> scheduledPath;
    if (const Value* path = properties.find(np::NP_SCHEDULED_RECORDING_PATH);
        path && path->isArray()) {
        scheduledPath.emplace();
        for (const Value& level : path->toArray())
            scheduledPath->push_back(level.toString());
    }

    std::lock_guard lock(m_settingsMutex);
    _urls = std::move(urls);
    _scheduledRecordingPath = std::move(scheduledPath);
    _numberRecordings = properties.get(np::NP_NUMBER_RECORDINGS).toBool();
    // The history list stays shared with the station: duplicates are checked against what
    // the main thread appends while this recording runs.
    _properties = std::move(properties);
}

void M3UClient::runClientInNewThread()
{
    startWorker(
        "M3UClient::run", [this] { run(); }, [this] { setCurrentSong({}); });
}

void M3UClient::shutDown()
{
    {
        std::lock_guard lock(m_waitMutex);
        shutDownFlag = true;
    }
    m_waitCondition.notify_all();
}

void M3UClient::skipTrack()
{
    {
        std::lock_guard lock(m_waitMutex);
        skipTrackFlag = true;
    }
    m_waitCondition.notify_all();
}

double M3UClient::transferRate()
{
    std::lock_guard lock(m_stateMutex);
    return _transferRateCalculator.transferRate();
}

std::string M3UClient::currentSong()
{
    std::lock_guard lock(m_stateMutex);
    return m_currentSong;
}

std::string M3UClient::completePath()
{
    const std::string path = fileWriter->completeFilePath();
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void M3UClient::listen(bool on)
{
    relayFlag = on;
    if (on && m_context.relay) {
        m_context.relay->setDelegate(weak_from_this());
        // Playlist entries are MP3: whatever an Ogg or AAC station left the relay announcing
        // (and the Ogg headers it would send first) is not this recording's.
        m_context.relay->setStreamFormat("audio/mpeg", {});
    }
}

void M3UClient::setCurrentSong(std::string song)
{
    std::lock_guard lock(m_stateMutex);
    m_currentSong = std::move(song);
}

void M3UClient::postAlertMessage(const std::string& message, bool fatal)
{
    m_context.center.post(fatal ? OVFatalErrorAlertNotification : OVErrorAlertNotification, tag(),
                          Dictionary{{OVErrorAlertNotificationMessage, message}});
}

// ---- worker thread ------------------------------------------------------------------------

void M3UClient::run()
{
    std::string playlistAddress;
    {
        std::lock_guard lock(m_settingsMutex);
        if (!_urls.empty())
            playlistAddress = stringByTrimmingWhitespaceAndNewline(_urls.front());
    }
    m3uContentsData.clear();
    m_playlistTooLarge = false;
    {
        std::lock_guard lock(m_stateMutex);
        _transferRateCalculator.reset();
    }

    const std::optional<std::string> folder = recordingFolder();
    if (!folder || !configureFileWriter(*folder)) {
        postAlertMessage(Orvanta::tr("Cannot save recordings to disc - please check the "
                                     "download path and space available"),
                         true);
    } else {
        setCurrentSong(Orvanta::tr("Connecting to: %1", {playlistAddress}));
        std::string text;
        if (fetchPlaylist(playlistAddress, text)) {
            bool attempted = false;
            for (const M3UEntry& entry : entriesOfPlaylist(text)) {
                if (shutDownFlag)
                    break;
                attempted = true;
                if (recordEntry(entry, *folder) == EntryOutcome::Stop)
                    break;
            }
            // A stop before the first entry says nothing about the list.
            if (!attempted && !shutDownFlag)
                postAlertMessage(Orvanta::tr("M3U file may be invalid"), false);
        }
    }
    m3uContentsData.clear();
    m3uContentsData.shrink_to_fit();
    setCurrentSong({});
    m_context.center.post(OVFinishedNotification, tag());
}

std::optional<std::string> M3UClient::recordingFolder() const
{
    std::string source;
    bool scheduled = false;
    {
        std::lock_guard lock(m_settingsMutex);
        if (_scheduledRecordingPath) {
            scheduled = true;
            if (!_scheduledRecordingPath->empty())
                source = _scheduledRecordingPath->front();
        } else if (!_urls.empty()) {
            source = lastPathComponent(stringByTrimmingWhitespaceAndNewline(_urls.front()));
        }
    }
    source = MyFileWriter::stripInvalidFilenameCharacters(source);
    if (source.empty())
        source =
            scheduled ? Orvanta::tr("Unknown Scheduled Recording") : Orvanta::tr("Unknown Source");
    const std::string downloadPath = m_context.prefs.stringForKey(prefs::kDownloadPath);
    if (downloadPath.empty())
        return std::nullopt;
    return downloadPath + "/" + Orvanta::tr("M3U Recordings") + "/" + source;
}

bool M3UClient::configureFileWriter(const std::string& folder)
{
    // The writer makes its folders per file; finding out now spares every entry's download.
    if (!createDirectoriesAtPath(folder))
        return false;
    const PreferencesReader& prefs = m_context.prefs;
    if (prefs.boolForKey(prefs::kIgnoreFileSize)) {
        const std::int64_t kilobytes = prefs.integerForKey(prefs::kIgnoreFileSizeKB);
        fileWriter->setIgnoreFileSizeBytes(
            static_cast<std::uint64_t>(std::max<std::int64_t>(0, kilobytes)) * 1024);
    }
    fileWriter->setTag(tag());
    bool numbered;
    {
        std::lock_guard lock(m_settingsMutex);
        numbered = _numberRecordings;
    }
    if (numbered)
        fileWriter->setUseFileCounter();
    return true;
}

bool M3UClient::fetchPlaylist(const std::string& address, std::string& text)
{
    const BodyReceiver append = [this](const std::uint8_t* data, std::size_t length) {
        if (m3uContentsData.size() + length > kMaxPlaylistBytes) {
            m_playlistTooLarge = true;
            return false;
        }
        m3uContentsData.append(reinterpret_cast<const char*>(data), length);
        return true;
    };
    const std::optional<std::string> error = download(address, append);
    if (error) {
        logMessage("M3UClient::run", "Could not fetch the playlist " + address + ": " + *error);
        if (!shutDownFlag)
            postAlertMessage(m_playlistTooLarge ? Orvanta::tr("M3U file may be invalid") : *error,
                             false);
        return false;
    }
    text = utf8OrLatin1(m3uContentsData);
    return true;
}

std::optional<std::string> M3UClient::download(const std::string& address,
                                               const BodyReceiver& receiver)
{
    DownloadHandler handler(*this, receiver);
    const PreferencesReader& prefs = m_context.prefs;
    HttpRequest request;
    request.url = address;
    if (prefs.boolForKey(prefs::kLowSpeedDisconnect))
        request.lowSpeedTimeSeconds =
            static_cast<long>(prefs.integerForKey(prefs::kLowSpeedLimitSeconds));
    std::string error;
    auto transfer = HttpTransfer::create(request, &prefs, handler, error);
    if (!transfer)
        return error;
    const CURLcode result = transfer->perform();
    if (handler.httpError())
        return httpErrorText(*handler.status());
    if (result == CURLE_OK)
        return std::nullopt;
    return transfer->errorText();
}

bool M3UClient::progressCallback(std::int64_t downloadedNow)
{
    {
        std::lock_guard lock(m_stateMutex);
        _transferRateCalculator.update(static_cast<double>(downloadedNow));
    }
    // A transfer that receives nothing would otherwise hear of a stop or skip only when the
    // low-speed rule ends it, or never when that rule is off.
    return !shutDownFlag && !(m_entryTransfer && skipTrackFlag);
}

bool M3UClient::waitBeforeRetry()
{
    const std::int64_t seconds = m_context.prefs.integerForKey(prefs::kAutoReconnectWaitSeconds);
    if (seconds > 0) {
        std::unique_lock lock(m_waitMutex);
        m_waitCondition.wait_for(lock, std::chrono::seconds(seconds),
                                 [this] { return shutDownFlag.load() || skipTrackFlag.load(); });
    }
    return !shutDownFlag && !(m_entryTransfer && skipTrackFlag);
}

void M3UClient::moveListenerToNextEntry()
{
    // The core re-attaches the relay's player for the entry that follows. A relay that
    // cannot tell whether a player is connected is taken to have one.
    if (!relayFlag || !m_context.relay)
        return;
    const auto relay = std::dynamic_pointer_cast<RelayThread>(m_context.relay);
    if (!relay || relay->isValidConnection())
        m_context.center.post(OVRelayConnectionListenNotification, tag());
}

} // namespace orvanta
