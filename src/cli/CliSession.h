#pragma once

// The application core as orvanta-cli runs it for `record` and `run`: the user's library,
// presets and preferences, a MainController with a terminal front end, and SIGINT/SIGTERM
// turned into a stop on the main thread.

#include "Cli.h"
#include "FrontEnd.h"
#include "MainController.h"
#include "NotificationCenter.h"
#include "PresetsController.h"
#include "ScriptRunner.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

namespace orvanta::cli {

/// Shows the status display on a terminal: one line rewritten in place when standard
/// output is a terminal, otherwise a line for each change. Alerts go to standard error;
/// questions take their default answer (nobody is there to ask).
class TerminalFrontEnd : public FrontEnd
{
public:
    explicit TerminalFrontEnd(std::FILE* out = stdout);
    ~TerminalFrontEnd() override;

    void reloadItem(Node*) override {}
    void updateToolbarControls() override {}
    void setStatusLines(const StatusLines& lines) override;
    void raiseAlert(const std::string& title, const std::string& message) override;
    bool askQuestion(const std::string& title, const std::string& message,
                     const std::string& defaultButton, const std::string& alternateButton) override;
    /// Ends the line being rewritten, before other output.
    void finishLine();

private:
    std::FILE* m_out;
    bool m_terminal;
    bool m_lineOpen = false;
    std::string m_shown;
};

class CliSession
{
public:
    CliSession();
    ~CliSession();

    Library& library() { return m_library; }
    MainController& controller() { return *m_controller; }
    TerminalFrontEnd& frontEnd() { return m_frontEnd; }

    /// Stations whose preset is gone get a preset of their own, as at the application's
    /// start; the library is saved when that changed anything.
    void cleanPresetsForStreams();
    /// Runs the event loop until done() holds, a signal arrived or limit (when given) has
    /// passed. Returns true when done() held.
    bool runUntil(const std::function<bool()>& done,
                  std::optional<std::chrono::milliseconds> limit);
    /// Whether SIGINT or SIGTERM has arrived.
    static bool signalled();

private:
    Library m_library;
    PresetsController m_presets;
    NotificationCenter& m_center;
    ScriptRunner m_scripts;
    TerminalFrontEnd m_frontEnd;
    std::unique_ptr<MainController> m_controller;
};

} // namespace orvanta::cli
