#pragma once

// The preferences window: every setting a user changes, grouped in pages (Recording,
// Folders, Network, Listening, Schedules). Changes are stored as they are made. Numbers are
// spin boxes that take only valid values; the download folder is chosen with a folder
// chooser and checked; the folder layout shows an example path as it changes; a new relay
// port moves the relay at once, also while a player listens.
//
// Ownership: borrows the preferences and the controller (for the relay). Thread: main.

#include <QWidget>

#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace orvanta {
class MainController;
class PrefsController;
} // namespace orvanta

namespace orvanta::ui {

class PreferencesWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr const char* kGeometryKey = "Orvanta Preferences";

    PreferencesWindow(PrefsController& prefs, MainController& controller,
                      QWidget* parent = nullptr);

    /// Shows the stored values again (the window reads them when it opens).
    void reload();

    // The window's operations.
    /// Both folder-layout masks from the check boxes.
    void doUpdateLayoutDefaults();
    /// Opens the folder chooser; chooseDownloadPath stores a chosen folder once checked.
    void doSelectDownloadPath();
    /// Stores folder as the recordings' folder; false (with the reason shown) when no
    /// recording could be written there.
    bool chooseDownloadPath(const QString& folder);
    /// Moves the relay to the port in its field and stores it.
    void doNewRelayPort();
    /// A numeric field left empty shows the stored number again.
    void controlTextDidEndEditing(QSpinBox* field);
    /// Opens the desktop's network settings, where the firewall can let players in.
    void doLaunchSharingPrefPane();

    // The controls, for tests and accessibility.
    QLineEdit* downloadPathField() const { return m_downloadPath; }
    QLabel* downloadPathProblem() const { return m_downloadProblem; }
    QCheckBox* layoutBox(bool scheduled, int bit) const;
    QLabel* layoutExample(bool scheduled) const
    {
        return scheduled ? m_scheduledExample : m_example;
    }
    QSpinBox* relayPortField() const { return m_relayPort; }
    QCheckBox* searchPortsBox() const { return m_searchPorts; }
    QCheckBox* useProxyBox() const { return m_useProxy; }
    QLineEdit* proxyHostField() const { return m_proxyHost; }
    QLineEdit* stationDirectoryField() const { return m_stationDirectory; }
    QSpinBox* proxyPortField() const { return m_proxyPort; }
    QLabel* proxyProblem() const { return m_proxyProblem; }
    QComboBox* playerChoice() const { return m_player; }
    QCheckBox* checkBox(const char* key) const;
    QSpinBox* spinBox(const char* key) const;
    QPushButton* networkSettingsButton() const { return m_networkSettings; }
    QTabWidget* pages() const { return m_pages; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* recordingPage();
    QWidget* foldersPage();
    QWidget* networkPage();
    QWidget* listeningPage();
    QWidget* schedulesPage();
    QCheckBox* boolControl(const char* key, const QString& text);
    QSpinBox* numberControl(const char* key, int minimum, int maximum, const QString& suffix);
    void storeProxy();
    void updateExamples();
    void updateEnabling();

    PrefsController& m_prefs;
    MainController& m_controller;
    QTabWidget* m_pages;
    QLineEdit* m_downloadPath = nullptr;
    QLabel* m_downloadProblem = nullptr;
    std::vector<std::pair<int, QCheckBox*>> m_layout;          // bit, box (DirLayout)
    std::vector<std::pair<int, QCheckBox*>> m_scheduledLayout; // bit, box (ScheduledDirLayout)
    QLabel* m_example = nullptr;
    QLabel* m_scheduledExample = nullptr;
    QSpinBox* m_relayPort = nullptr;
    QCheckBox* m_searchPorts = nullptr;
    QCheckBox* m_useProxy = nullptr;
    QLineEdit* m_proxyHost = nullptr;
    QLineEdit* m_stationDirectory = nullptr;
    QSpinBox* m_proxyPort = nullptr;
    QLabel* m_proxyProblem = nullptr;
    QComboBox* m_player = nullptr;
    QPushButton* m_networkSettings = nullptr;
    std::vector<std::pair<QString, QCheckBox*>> m_checkBoxes;
    std::vector<std::pair<QString, QSpinBox*>> m_spinBoxes;
    bool m_loading = false;
};

} // namespace orvanta::ui
