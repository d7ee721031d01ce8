#pragma once

// One entry of the station tree: a group (kind 0) or a stream (kind 1). Persistent data
// lives in the NP_ property dictionary; the status fields are run-time only.
//
// Ownership: a node owns its children (shared pointers, so a caller may hold a node while
// moving it) and its property values; the parent and the active schedule are plain
// references. Thread: the tree and the properties change on the main thread; status,
// rippingStatus and timerStatus are written under their own locks from any thread and read
// without locking.

#include "ArchiveCodec.h"
#include "Value.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta {

class Node;
using NodePtr = std::shared_ptr<Node>;

/// Whether a stream records: from the start request until the recording is stopped.
enum class RecordingStatus : std::int32_t { Idle = 0, Recording = 1 };
/// How far a recording's start has come.
enum class RippingStatus : std::int32_t {
    Connecting = 0, // the station's addresses are being resolved
    Launching = 1,  // resolved; the recording client is being made
    Running = 2,    // the client runs
};
/// Whether the scheduler started the running recording.
enum class TimerStatus : std::int32_t { Off = 0, Scheduled = 1 };

class Node : public Archivable, public std::enable_shared_from_this<Node>
{
public:
    static constexpr std::int64_t kGroup = 0;
    static constexpr std::int64_t kStream = 1;
    static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);
    static constexpr const char* kClassName = "Node";

    Node();
    ~Node() override;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    static NodePtr nodeWithName(const std::string& name, std::int64_t type);
    static NodePtr nodeWithName(const std::string& name, const std::string& url, std::int64_t type);
    static NodePtr nodeWithName(const std::string& name, const std::vector<std::string>& urls,
                                std::int64_t type);
    /// Selects the legacy record layout for decoding (class-wide, main thread).
    static void setUseOldStyleCoding(bool useOldStyle);
    static bool useOldStyleCoding();
    /// The keys that survive archiving, in their fixed order.
    static const std::vector<std::string_view>& persistentKeys();

    // Properties
    std::optional<Value> propertyForKey(std::string_view key) const;
    /// An absent value stores the null marker.
    void setProperty(std::optional<Value> value, std::string_view key);
    void removePropertyForKey(std::string_view key);
    void addPropertiesFromDictionary(const Dictionary& dictionary);
    /// A copy of the dictionary itself (the values are shared with the node).
    Dictionary getCopyOfProperties() const;
    /// What a recording client gets, taken on the main thread: every value copied deeply,
    /// so later edits of the station (schedules, addresses) never race with the client,
    /// except NP_HISTORY, which stays the station's own list (made empty when missing) so
    /// the client's duplicate check sees every file completed meanwhile. That list is read
    /// and changed only under historyListLock().
    Dictionary recordingPropertiesCopy();
    /// The live dictionary, for code that edits shared lists in place.
    const Dictionary& properties() const { return _properties; }
    std::int64_t nodeType() const;
    void setNodeType(std::int64_t type);
    /// NP_NAME, or "" when it is missing or not a string.
    std::string name() const;

    // Status fields
    RecordingStatus status() const { return _status.load(); }
    bool isRecording() const { return status() == RecordingStatus::Recording; }
    void setStatus(RecordingStatus status);
    RippingStatus rippingStatus() const { return _rippingStatus.load(); }
    void setRippingStatus(RippingStatus status);
    TimerStatus timerStatus() const { return _timerStatus.load(); }
    void setTimerStatus(TimerStatus status);
    bool listenStatus() const { return _listenStatus; }
    void setListenStatus(bool status) { _listenStatus = status; }
    bool cancelStatus() const { return _cancelStatus; }
    void setCancelStatus(bool status) { _cancelStatus = status; }
    std::int32_t tag() const { return _tag; }
    void setTag(std::int32_t tag) { _tag = tag; }
    const Value& activeSchedule() const { return _activeSchedule; }
    void setActiveSchedule(Value schedule) { _activeSchedule = std::move(schedule); }
    /// By-name access for "alertMessage" and "connectingURL"; other names read nothing and
    /// writes to them are ignored (returns false).
    std::optional<std::string> valueForKey(std::string_view name) const;
    bool setValueForKey(std::optional<std::string> value, std::string_view name);

    // Tree
    Node* parent() const { return _parent; }
    void setParent(Node* parent) { _parent = parent; }
    /// Adding a node leaves its old parent; adding an ancestor of this node is ignored.
    void addChild(const NodePtr& child);
    void insertChild(const NodePtr& child, std::size_t index);
    void insertChildren(const std::vector<NodePtr>& children, std::size_t index);
    void addChildren(const std::vector<NodePtr>& children);
    void removeChild(const Node* child);
    void removeFromParent();
    const NodePtr& childAtIndex(std::size_t index) const { return _children.at(index); }
    std::size_t childrenCount() const { return _children.size(); }
    const std::vector<NodePtr>& children() const { return _children; }
    std::size_t indexOfChild(const Node* child) const;
    bool expandable() const { return !_children.empty(); }
    /// True for the node itself and for anything below the given node.
    bool isDescendantOfNode(const Node* node) const;
    bool isDescendantOfNodeInArray(const std::vector<Node*>& nodes) const;

    static std::vector<Node*> minimumNodeCoverFromNodesInArray(const std::vector<Node*>& nodes);
    /// Appends matching nodes below node, last child first, each group before its contents.
    static void getAllChildrenOfNode(const Node* node, std::int64_t type, std::vector<Node*>& into);

    // Sorting family: -1 receiver first, 1 receiver after, 0 equal.
    using Comparison = int (Node::*)(const Node&) const;
    static int inverse(int result);
    static int integerComparisonDescending(std::int64_t a, std::int64_t b);
    int streamComparisonDescending(const Node& other) const;
    int bitrateComparisonDescending(const Node& other) const;
    int commentComparisonDescending(const Node& other) const;
    int streamComparisonAscending(const Node& other) const;
    int bitrateComparisonAscending(const Node& other) const;
    int commentComparisonAscending(const Node& other) const;
    /// The comparison named like "streamComparisonAscending:", or nullptr.
    static Comparison comparisonNamed(std::string_view name);
    /// Sorts the children, then every group's children, recursively.
    void sortUsingSelector(Comparison comparison);

    // Archiving
    std::string archiveClassName() const override { return kClassName; }
    /// Drops non-persistent keys from the live node (unless the writer asks for a copy),
    /// then writes children, parent and properties.
    void encodeWithCoder(ArchiveWriter& writer) override;
    void initWithCoder(ArchiveReader& reader) override;
    /// Registers the node class (standard or legacy layout, by the switch) on a reader.
    static void registerWithReader(ArchiveReader& reader);
    /// The archive of a whole tree. With leaveUntouched the live nodes keep their
    /// non-persistent keys (only the written copy is filtered).
    static std::string archiveRoot(Node& root, bool leaveUntouched = false);
    /// The tree in bytes (layout by the switch); nullptr with error set when the archive is
    /// unreadable, holds no node, or has bytes after the root.
    static NodePtr unarchiveRoot(std::string_view bytes, std::string& error);

private:
    bool adopt(const NodePtr& child);
    void decodeLegacyFields(ArchiveReader& reader);

    std::vector<NodePtr> _children;
    Node* _parent = nullptr;
    Dictionary _properties;
    std::mutex _statusLock;
    std::mutex _rippingStatusLock;
    std::mutex _timerStatusLock;
    std::atomic<RippingStatus> _rippingStatus{RippingStatus::Connecting};
    std::atomic<TimerStatus> _timerStatus{TimerStatus::Off};
    Value _activeSchedule;
    bool _listenStatus = false;
    std::atomic<RecordingStatus> _status{RecordingStatus::Idle};
    std::int32_t _tag = 0;
    // The alert and the address being tried are written by the recording's worker while
    // the main thread shows them.
    mutable std::mutex _textFieldsLock;
    std::optional<std::string> _alertMessage;
    std::optional<std::string> _connectingURL;
    bool _cancelStatus = false;
    // Guards against archives that make a node its own ancestor or list it twice.
    bool m_decoding = false;
    bool m_adopted = false;
};

} // namespace orvanta
