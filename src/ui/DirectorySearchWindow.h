#pragma once

// Find Stations: searches the public station directory and adds what the user picks to the
// library, or plays it in the built-in player first.
//
// Searches run on a worker, so the window never waits for the directory: a newer search
// supersedes (and cancels) an older one, and closing the window cancels what is running.
//
// Ownership: borrows the library, the preferences and the player, which outlive it.
// Thread: main.

#include "DirectoryStation.h"
#include "OwnedThreads.h"

#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableView;

namespace orvanta {
class MyOLVController;
class Node;
class PreferencesReader;
class StationDirectory;
struct DirectorySearchResult;
} // namespace orvanta

namespace orvanta::ui {

class BuiltInPlayer;
class DirectoryResultsModel;
class FaviconCache;

class DirectorySearchWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kPageSize = 50;
    static constexpr const char* kGeometryKey = "DirectorySearchGeometry";

    DirectorySearchWindow(MyOLVController& library, const PreferencesReader& prefs,
                          BuiltInPlayer& player, QWidget* parent = nullptr);
    ~DirectorySearchWindow() override;

    /// Called with the stations just added, as they are in the tree.
    void setAddedHandler(std::function<void(const std::vector<Node*>&)> handler)
    {
        m_added = std::move(handler);
    }

    /// The query the fields describe.
    DirectoryQuery queryFromFields() const;
    void search();
    void moreResults();
    void listen();
    void addToLibrary();
    /// The groups offered as the place to add to, made afresh from the library.
    void refreshGroups();

    bool isSearching() const { return m_searching; }
    DirectoryResultsModel& results() const { return *m_results; }
    QTableView& table() const { return *m_table; }
    QString statusText() const;

signals:
    void searchFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void startSearch(const DirectoryQuery& query, bool append);
    void finishSearch(quint64 generation, bool append, const DirectorySearchResult& result);
    void updateButtons();
    std::vector<int> chosenRows() const;
    void setStatus(const QString& text);

    MyOLVController& m_library;
    const PreferencesReader& m_prefs;
    BuiltInPlayer& m_player;
    std::function<void(const std::vector<Node*>&)> m_added;
    std::unique_ptr<StationDirectory> m_directory;

    QLineEdit* m_name;
    QLineEdit* m_tag;
    QLineEdit* m_country;
    QComboBox* m_codec;
    QSpinBox* m_minBitrate;
    QComboBox* m_order;
    QCheckBox* m_recordableOnly;
    QPushButton* m_searchButton;
    QTableView* m_table;
    DirectoryResultsModel* m_results;
    FaviconCache* m_icons;
    QPushButton* m_more;
    QLabel* m_status;
    QProgressBar* m_busy;
    QPushButton* m_listen;
    QComboBox* m_group;
    QPushButton* m_add;
    std::vector<std::weak_ptr<Node>> m_groups; // by the group pop-up's index

    DirectoryQuery m_lastQuery;
    bool m_moreAvailable = false;
    bool m_searching = false;
    quint64 m_generation = 0;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::atomic<bool> m_closing{false};
    // Joined (after cancelling) before anything above goes.
    OwnedThreads m_workers;
};

} // namespace orvanta::ui
