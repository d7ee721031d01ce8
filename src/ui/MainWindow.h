#pragma once

// The main window: the station list, the toolbar, the two-line status display, the detail
// drawer and the menus. It carries out the user's commands through the application core
// and shows what the core reports (through WindowFrontEnd).
//
// Ownership: borrows the application core, which outlives it. Thread: main.

#include "FrontEnd.h"

#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>

class QSplitter;

namespace orvanta {
class ApplicationCore;
class MainController;
class StationTreeModel;
} // namespace orvanta

namespace orvanta::ui {

class BuiltInPlayer;
class DetailDrawer;
class DirectorySearchWindow;
class HistoryWindow;
class PreferencesWindow;
class PresetsWindow;
class MainToolbar;
class StationTreeView;
class StatusArea;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr const char* kGeometryKey = "MainWindowGeometry";
    static constexpr const char* kSplitterKey = "MainWindowDetailSplit";
    static constexpr const char* kColumnsKey = "MainWindowColumns";

    MainWindow(ApplicationCore& core, BuiltInPlayer& player, QWidget* parent = nullptr);
    ~MainWindow() override;

    // What the core shows.
    void reloadItem(Node* node);
    void updateToolbarControls();
    void setStatusLines(const StatusLines& lines);
    void historyNeedsDisplay();
    void updateDetailDrawerView();
    void updateTimerViewWithNode(Node* node);
    void setImportInProgress(bool running);
    std::vector<Node*> expandedGroups() const;

    /// After the library has loaded: the groups expanded at the last quit, the geometry.
    void restoreState();
    void saveState();

    // Commands (the toolbar, menus and keys call them).
    void record();
    void skipTrack();
    void listen();
    /// "Save the last N minutes" of the station heard.
    void saveHeardAudio();
    /// The cut editor on the cut before the shown station's newest song.
    void adjustLastCut();
    void showMusic();
    void addStream();
    void addFolder();
    void deleteSelection();
    void importStations();
    void findStations();
    void showTimerView();
    void showRecordingStyleView();
    void showEditURLView();

    /// The presets window, made when first needed; the drawer's button opens it on the
    /// station's preset.
    PresetsWindow& presetsWindow();
    void showPresetsWindow(const QString& presetID);

    /// The history window (made on first use) and the preferences window.
    HistoryWindow& historyWindow();
    /// Find Stations, made on first use.
    DirectorySearchWindow& directorySearchWindow();
    PreferencesWindow& preferencesWindow();
    void showHistoryWindow();
    void showPreferences();

    StationTreeView* stationList() const { return m_list; }
    StationTreeModel& stationModel() const { return *m_model; }
    MainToolbar* toolbar() const { return m_toolbar; }
    StatusArea* statusArea() const { return m_status; }
    DetailDrawer* drawer() const { return m_drawer; }
    /// The window's actions by name ("record", "quit", "addStream", ...).
    QAction* action(const QString& name) const { return m_actions.value(name); }
    /// Quitting was agreed: the window may close now.
    void allowClose() { m_closing = true; }
    /// Asked when the window is closed: true hides it (the program goes on in the tray).
    void setHidesOnClose(std::function<bool()> hides) { m_hidesOnClose = std::move(hides); }

signals:
    /// The user asked to quit (menu, shortcut or closing the window).
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* makeAction(const QString& name, const QString& text, const QString& icon,
                        const QKeySequence& shortcut, void (MainWindow::*command)());
    void buildMenus();
    void buildToolbar();
    void currentNodeChanged(Node* node);
    void showContextMenu(const QPoint& position);
    void openHelp(const QString& page);
    void openAcknowledgments();

    ApplicationCore& m_core;
    MainController& m_controller;
    BuiltInPlayer& m_player;
    std::unique_ptr<StationTreeModel> m_model;
    StationTreeView* m_list;
    StatusArea* m_status;
    DetailDrawer* m_drawer;
    QSplitter* m_splitter;
    MainToolbar* m_toolbar;
    QHash<QString, QAction*> m_actions;
    HistoryWindow* m_history = nullptr;
    DirectorySearchWindow* m_directorySearch = nullptr;
    PreferencesWindow* m_preferences = nullptr;
    PresetsWindow* m_presetsWindow = nullptr;
    bool m_closing = false;
    std::function<bool()> m_hidesOnClose;
};

} // namespace orvanta::ui
