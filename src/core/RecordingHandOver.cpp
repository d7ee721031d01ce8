#include "RecordingHandOver.h"

#include "FileManagerExtensions.h"
#include "HistoryController.h"
#include "HistoryRules.h"
#include "Log.h"
#include "NodePropertyKeys.h"
#include "PlaylistFiling.h"
#include "PrefsKeys.h"

#include <QString>

namespace orvanta {

namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b)
{
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

} // namespace

void applyPlaylistUpdate(Dictionary& historyEntry, const PlaylistUpdate& update)
{
    std::lock_guard lock(historyListLock());
    historyEntry.set(fileinfo::kLocation, Value(update.location));
    historyEntry.set(handover::kPlaylist, Value(update.playlist));
    historyEntry.set(handover::kItunesCopy, Value(update.itunesCopy));
}

RecordingHandOver::RecordingHandOver(const ScriptRunner& runner, const PreferencesReader& prefs)
    : m_runner(runner), m_prefs(prefs)
{}

RecordingHandOver::~RecordingHandOver()
{
    m_workers.joinAll();
}

std::optional<PlaylistUpdate>
RecordingHandOver::addCompletedFileToPlaylistSync(const std::string& fileLocation,
                                                  const std::string& playlistName,
                                                  const Dictionary& id3Tags) const
{
    const bool deleteSourceChosen = m_prefs.boolForKey(prefs::kPlaylistDeleteSource);
    if (!m_runner.locateScript(handover::kPlaylistScript)) {
        if (m_runner.cancelled())
            return std::nullopt;
        const PlaylistFilingResult filed =
            fileIntoPlaylist(fileLocation, playlistName, deleteSourceChosen, id3Tags,
                             m_musicFolder.empty() ? userMusicFolder() : m_musicFolder);
        if (!filed.listed)
            logMessage("RecordingHandOver::addCompletedFileToPlaylist", filed.error);
        if (!filed.listed && !filed.moved)
            return std::nullopt;
        // A file that moved is recorded where it is now, even when the list could not take
        // it.
        return PlaylistUpdate{filed.location, filed.listed ? playlistName : std::string(),
                              !sameIgnoringCase(filed.location, fileLocation)};
    }
    const std::string deleteSource = deleteSourceChosen ? "1" : "0";
    const ScriptResult result =
        m_runner.runHandler(handover::kPlaylistScript, handover::kPlaylistHandler,
                            {fileLocation, playlistName, deleteSource});
    if (!result.ok())
        return std::nullopt;
    PlaylistUpdate update;
    update.location = result.resultText();
    // A handler that says nothing has not told where the track is; replacing the entry's
    // location with an empty text would lose the only record of the file.
    if (update.location.empty()) {
        logMessage("RecordingHandOver::addCompletedFileToPlaylist",
                   "The playlist script returned no location for " + fileLocation);
        return std::nullopt;
    }
    update.playlist = playlistName;
    update.itunesCopy = !sameIgnoringCase(update.location, fileLocation);
    return update;
}

void RecordingHandOver::addCompletedFileToPlaylist(const Array& arguments, PlaylistDone done)
{
    if (arguments.size() != 3 || !arguments[0].isString() || !arguments[1].isString() ||
        !arguments[2].isDictionary()) {
        logMessage("RecordingHandOver::addCompletedFileToPlaylist",
                   "Expected file location, playlist name and history entry");
        return;
    }
    std::string fileLocation = arguments[0].toString();
    std::string playlistName = arguments[1].toString();
    // The worker only carries the entry back; it never reads or writes it. What the
    // built-in hand-over reads of it is copied here, on the main thread.
    Dictionary entry = arguments[2].toDictionary();
    Dictionary tags = entry.get(fileinfo::kID3Tags).deepCopy().toDictionary();
    if (!done)
        done = [](const Dictionary&) { HistoryController::sharedInstance().needsDisplay(); };

    startWorker([this, fileLocation = std::move(fileLocation),
                 playlistName = std::move(playlistName), entry = std::move(entry),
                 tags = std::move(tags), done = std::move(done)]() mutable {
        auto update = addCompletedFileToPlaylistSync(fileLocation, playlistName, tags);
        if (!update)
            return;
        postToMainThread([entry = std::move(entry), update = std::move(*update),
                          done = std::move(done)]() mutable {
            applyPlaylistUpdate(entry, update);
            done(entry);
        });
    });
}

ScriptResult
RecordingHandOver::setCompletedTracksAsCompilationSync(const std::string& albumLabel) const
{
    return m_runner.runHandler(handover::kCompilationScript, handover::kCompilationHandler,
                               {albumLabel});
}

void RecordingHandOver::setCompletedTracksAsCompilation(const std::string& albumLabel,
                                                        CompilationDone done)
{
    startWorker([this, albumLabel, done = std::move(done)]() mutable {
        ScriptResult result = setCompletedTracksAsCompilationSync(albumLabel);
        if (done)
            postToMainThread(
                [result = std::move(result), done = std::move(done)]() { done(result); });
    });
}

void RecordingHandOver::runHandlerInBackground(std::string scriptName, std::string handler,
                                               std::vector<std::string> arguments)
{
    startWorker([this, scriptName = std::move(scriptName), handler = std::move(handler),
                 arguments = std::move(arguments)] {
        const ScriptResult result = m_runner.runHandler(scriptName, handler, arguments);
        if (!result.ok())
            logFormat("%s %s: %s", scriptName.c_str(), handler.c_str(),
                      result.errorMessage.empty() ? "failed" : result.errorMessage.c_str());
    });
}

bool RecordingHandOver::waitForAll(std::chrono::milliseconds timeout)
{
    return m_workers.waitForAll(timeout);
}

std::size_t RecordingHandOver::runningCount() const
{
    return m_workers.running();
}

void RecordingHandOver::startWorker(std::function<void()> body)
{
    m_workers.start("RecordingHandOver", std::move(body));
}

void RecordingHandOver::postToMainThread(std::function<void()> call)
{
    {
        std::lock_guard lock(m_resultsMutex);
        m_results.push_back(std::move(call));
    }
    m_mainContext.post();
}

void RecordingHandOver::deliverResults()
{
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(m_resultsMutex);
            if (m_results.empty())
                return;
            call = std::move(m_results.front());
            m_results.pop_front();
        }
        call();
    }
}

} // namespace orvanta
