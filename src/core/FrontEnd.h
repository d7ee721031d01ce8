#pragma once

// What the application core needs from whatever shows it: the desktop window or the
// command line. Every call comes on the main thread, and none may wait for the user: the
// core calls these from inside its notification handling.

#include <string>
#include <vector>

namespace orvanta {

class Node;

/// The two lines of the status display and its spinner.
struct StatusLines
{
    std::string status;
    std::string song;
    bool spinning = false;
    bool operator==(const StatusLines&) const = default;
};

/// What the record, skip, listen and show-music controls show for the station in the
/// detail view. With no station shown every control is disabled.
struct ToolbarState
{
    bool enabled = false;          // record and listen may be pressed
    bool recording = false;        // record shows "Stop"
    bool skipEnabled = false;      // the running recording can skip its track
    bool listening = false;        // listen shows its "off" state
    bool showMusicEnabled = false; // the station has recorded something to show
    bool operator==(const ToolbarState&) const = default;
};

/// An alert for the user, shown when the front end can; the core goes on at once.
struct Alert
{
    std::string title;
    std::string message;
    bool fatal = false; // a failure the program cannot go on from (shown modally)
    bool quit = false;  // the program ends once the user has read it (its button says Quit)
};

class FrontEnd
{
public:
    virtual ~FrontEnd() = default;

    /// A node's row shows changed fields (status, alert, name, bitrate...).
    virtual void reloadItem(Node* node) = 0;
    /// The record, skip, listen and show-music controls may have changed state; the front
    /// end asks MainController::toolbarState() for what to show.
    virtual void updateToolbarControls() = 0;
    /// The status display, refreshed every second while the status timer runs.
    virtual void setStatusLines(const StatusLines& lines) = 0;
    /// The history of the shown station changed.
    virtual void historyNeedsDisplay() {}
    /// The detail drawer shows what changed in the presets (a name, a deleted preset).
    virtual void updateDetailDrawerView() {}
    /// The built-in player: plays the relay through a playlist held in memory (the PLS
    /// text). False when this front end has no player.
    virtual bool startBuiltInPlayer(const std::string& playlistText)
    {
        (void)playlistText;
        return false;
    }
    /// Stops the built-in player when it plays.
    virtual void stopBuiltInPlayer() {}
    virtual bool builtInPlayerIsPlaying() const { return false; }
    /// Queues an alert; it must return without waiting for the user.
    virtual void showAlert(const Alert& alert) = 0;
    /// A question with a default and an alternate button; true for the default one. Asked
    /// only outside the notification handling (when the user quits).
    virtual bool askQuestion(const std::string& title, const std::string& message,
                             const std::string& defaultButton,
                             const std::string& alternateButton) = 0;
    /// The groups shown expanded, kept in the library for the next start.
    virtual std::vector<Node*> expandedGroups() const { return {}; }
    /// A recording ended by itself (not by a stop), with the station's alert saying why.
    virtual void recordingEndedWithAlert(Node* node, const std::string& alert)
    {
        (void)node;
        (void)alert;
    }
    /// A scheduled recording could not start (the alert says why); it is tried again.
    virtual void scheduledRecordingFailed(Node* node, const std::string& alert)
    {
        (void)node;
        (void)alert;
    }
    /// The scheduler started or stopped node's recording or spent one of its entries: an
    /// open schedule editor of node shows its list and next start anew.
    virtual void updateTimerViewWithNode(Node* node) { (void)node; }
    /// What was heard of a station has been saved as path.
    virtual void heardAudioSaved(const std::string& path) { (void)path; }
    /// A station import started or ended (the tuner control's progress indicator).
    virtual void setImportInProgress(bool running) { (void)running; }
};

} // namespace orvanta
