#include "MP3Client.h"

#include "HttpTransfer.h"
#include "IcyHeaders.h"
#include "Localization.h"
#include "Log.h"
#include "MyProxyUtil.h"
#include "NodePropertyKeys.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "PrefsKeys.h"
#include "RelayInput.h"
#include "StringExtensions.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace orvanta {

namespace {

std::int64_t monotonicSeconds()
{
    using namespace std::chrono;
    return duration_cast<seconds>(steady_clock::now().time_since_epoch()).count();
}

// Forwards libcurl's callbacks to the client on the worker thread.
class TransferHandler : public curl::Handler
{
public:
    explicit TransferHandler(MP3Client& client) : m_client(client) {}
    bool onHeader(std::string_view line) override
    {
        m_client.parseReqHeaders(line);
        return true;
    }
    bool onData(const std::uint8_t* data, std::size_t length) override
    {
        return m_client.writeShoutCastData(data, length);
    }
    bool onProgress(std::int64_t downloadedNow) override
    {
        return m_client.progressCallback(downloadedNow);
    }

private:
    MP3Client& m_client;
};

// Audio arrives in small packets; waking for each one costs more than handling it. The
// kernel wakes the transfer only once this much is waiting (or the connection ends), about
// half a second of a 128 kbit/s stream; low-speed and stop checks run on libcurl's own timer.
constexpr int kReceiveLowWater = 8192;

std::vector<std::string> stringList(const Value& value)
{
    std::vector<std::string> result;
    for (const Value& item : value.toArray()) {
        if (item.isString())
            result.push_back(item.toString());
    }
    return result;
}

} // namespace

MP3Client::MP3Client(std::int32_t tag, std::shared_ptr<ServerProxy> server,
                     RecordingContext context)
    : GenericClient(tag, std::move(server), context),
      m_ogg(
          [this](const OggStreamInfo& info, const std::optional<VorbisComments>& comments) {
              return startOggFile(info, comments);
          },
          [this](const std::uint8_t* data, std::size_t length) {
              fileWriter->writeData(data, length);
          }),
      m_heardOgg(
          [](const OggStreamInfo&, const std::optional<VorbisComments>&) { return Dictionary(); },
          [](const std::uint8_t*, std::size_t) {}),
      m_gapSplitter([this](GapSplitter::Cut& cut) { startFileAtCut(cut); }),
      fileWriter(std::make_shared<MyFileWriter>(context.center)), m_naming(context.prefs),
      m_seconds(monotonicSeconds)
{
    // Files complete on the worker, which also names the next ones.
    fileWriter->setCompletionObserver([this](const Dictionary& report) {
        m_naming.noteCompletedTitle(report.get(fileinfo::kStreamTitle).toString());
        if (m_journal)
            m_journal->fileCompleted(report.get(fileinfo::kLocation).toString(),
                                     SessionJournal::clock());
    });
}

MP3Client::~MP3Client() = default;

void MP3Client::launchClientThreadWithTag(std::int32_t tag, std::shared_ptr<GenericServer> server,
                                          const RecordingContext& context)
{
    GenericClient::launchClientThreadWithTag(
        tag, std::move(server), context,
        [](std::int32_t t, std::shared_ptr<ServerProxy> proxy, const RecordingContext& c) {
            return std::make_shared<MP3Client>(t, std::move(proxy), c);
        });
}

// ---- client thread ------------------------------------------------------------------------

void MP3Client::setProperties(Dictionary properties)
{
    {
        std::lock_guard lock(m_stateMutex);
        _properties = std::move(properties);
        const Value* seconds = _properties.find(kListenBufferSecondsKey);
        if (!seconds || !seconds->isNumber() || seconds->toReal() <= 0 || m_heard)
            return;
        m_listenBufferSeconds = seconds->toReal();
        m_heard =
            std::make_shared<ListeningBuffer>(ListeningBuffer::bytesFor(m_listenBufferSeconds, 0));
        m_listening = true;
    }
    // What is heard goes to the player through the relay from the first byte.
    listen(true);
}

void MP3Client::runClientInNewThread()
{
    startWorker("MP3Client::run", [this] { run(); });
}

void MP3Client::shutDown()
{
    {
        std::lock_guard lock(m_waitMutex);
        shutDownFlag = true;
    }
    m_waitCondition.notify_all();
}

double MP3Client::transferRate()
{
    std::lock_guard lock(m_stateMutex);
    return _transferRateCalculator.transferRate();
}

