#pragma once

// What the application core needs from whatever shows it: the desktop window or the
// command line. Every call comes on the main thread.

#include <string>

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

class FrontEnd
{
public:
    virtual ~FrontEnd() = default;

    /// A node's row shows changed fields (status, alert, name, bitrate...).
    virtual void reloadItem(Node* node) = 0;
    /// The record, skip, listen and show-music controls may have changed state.
    virtual void updateToolbarControls() = 0;
    /// The status display, refreshed every second while the status timer runs.
    virtual void setStatusLines(const StatusLines& lines) = 0;
    /// The history of the shown station changed.
    virtual void historyNeedsDisplay() {}
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
    /// A modal message with the default button only.
    virtual void raiseAlert(const std::string& title, const std::string& message) = 0;
    /// A question with a default and an alternate button; true for the default one.
    virtual bool askQuestion(const std::string& title, const std::string& message,
                             const std::string& defaultButton,
                             const std::string& alternateButton) = 0;
};

} // namespace orvanta
