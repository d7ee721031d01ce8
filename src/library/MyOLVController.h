#pragma once

// The station library: owns the root of the station tree, loads it at start-up (migrating
// the old defaults value), saves it atomically, tidies old stations' presets, and carries
// out the list's commands and drop rules on plain inputs (the widgets come on top).
//
// A change to the library schedules a save a few seconds later; bursts of changes make one
// save. That save writes a filtered copy and leaves the live nodes untouched; the tree is
// archived on the main thread and the file written on a thread of its own. A library file
// that exists but cannot be read is never overwritten.
//
// Ownership: owns the tree; hands out plain pointers that stay valid while the node is in
// the tree. Thread: main.

#include "Node.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QDate;
class QTimer;

namespace orvanta {

class BackgroundFileWriter;
class PreferencesReader;
class PrefsController;
class PresetCatalog;

/// Told of every change of the tree's shape as it happens, so a view can keep its
/// selection, its expanded rows and its scroll position (the station model implements it).
/// Indexes are a child's position among its parent's children. Each will-call is followed
/// by its did-call once the tree has changed. Thread: main.
class TreeObserver
{
public:
    virtual ~TreeObserver() = default;
    virtual void treeWillInsert(Node* parent, std::size_t first, std::size_t last) = 0;
    virtual void treeDidInsert() = 0;
    virtual void treeWillRemove(Node* parent, std::size_t first, std::size_t last) = 0;
    virtual void treeDidRemove() = 0;
    /// The child at from (of fromParent) goes to toParent, before the child now at
    /// toIndex (toParent's children counted before the move; toIndex may equal their count).
    virtual void treeWillMove(Node* fromParent, std::size_t from, Node* toParent,
                              std::size_t toIndex) = 0;
    virtual void treeDidMove() = 0;
    /// Children change places (sorting); no node comes or goes.
    virtual void treeWillReorder() = 0;
    virtual void treeDidReorder() = 0;
    /// A new tree replaces the old one (loading).
    virtual void treeWillReset() = 0;
    virtual void treeDidReset() = 0;
};

class MyOLVController
{
public:
    using AlertHandler = std::function<void(const std::string& title, const std::string& text)>;
    /// Runs task once after delay, on the main thread.
    using SaveScheduler =
        std::function<void(std::chrono::milliseconds delay, std::function<void()> task)>;
    /// The body of a playlist address, or nothing when it cannot be fetched.
    using PlaylistFetcher = std::function<std::optional<std::string>(const std::string& url)>;

    static constexpr std::chrono::milliseconds kDelayedSaveInterval{3000};
    static constexpr std::string_view kLegacyDefaultsKey = "radiostreams";
    static constexpr std::string_view kLibraryFileName = "radiostreams.data";
    /// The station directory whose playlist links are dropped with a title.
    static constexpr std::string_view kRedirectorPrefix =
        "http://directory.orvanta.net/redir/index.pls?";

    enum class LoadResult { FirstRun, Loaded, Migrated, Unreadable };
    enum class DragOperation { None, Move };

    /// What a drop carries, taken from the pasteboard by the list.
    struct DropInput
    {
        bool internal = false; // the drag started in this list and carries its private type
        std::optional<std::string> url = std::nullopt;
        std::optional<std::string> urlTitle = std::nullopt;
        std::optional<std::string> text = std::nullopt;
        std::vector<std::string> fileNames = {};
        /// The body of a dropped ".pls" address, fetched beforehand off the main thread
        /// (nothing: the drop fetches it itself, or the fetch failed when fetchFailed).
        std::optional<std::string> playlistBody = std::nullopt;
        bool fetchFailed = false;
    };

    /// prefs may be null (no legacy migration); supportFolder holds the library file.
    explicit MyOLVController(PrefsController* prefs,
                             std::string supportFolder = defaultSupportFolder());
    ~MyOLVController();
    MyOLVController(const MyOLVController&) = delete;
    MyOLVController& operator=(const MyOLVController&) = delete;

    /// $XDG_DATA_HOME/Orvanta.
    static std::string defaultSupportFolder();
    std::string libraryPath() const;
    std::string backupPath() const;
    /// The copy of the library as the first start of that day read it; the newest
    /// kDailyBackups are kept.
    std::string dailyBackupPath(const QDate& day) const;
    static constexpr std::size_t kDailyBackups = 3;

    void setAlertHandler(AlertHandler handler) { m_alert = std::move(handler); }
    void setSaveScheduler(SaveScheduler scheduler) { m_scheduler = std::move(scheduler); }
    void setPlaylistFetcher(PlaylistFetcher fetcher) { m_fetcher = std::move(fetcher); }
    /// Told of every change of the tree's shape; nullptr to stop. Not owned.
    void setTreeObserver(TreeObserver* observer) { m_observer = observer; }

