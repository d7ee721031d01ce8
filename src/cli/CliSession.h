#pragma once

// The application core as orvanta-cli runs it for `record` and `run`: the application's
// composition root with a terminal front end, and SIGINT/SIGTERM turned into a stop on the
// main thread.

#include "ApplicationCore.h"
#include "Cli.h"
#include "FrontEnd.h"
#include "MainController.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>

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
    void showAlert(const Alert& alert) override;
    bool askQuestion(const std::string& title, const std::string& message,
                     const std::string& defaultButton, const std::string& alternateButton) override;
    /// A recording ended by itself with an alert (a full disc, a lost stream): said at once.
    void recordingEndedWithAlert(Node* node, const std::string& alert) override;
    /// The alert a station's recording ended with by itself, if it did.
    std::optional<std::string> endedWithAlert(const Node* node) const;
    /// Ends the line being rewritten, before other output.
    void finishLine();

private:
    std::map<const Node*, std::string> m_endedWithAlert;
    std::FILE* m_out;
    bool m_terminal;
    bool m_lineOpen = false;
    std::string m_shown;
};

class CliSession
{
public:
    /// Starts the application core (the start-up script and the sleep watcher only for the
    /// long-running `run`); a library that cannot be read is a Failure.
    explicit CliSession(bool asApplication);
    ~CliSession();

    MainController& controller() { return m_core->controller(); }
    MyOLVController& library() { return m_core->library(); }
    ApplicationCore& core() { return *m_core; }
    TerminalFrontEnd& frontEnd() { return m_frontEnd; }
    /// The station or group at "Group/Sub/Name", or a Failure.
    Node* find(const std::string& path) { return findNode(library().rootNode(), path); }

    /// Runs the event loop until done() holds, a signal arrived or limit (when given) has
    /// passed. Returns true when done() held.
    bool runUntil(const std::function<bool()>& done,
                  std::optional<std::chrono::milliseconds> limit);
    /// Whether SIGINT or SIGTERM has arrived.
    static bool signalled();

private:
    TerminalFrontEnd m_frontEnd;
    std::unique_ptr<ApplicationCore> m_core;
};

} // namespace orvanta::cli