std::string MP3Client::currentSong()
{
    std::lock_guard lock(m_stateMutex);
    m_currentSongSet = true;
    return m_currentSong;
}

bool MP3Client::canSkipTrack()
{
    return metaint != 0;
}

void MP3Client::skipTrack()
{
    if (!canSkipTrack())
        return;
    {
        std::lock_guard lock(m_stateMutex);
        const std::string skipping = Orvanta::tr("(Skipping)");
        if (m_currentSong.rfind(skipping, 0) == 0)
            return;
        m_currentSong = skipping + " " + m_currentSong;
    }
    // With the wide search the writer lags the stream by seconds, and the song being skipped
    // may not have its file yet: the worker knows which file it is.
    if (m_wideSearch.load())
        m_skipRequested = true;
    else
        fileWriter->skipCurrentFile();
}

std::string MP3Client::completePath()
{
    const std::string path = fileWriter->completeFilePath();
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void MP3Client::listen(bool on)
{
    relayFlag = on;
    if (on && m_context.relay) {
        m_context.relay->setDelegate(weak_from_this());
        std::lock_guard lock(m_stateMutex);
        m_context.relay->setStreamFormat(m_relayContentType, m_relayHeader);
    }
}

void MP3Client::setCurrentSong(std::string song)
{
    std::lock_guard lock(m_stateMutex);
    m_currentSong = std::move(song);
}

void MP3Client::postAlert(const std::string& message)
{
    m_context.center.post(OVErrorAlertNotification, tag(),
                          Dictionary{{OVErrorAlertNotificationMessage, message}});
}

// ---- worker thread ------------------------------------------------------------------------

void MP3Client::setIVarsFromProperties()
{
    // The core copied the properties for this recording; only NP_HISTORY is still the
    // station's own list, read under its lock by the naming code.
    const Dictionary& p = _properties;
    if (const Value* path = p.find(np::NP_SCHEDULED_RECORDING_PATH); path && path->isArray())
        m_naming.scheduledRecordingPath = path->toArray();
    urls = stringList(p.get(np::NP_URLS_TO_VISIT));
    m_hlsAddresses = stringList(p.get(kHlsAddressesKey));
    if (const std::int64_t kbps = p.get(np::NP_HLS_VARIANT_KBPS).toInteger(); kbps > 0)
        m_hlsVariantBitsPerSecond = kbps * 1000;
    ignoreMetaint = p.get(np::NP_ALWAYSMANUAL).toBool();
    manualSplitMethod = static_cast<int>(p.get(np::NP_MANUALSPLITTYPE).toInteger());
    splitByTimeOfSeconds = static_cast<std::uint64_t>(
                               std::max<std::int64_t>(0, p.get(np::NP_SPLITTIMEMINS).toInteger())) *
                           60;
    splitByFileSizeOfBytes =
        static_cast<std::uint64_t>(std::max<std::int64_t>(0, p.get(np::NP_SPLITSIZEMB).toInteger()))
        << 20;
    rewindSeconds = std::max(0.0, p.get(np::NP_REWINDSECS).toReal());
    // Presets from before the wide search have no such key: they get its default.
    if (const Value* search = p.find(np::NP_SPLIT_SEARCH_SECONDS); search && search->isNumber())
        splitSearchSeconds = std::clamp(search->toReal(), 0.0, 30.0);
    m_learnedOffsets.clear();
    for (const Value& offset : p.get(np::NP_SPLIT_OFFSETS).toArray())
        if (offset.isNumber())
            m_learnedOffsets.push_back(offset.toReal());
    numberRecordings = p.get(np::NP_NUMBER_RECORDINGS).toBool();
    m_naming._properties = p;
    const Value* encoding = p.find(np::NP_LANGUAGE_ENCODING);
    languageEncoding = encoding ? static_cast<unsigned>(encoding->toInteger()) : 5;
    numberRecordingsTrack = p.get(np::NUMBER_RECORDINGS_TRACK).toBool();
    splitEarlierOrLater = static_cast<int>(p.get(np::SPLIT_EARLIER_OR_LATER).toInteger());
    // With the wide search the user's correction moves each cut by that much audio.
    m_gapSplitter.configure(AudioFormat::MP3, splitSearchSeconds,
                            splitEarlierOrLater == 0 ? -rewindSeconds : rewindSeconds,
                            m_learnedOffsets);
    const std::string user = p.get(np::NP_USERNAME).toString();
    const std::string password = p.get(np::NP_PASSWORD).toString();
    if (!user.empty() && !password.empty())
        _userpwd = user + ":" + password;

    const PreferencesReader& prefs = m_context.prefs;
    _useID3v1 = prefs.boolForKey(prefs::kUseID3v1);
    _useID3v2 = !_useID3v1;
    m_naming._useID3v2 = _useID3v2;
    _replaceStreamName = prefs.boolForKey(prefs::kReplaceStreamName);
    _lowSpeedDisconnect = prefs.boolForKey(prefs::kLowSpeedDisconnect);
    _lowSpeedLimitSeconds = prefs.integerForKey(prefs::kLowSpeedLimitSeconds);
    _ignoreDuplicates = prefs.boolForKey(prefs::kIgnoreDuplicateRecordings);
}

void MP3Client::run()
{
    setIVarsFromProperties();
    splitLaterArray.clear();
    m_naming.trackCounter = 1;
    if (!m_listening)
        openJournal();
    for (;;) {
        const bool autoReconnect = m_context.prefs.boolForKey(prefs::kAutoReconnect);
        if (!shutDownFlag)
            runConnectionCycle();
        // A finite resource that arrived whole is not fetched again; an error page or a body
        // without audio is no such resource.
        const bool finiteResourceDone =
            (content_length && !m_httpError && !m_noAudio && m_connectionHadAudio &&
             leadingContentLength() == static_cast<std::int64_t>(m_connectionBytes)) ||
            (m_hls && m_hls->finished());
        if (!autoReconnect || shutDownFlag || finiteResourceDone)
            break;
        if (!waitBeforeReconnecting())
            break;
    }
    m_journal.reset(); // flushed to the disc before the recording is reported ended
    m_context.center.post(OVFinishedNotification, tag());
}

void MP3Client::openJournal()
{
    const PreferencesReader& prefs = m_context.prefs;
    SessionJournal::Budget budget;
    budget.days = static_cast<int>(
        std::clamp<std::int64_t>(prefs.integerForKey(prefs::kJournalDays), 0, 365));
    budget.bytes = static_cast<std::uint64_t>(std::clamp<std::int64_t>(
                       prefs.integerForKey(prefs::kJournalBudgetMB), 0, std::int64_t{1} << 30))
                   << 20;
    std::string station;
    {
        std::lock_guard lock(m_stateMutex);
        station = _properties.get(np::NP_NAME).toString();
    }
    m_journal = SessionJournal::open(SessionJournal::defaultSessionsFolder(), station, budget,
                                     SessionJournal::clock());
}

std::int64_t MP3Client::leadingContentLength() const
{
    if (!content_length)
        return -1;
    try {
        std::size_t used = 0;
        const long long value = std::stoll(*content_length, &used);
        return used == content_length->size() ? value : -1;
    } catch (const std::exception&) {
        return -1;
    }
}

void MP3Client::runConnectionCycle()
{
    TransferHandler handler(*this);
    HttpRequest request;
    request.dnsCacheSeconds = 0;
    request.maxRedirects = 10;
    request.connectTimeoutSeconds = 10;
    if (_lowSpeedDisconnect)
        request.lowSpeedTimeSeconds = static_cast<long>(_lowSpeedLimitSeconds);
    if (!ignoreMetaint)
        request.headers.push_back("Icy-MetaData: 1");
    request.headers.push_back("Pragma: no-cache");
    request.acceptIcyStatusLine = true;
    request.receiveLowWater = kReceiveLowWater;
    if (!_userpwd.empty())
        request.credentials = _userpwd;
    std::string setupError;
    auto transfer = HttpTransfer::create(request, &m_context.prefs, handler, setupError);
    if (!transfer) {
        logMessage("MP3Client::run", setupError);
        if (!shutDownFlag)
            postAlert(setupError);
        return;
    }

    CURLcode result = CURLE_OK;
    std::string hlsError;
    for (const std::string& address : urls) {
        if (shutDownFlag)
            break;
        const std::string url = stringByTrimmingWhitespaceAndNewline(address);
        setCurrentSong(Orvanta::tr("Connecting to: %1", {url}));
        resetForConnection();
        m_connectionUrl = url;
        if (!transfer->setUrl(url)) {
            result = CURLE_URL_MALFORMAT;
            continue;
        }
        const std::uint64_t audioBefore = fileWriter->audioBytesWritten();
        if (hls::isHlsAddress(url) ||
            std::find(m_hlsAddresses.begin(), m_hlsAddresses.end(), url) != m_hlsAddresses.end()) {
            // An HLS station comes as the stream a station of the other kind sends.
            if (!m_hls) {
                std::lock_guard lock(m_stateMutex);
                m_hls = std::make_unique<hls::HlsStationReader>(
                    &m_context.prefs,
                    _userpwd.empty() ? std::nullopt : std::optional<std::string>(_userpwd),
                    _properties.get(np::NP_NAME).toString(), !ignoreMetaint,
                    m_hlsVariantBitsPerSecond);
            }
            result = m_hls->perform(url, handler, shutDownFlag);
            hlsError = m_hls->errorText();
        } else {
            hlsError.clear();
            m_transfer = &*transfer;
            result = transfer->perform();
            m_transfer = nullptr;
        }
        // A body shorter than the format check's sample is recorded as it ends.
        if (!m_format && m_sniffedBytes > 0 && !m_stopHandled && !shutDownFlag && !m_httpError)
            settleFormatAndReplay();
        if (!m_stopHandled)
            flushMetadataBuffer();
        // What a delayed split queued belongs to this connection only.
        fileWriter->discardQueuedFileTags();
        splitLaterArray.clear();
        m_connectionHadAudio = fileWriter->audioBytesWritten() > audioBefore;
        if (m_journal && m_connectionHadAudio)
            m_journal->dropped(shutDownFlag       ? std::string("stopped")
                               : hlsError.empty() ? transfer->errorText()
                                                  : hlsError,
                               SessionJournal::clock());
        if (shutDownFlag || result == CURLE_COULDNT_RESOLVE_PROXY)
            break;
        // A server that answered with an error or sent no audio has not served the station:
        // the next address may.
        if (result == CURLE_OK && !m_httpError && (m_connectionHadAudio || m_connectionBytes == 0))
            break;
    }
    finishConnection(result, transfer->usesProxy(),
                     hlsError.empty() ? transfer->errorText() : hlsError);
}

void MP3Client::resetForConnection()
{
    notFirstPass = false;
    m_firstFileDeferred = false;
    bytecount = 0;
    metaint = 0;
    m_naming.metaint = 0;
    bufp.clear();
    bufp.shrink_to_fit();
    {
        std::lock_guard lock(m_stateMutex);
        _transferRateCalculator.reset();
    }
    _streamTitleChangedCounter = 0;
    m_naming._sessionName = m_naming.computeSessionName();
    content_length.reset();
    m_connectionBytes = 0;
    m_stopHandled = false;
    m_stopSeenAt.reset();
    m_httpError.reset();
    m_noAudio = false;
    m_connectionHadAudio = false;
    m_contentType.reset();
    m_format.reset();
    m_unknownFormat = false;
    m_sniffedChunks.clear();
    m_sniffedBytes = 0;
    m_ogg.reset();
    m_oggTrackTags.reset();
}

void MP3Client::finishConnection(int result, bool proxyInUse, const std::string& curlError)
{
    if (result == CURLE_OK)
        fileWriter->finishCurrentFileAndMove(true);
    else
        fileWriter->stopCurrentFile();
    if (shutDownFlag)
        return;
    // An error status or a body without audio is a failed connection, whatever libcurl
    // thinks of the transfer: say what the server did.
    if (m_httpError) {
        const std::string message = httpErrorText(*m_httpError);
        logMessage("MP3Client::run", message);
        postAlert(message);
        return;
    }
    if (m_unknownFormat) {
        const std::string message =
            Orvanta::tr("Orvanta cannot record this stream: its format (%1) is not MP3, AAC or Ogg",
                        {m_contentType.value_or("")});
        logMessage("MP3Client::run", message);
        postAlert(message);
        return;
    }
    if (m_ogg.unsupportedCodec()) {
        const std::string message =
            Orvanta::tr("The Ogg stream holds neither Vorbis nor Opus audio");
        logMessage("MP3Client::run", message);
        postAlert(message);
        return;
    }
    if (m_noAudio || (result == CURLE_OK && m_connectionBytes > 0 && !m_connectionHadAudio)) {
        const std::string message =
            Orvanta::tr("No %1 audio in the stream",
                        {std::string(formatName(m_format.value_or(AudioFormat::MP3)))});
        logMessage("MP3Client::run", message);
        postAlert(message);
        return;
    }
    if (result == CURLE_OK && bytecount == 0 && !_receivedResponseHeader) {
        postAlert(errorMessage.value_or(
            Orvanta::tr("Radio station is busy and not accepting incoming connections")));
        return;
    }
    if (errorMessage || result != CURLE_OK) {
        if (result == CURLE_COULDNT_CONNECT && proxyInUse)
            errorMessage = Orvanta::tr("Proxy not responding on specified port number");
        const std::string message = errorMessage.value_or(curlError);
        logMessage("MP3Client::run", message);
        postAlert(message);
    }
}

bool MP3Client::waitBeforeReconnecting()
{
    const std::int64_t seconds = m_context.prefs.integerForKey(prefs::kAutoReconnectWaitSeconds);
    if (seconds <= 0)
        return !shutDownFlag;
    std::unique_lock lock(m_waitMutex);
    m_waitCondition.wait_for(lock, std::chrono::seconds(seconds),
                             [this] { return shutDownFlag.load(); });
    return !shutDownFlag;
}

bool MP3Client::progressCallback(std::int64_t downloadedNow)
{
    {
        std::lock_guard lock(m_stateMutex);
        if (m_hls && m_hls->targetDurationSeconds() > 0)
            _transferRateCalculator.setMinimumInterval(2 * m_hls->targetDurationSeconds());
        _transferRateCalculator.update(static_cast<double>(downloadedNow));
    }
    // A Record while listening is not kept waiting for the station's next bytes.
    if (m_recordRequested && m_listening && m_format && notFirstPass && m_heardBlockLeft < 0)
        startRecordingFromBuffer();
    // Ends a transfer that receives nothing, instead of waiting for the next block.
    return !shutDownFlag || drainAfterStop();
}

bool MP3Client::drainAfterStop()
{
    const auto now = std::chrono::steady_clock::now();
    if (!m_stopSeenAt) {
        m_stopSeenAt = now;
        // Below the low-water mark the socket would wait for more before waking libcurl.
        if (m_transfer)
            m_transfer->wakeOnEveryByte();
    }
    if (m_transfer && m_transfer->bytesWaitingInSocket() > 0 &&
        now - *m_stopSeenAt < kStopDrainLimit)
        return true;
    closeFileForStop();
    return false;
}

void MP3Client::parseReqHeaders(std::string_view line)
{
    _receivedResponseHeader = true;
    if (const auto status = parseStatusLine(line)) {
        // Each response of a redirection chain starts with its own status line; only the
        // last one is the answer.
        if (status->code >= 400)
            m_httpError = status;
        else
            m_httpError.reset();
        return;
    }
    const auto header = parseHeaderLine(line);
    if (!header)
        return;
    const std::string& name = header->name;
    const std::string& value = header->value;
    if (name == "icy-metaint") {
        const auto interval = validMetaint(value);
        if (!interval) {
            logMessage("MP3Client::parseReqHeaders",
                       "Ignoring icy-metaint \"" + value +
                           "\" (not 1 to 65536): recording without metadata");
            return;
        }
        metaint = *interval;
        m_naming.metaint = *interval;
        // Room for metaint audio bytes on each side of the largest metadata block.
        bufp.assign(static_cast<std::size_t>(2 * *interval + 8162), 0);
        bytecount = 0;
        metaoffset = *interval;
        return;
    }
    if (name == "icy-br" || name == "x-audiocast-bitrate") {
        if (const auto bitrate = leadingInteger(value)) {
            m_naming.icy_br = *bitrate;
            m_context.center.post(OVStreamBitrateNotification, tag(), *bitrate);
        }
        return;
    }
    if (name == "icy-name" || name == "x-audiocast-name") {
        m_naming.icy_name = value;
        m_haveIcyName = true;
    } else if (name == "icy-genre" || name == "x-audiocast-genre") {
        m_naming.icy_genre = value;
        m_haveIcyGenre = true;
    } else if (name == "icy-url" || name == "x-audiocast-url") {
        icy_url = value;
    } else if (name == "icy-notice1" || name == "x-audiocast-location") {
        icy_notice1 = value;
    } else if (name == "icy-notice2" || name == "x-audiocast-description") {
        icy_notice2 = value;
    } else if (name == "content-length") {
        content_length = value;
    } else if (name == "content-type") {
        m_contentType = value;
    }
}

} // namespace orvanta