    // Start-up and persistence
    LoadResult loadOLVData();
    /// Archives the live tree (dropping transient keys) to the library file, mode 0600.
    /// Refused after a load found the file unreadable.
    bool saveOLVData();
    bool cleanPresetsForStreams(PresetCatalog& presets);
    /// Load, preset clean-up, and a save when the clean-up changed anything.
    LoadResult startUp(PresetCatalog& presets);
    /// At quit: marks the expanded groups, then saves.
    void cleanup(const std::vector<Node*>& expandedGroups);
    void markAllExpandedGroups(const std::vector<Node*>& expandedGroups);
    /// The groups to expand; their marks are cleared.
    std::vector<Node*> expandAllMarkedGroups();

    /// To be called after any edit of the library (also by other subsystems: history,
    /// schedules, the detail editor); schedules the delayed save.
    void libraryDidChange();
    bool delayedSavePending() const { return m_savePending; }
    /// Waits until a delayed save being written has reached the disc.
    void waitForDelayedSave();

    // Queries
    Node* rootNode() const { return m_root.get(); }
    std::vector<Node*> getAllStreams() const;
    std::vector<Node*> getAllGroups() const;
    std::vector<Node*> getAllSelectedStreams(const std::vector<Node*>& selection) const;

    // Commands; each returns the new node (nullptr when nothing was added).
    void addToRootNode(const NodePtr& node);
    /// Appends nodes to group (the root when null; a stream's own group when a stream) and
    /// returns them as they are in the tree.
    std::vector<Node*> addNodes(Node* group, const std::vector<NodePtr>& nodes);
    Node* addStream(Node* selected);
    Node* addGroup(Node* selected);
    Node* addChild(std::int64_t type, const std::string& name, const std::string& url);
    Node* addChild(std::int64_t type, Node* parent, const std::string& name,
                   const std::string& url);
    /// Removes the selected nodes that are not recording (a group only when nothing below
    /// it records).
    void deleteNodes(const std::vector<Node*>& selection);
    /// A click on a column header: returns whether the tree was sorted.
    bool sortByColumn(std::string_view columnIdentifier);
    const std::string& selectedColumn() const { return _selectedColumn; }
    bool sortIsAscending() const { return _sortIsAscending; }
    /// An edit in the list: "stream" sets the name, "comment" the comment.
    bool setObjectValue(Node* node, std::string_view columnIdentifier, const std::string& text);

    // Drag and drop
    void writeItems(const std::vector<Node*>& rows);
    const std::vector<NodePtr>& draggedNodes() const { return m_draggedNodes; }
    /// target nullptr stands for the root.
    DragOperation validateDrop(const DropInput& input, Node* target) const;
    /// The nodes added or moved; childIndex -1 drops onto the target.
    std::vector<Node*> acceptDrop(const DropInput& input, Node* target, int childIndex);
    /// Fetches a dropped playlist address as a drop does (through the proxy prefs choose,
    /// 5 s at most, 1 MiB at most, no error pages); nothing when that fails, with error
    /// saying why. Blocks: call it off the main thread.
    static std::optional<std::string> fetchDroppedPlaylist(const std::string& url,
                                                           const PreferencesReader* prefs,
                                                           std::string& error);
    /// The preferences the library was made with (none in some tests).
    const PreferencesReader* preferences() const;

private:
    std::vector<NodePtr> nodesFromDrop(const DropInput& input);
    // Every change of the tree's shape goes through these, which tell the observer.
    void insertNode(Node* parent, std::size_t index, const NodePtr& node);
    void removeNode(Node* node);
    /// Moves node to index among parent's children (counted without node).
    void moveNode(const NodePtr& node, Node* parent, std::size_t index);
    bool isInTree(const Node* node) const;
    void willReset();
    void didReset();
    void runDelayedSave();
    bool writeLibrary(bool leaveNodesUntouched);
    void refreshBackup(const std::string& bytesRead);
    void copyLibraryTo(const std::string& path, const std::string& bytesRead) const;
    void removeOldDailyBackups() const;

    PrefsController* m_prefs;
    std::string m_supportFolder;
    NodePtr m_root;
    std::vector<NodePtr> m_draggedNodes;
    std::string _selectedColumn;
    bool _sortIsAscending = false;
    bool m_loadFailed = false;
    bool m_savePending = false;
    int m_customCounter = 1;
    AlertHandler m_alert;
    SaveScheduler m_scheduler;
    PlaylistFetcher m_fetcher;
    TreeObserver* m_observer = nullptr;
    std::unique_ptr<QTimer> m_timer;
    std::unique_ptr<BackgroundFileWriter> m_backgroundWriter; // the delayed saves
    // Lets a scheduled task notice that the controller is gone.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace orvanta
