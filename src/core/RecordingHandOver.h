#pragma once

// Hands finished recordings to the music player through its scripts:
// addCompletedFileToPlaylist puts a completed file into a user playlist of the player,
// setCompletedTracksAsCompilation marks a recording's tracks as a compilation.
//
// Each hand-over runs on a short-lived thread of its own, because a script may take long
// and holds the process-wide script lock meanwhile. The worker never touches the history
// entry: it computes a PlaylistUpdate, and the update is applied on the thread that owns
// this object (the main thread) through a queued call. The synchronous forms do the
// script part only and serve tests and callers that already run on a worker.
//
// Ownership: MainController owns the instance; it keeps the ScriptRunner and the
// preferences by reference, so both must outlive it. The destructor joins running
// hand-overs (each bounded by the runner's time limit, or ended at once by the runner's
// cancelAll()) and drops updates not yet applied.
//
// Thread: create, start and destroy on the main thread (with a Qt event loop); the
// synchronous functions are safe on any thread.

#include "OwnedThreads.h"
#include "PreferencesReader.h"
#include "ScriptRunner.h"
#include "Value.h"
#include "WakeUpReceiver.h"

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orvanta {

namespace handover {
// History-entry keys written by the playlist hand-over.
inline constexpr std::string_view kPlaylist = "playlist";
inline constexpr std::string_view kItunesCopy = "itunesCopy";

inline constexpr std::string_view kPlaylistScript = "addToUserPlaylist";
inline constexpr std::string_view kPlaylistHandler = "addtouserplaylist";
inline constexpr std::string_view kCompilationScript = "setAlbumAsCompilation";
inline constexpr std::string_view kCompilationHandler = "setalbumascompilation";
} // namespace handover

/// What a successful playlist hand-over changes in the file's history entry.
struct PlaylistUpdate
{
    std::string location; // where the player keeps the track now
    std::string playlist;
    bool itunesCopy = false; // the player holds its own copy, elsewhere than the file

    bool operator==(const PlaylistUpdate&) const = default;
};

/// Writes the update into the entry ("location", "playlist", "itunesCopy").
void applyPlaylistUpdate(Dictionary& historyEntry, const PlaylistUpdate& update);

class RecordingHandOver
{
public:
    /// Runs on the main thread once the update has been applied to the entry.
    using PlaylistDone = std::function<void(const Dictionary& historyEntry)>;
    /// Runs on the main thread with the script's outcome.
    using CompilationDone = std::function<void(const ScriptResult& result)>;

    RecordingHandOver(const ScriptRunner& runner, const PreferencesReader& prefs);
    ~RecordingHandOver();
    RecordingHandOver(const RecordingHandOver&) = delete;
    RecordingHandOver& operator=(const RecordingHandOver&) = delete;

    /// The blocking part of the playlist hand-over. With a script "addToUserPlaylist" (the
    /// user's), runs its "addtouserplaylist" with the file location, the playlist name and
    /// 1 or 0 for the preference PlaylistDeleteSource; without one, files the file into an
    /// M3U playlist of the music folder in the process (fileIntoPlaylist), with the artist
    /// and album of id3Tags. Nothing on any failure, so the entry keeps its own location.
    std::optional<PlaylistUpdate>
    addCompletedFileToPlaylistSync(const std::string& fileLocation, const std::string& playlistName,
                                   const Dictionary& id3Tags = {}) const;

    /// The folder the built-in hand-over files into; default: the user's music folder.
    void setMusicFolder(std::string folder) { m_musicFolder = std::move(folder); }

    /// Starts the hand-over for a three-element list (file location, playlist name, history
    /// entry) on a thread of its own. On success the entry is updated on the main thread,
    /// then done runs there; by default HistoryController is told needsDisplay. A list of
    /// another shape is logged and ignored.
    void addCompletedFileToPlaylist(const Array& arguments, PlaylistDone done = {});

    /// Runs "setalbumascompilation" with the album label and waits for it.
    ScriptResult setCompletedTracksAsCompilationSync(const std::string& albumLabel) const;

    /// The same on a thread of its own; done, when given, runs on the main thread.
    void setCompletedTracksAsCompilation(const std::string& albumLabel, CompilationDone done = {});

    /// Runs a script handler on a thread of its own and ignores its outcome (the player's
    /// listen and stop handlers); a failure is only logged.
    void runHandlerInBackground(std::string scriptName, std::string handler,
                                std::vector<std::string> arguments);

    /// Waits until every started hand-over has finished its script (not for the queued
    /// main-thread part); false when the time ran out first. For shut-down and tests.
    bool waitForAll(std::chrono::milliseconds timeout = std::chrono::minutes(5));

    /// Hand-overs whose threads have not finished yet.
    std::size_t runningCount() const;

private:
    void startWorker(std::function<void()> body);
    void postToMainThread(std::function<void()> call);

    const ScriptRunner& m_runner;
    const PreferencesReader& m_prefs;
    std::string m_musicFolder;
    // Results from the workers wait here until the main thread drains them; our own lock
    // hands them over, so no functor crosses threads inside Qt (ThreadSanitizer cannot see
    // Qt's locking). Results still waiting when the object goes are dropped with it.
    void deliverResults();
    std::mutex m_resultsMutex;
    std::deque<std::function<void()>> m_results;
    WakeUpReceiver m_mainContext{[this] { deliverResults(); }};

    // Last member: its threads end before anything they use goes.
    OwnedThreads m_workers;
};

} // namespace orvanta
