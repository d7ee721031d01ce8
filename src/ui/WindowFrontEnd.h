#pragma once

// The desktop window as the application core sees it (FrontEnd): row reloads, toolbar and
// status updates go to the main window; alerts are queued and shown once the core has
// returned to the event loop, never from inside its notification handling; the built-in
// player plays here.
//
// Ownership: owns the player; the main window is attached after both are made (the core
// needs its front end before the window can exist). Thread: main.

#include "BuiltInPlayer.h"
#include "DesktopNotifier.h"
#include "FrontEnd.h"

#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>
#include <memory>

namespace orvanta {
class PreferencesReader;
}

namespace orvanta::ui {

class MainWindow;

class WindowFrontEnd : public QObject, public FrontEnd
{
    Q_OBJECT
public:
    explicit WindowFrontEnd(const PreferencesReader& prefs);
    ~WindowFrontEnd() override;

    void attach(MainWindow* window);
    BuiltInPlayer& player() { return m_player; }
    /// How a quitting alert ends the program (the application quits its event loop).
    void setQuitHandler(std::function<void()> quit) { m_quit = std::move(quit); }
    /// Alerts queued and not shown yet.
    std::size_t pendingAlerts() const { return m_pending.size(); }
    /// Alerts shown so far, "title: message" (tests and the log).
    const std::vector<QString>& shownAlerts() const { return m_shown; }

    void reloadItem(Node* node) override;
    void updateToolbarControls() override;
    void setStatusLines(const StatusLines& lines) override;
    void historyNeedsDisplay() override;
    void updateDetailDrawerView() override;
    void updateTimerViewWithNode(Node* node) override;
    void scheduledRecordingFailed(Node* node, const std::string& alert) override;
    void heardAudioSaved(const std::string& path) override;
    bool startBuiltInPlayer(const std::string& playlistText) override;
    void stopBuiltInPlayer() override;
    bool builtInPlayerIsPlaying() const override;
    void showAlert(const Alert& alert) override;
    bool askQuestion(const std::string& title, const std::string& message,
                     const std::string& defaultButton, const std::string& alternateButton) override;
    std::vector<Node*> expandedGroups() const override;
    void setImportInProgress(bool running) override;
    void recordingEndedWithAlert(Node* node, const std::string& alert) override;
    /// Where notifications go (tests give a bus of their own).
    void setNotifier(std::unique_ptr<DesktopNotifier> notifier)
    {
        m_notifier = std::move(notifier);
    }

private:
    void showNextAlert();

    QPointer<MainWindow> m_window;
    BuiltInPlayer m_player;
    std::deque<Alert> m_pending;
    std::vector<QString> m_shown;
    bool m_showing = false;
    std::function<void()> m_quit;
    std::unique_ptr<DesktopNotifier> m_notifier;
};

} // namespace orvanta::ui
