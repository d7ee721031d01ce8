// The list's commands and its drop rules, on plain inputs.

#include "MyOLVController.h"

#include "AtomicFile.h"
#include "Localization.h"
#include "Log.h"
#include "NodePropertyKeys.h"
#include "PlaylistHelpers.h"
#include "PrefsController.h"

#include "HttpTransfer.h"

#include <algorithm>
#include <filesystem>

#include <QString>

namespace orvanta {

namespace {

constexpr std::size_t kMaxPlaylistBytes = 1 << 20;
constexpr long kPlaylistTimeoutSeconds = 5;

std::string lowerCased(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .toLower()
        .toStdString();
}

// Collects a playlist body, refusing anything larger than a playlist can be or an error page.
class BodyCollector : public curl::Handler
{
public:
    std::string body;
    bool failed = false;
    bool tooLarge = false;
    std::optional<StatusLine> status;
    bool onHeader(std::string_view line) override
    {
        if (auto parsed = parseStatusLine(line)) {
            failed = parsed->code >= 400;
            status = std::move(parsed);
        }
        return true;
    }
    bool onData(const std::uint8_t* data, std::size_t length) override
    {
        if (failed || body.size() + length > kMaxPlaylistBytes) {
            tooLarge = !failed;
            return false;
        }
        body.append(reinterpret_cast<const char*>(data), length);
        return true;
    }
    bool onProgress(std::int64_t) override { return true; }
};

} // namespace

const PreferencesReader* MyOLVController::preferences() const
{
    return m_prefs;
}

std::optional<std::string> MyOLVController::fetchDroppedPlaylist(const std::string& url,
                                                                 const PreferencesReader* prefs,
                                                                 std::string& error)
{
    BodyCollector collector;
    HttpRequest request;
    request.url = url;
    request.headers = {"Cache-Control: no-cache", "Pragma: no-cache"};
    request.totalTimeoutSeconds = kPlaylistTimeoutSeconds;
    request.freshConnection = true;
    // Through the proxy the preferences choose, as every other request of the program.
    auto transfer = HttpTransfer::create(request, prefs, collector, error);
    if (!transfer) {
        logMessage("MyOLVController::fetchDroppedPlaylist", error);
        return std::nullopt;
    }
    const CURLcode result = transfer->perform();
    if (collector.failed && collector.status) {
        error = httpErrorText(*collector.status);
    } else if (collector.tooLarge) {
        error = Orvanta::tr("It is too large to be a playlist");
    } else if (result != CURLE_OK) {
        error = transfer->errorText();
    } else {
        return collector.body;
    }
    logMessage("MyOLVController::fetchDroppedPlaylist", url + ": " + error);
    return std::nullopt;
}

void MyOLVController::addToRootNode(const NodePtr& node)
{
    insertNode(m_root.get(), m_root->childrenCount(), node);
    libraryDidChange();
}

std::vector<Node*> MyOLVController::addNodes(Node* group, const std::vector<NodePtr>& nodes)
{
    if (group == nullptr || !isInTree(group))
        group = m_root.get();
    if (group->nodeType() == Node::kStream && group->parent())
        group = group->parent();
    std::vector<Node*> added;
    for (const NodePtr& node : nodes) {
        insertNode(group, group->childrenCount(), node);
        added.push_back(node.get());
    }
    if (!added.empty())
        libraryDidChange();
    return added;
}

Node* MyOLVController::addStream(Node* selected)
{
    return addChild(Node::kStream, selected ? selected : m_root.get(), Orvanta::tr("Stream"),
                    Orvanta::tr("URL"));
}

Node* MyOLVController::addGroup(Node* selected)
{
    return addChild(Node::kGroup, selected ? selected : m_root.get(), Orvanta::tr("Folder"), "");
}

Node* MyOLVController::addChild(std::int64_t type, const std::string& name, const std::string& url)
{
    return addChild(type, m_root.get(), name, url);
}

Node* MyOLVController::addChild(std::int64_t type, Node* parent, const std::string& name,
                                const std::string& url)
{
    if (parent != nullptr && parent->nodeType() == Node::kStream) {
        parent = parent->parent();
    }
    if (parent == nullptr) {
        logMessage("MyOLVController::addChild", "parent was nil");
        return nullptr;
    }
    NodePtr node = Node::nodeWithName(name, url, type);
    insertNode(parent, parent->childrenCount(), node);
    libraryDidChange();
    return node.get();
}

void MyOLVController::deleteNodes(const std::vector<Node*>& selection)
{
    // Held here so that removing a group does not free a selected node inside it while the
    // loop still has to look at it.
    std::vector<NodePtr> held;
    for (Node* node : selection) {
        held.push_back(node->shared_from_this());
    }
    bool removed = false;
    for (const NodePtr& node : held) {
        bool busy = node->isRecording();
        if (node->nodeType() == Node::kGroup) {
            std::vector<Node*> streams;
            Node::getAllChildrenOfNode(node.get(), Node::kStream, streams);
            busy = std::any_of(streams.begin(), streams.end(),
                               [](const Node* stream) { return stream->isRecording(); });
        }
        // A node below a group removed earlier in this loop went with it.
        if (!busy && node->parent() != nullptr && isInTree(node.get())) {
            removeNode(node.get());
            removed = true;
        }
    }
    if (removed) {
        libraryDidChange();
    }
}

bool MyOLVController::sortByColumn(std::string_view columnIdentifier)
{
    if (columnIdentifier == "ripperStatus" || columnIdentifier == "listenStatus" ||
        columnIdentifier == "timerStatus" || columnIdentifier == "stereo") {
        return false;
    }
    std::string name =
        std::string(columnIdentifier) + "Comparison" +
        (columnIdentifier == _selectedColumn && !_sortIsAscending ? "Ascending" : "Descending") +
        ":";
    Node::Comparison comparison = Node::comparisonNamed(name);
    if (comparison == nullptr) {
        return false;
    }
    _sortIsAscending = columnIdentifier == _selectedColumn && !_sortIsAscending;
    _selectedColumn = columnIdentifier;
    if (m_observer) {
        m_observer->treeWillReorder();
    }
    m_root->sortUsingSelector(comparison);
    if (m_observer) {
        m_observer->treeDidReorder();
    }
    libraryDidChange();
    return true;
}

bool MyOLVController::setObjectValue(Node* node, std::string_view columnIdentifier,
                                     const std::string& text)
{
    if (columnIdentifier == "stream") {
        node->setProperty(Value(text), np::NP_NAME);
    } else if (columnIdentifier == "comment") {
        node->setProperty(Value(text), np::NP_COMMENT);
    } else {
        return false;
    }
    libraryDidChange();
    return true;
}

// ---------------------------------------------------------------------------------------
// Drag and drop

void MyOLVController::writeItems(const std::vector<Node*>& rows)
{
    m_draggedNodes.clear();
    for (Node* node : Node::minimumNodeCoverFromNodesInArray(rows)) {
        m_draggedNodes.push_back(node->shared_from_this());
    }
}

MyOLVController::DragOperation MyOLVController::validateDrop(const DropInput& input,
                                                             Node* target) const
{
    if (target != nullptr && target->nodeType() != Node::kGroup) {
        return DragOperation::None;
    }
    if (!input.internal) {
        return DragOperation::Move;
    }
    Node* into = target ? target : m_root.get();
    std::vector<Node*> dragged;
    for (const NodePtr& node : m_draggedNodes) {
        dragged.push_back(node.get());
    }
    return into->isDescendantOfNodeInArray(dragged) ? DragOperation::None : DragOperation::Move;
}

std::vector<NodePtr> MyOLVController::nodesFromDrop(const DropInput& input)
{
    std::vector<NodePtr> created;
    if (input.url && lowerCased(*input.url).starts_with(kRedirectorPrefix)) {
        created.push_back(
            Node::nodeWithName(input.urlTitle.value_or(""), *input.url, Node::kStream));
        return created;
    }
    if (input.text) {
        const std::string& text = *input.text;
        if (text.empty()) {
            return created;
        }
        if (!lowerCased(text).ends_with(".pls")) {
            created.push_back(Node::nodeWithName(text, text, Node::kStream));
            return created;
        }
        std::optional<std::string> body = input.playlistBody;
        if (!body && !input.fetchFailed) {
            std::string error;
            body = m_fetcher ? m_fetcher(text) : fetchDroppedPlaylist(text, m_prefs, error);
        }
        if (!body || body->empty()) {
            return created;
        }
        std::string playlist =
            QString::fromLatin1(body->data(), static_cast<qsizetype>(body->size())).toStdString();
        std::vector<std::string> titles = PLSHelper::getTitles(playlist);
        if (titles.empty()) {
            return created;
        }
        std::string name = titles.front().empty() ? text : titles.front();
        created.push_back(Node::nodeWithName(name, text, Node::kStream));
        return created;
    }
    for (const std::string& file : input.fileNames) {
        if (lowerCased(std::filesystem::path(file).extension().string()) != ".pls") {
            continue;
        }
        std::string error;
        std::optional<std::string> content = readWholeFile(file, error);
        if (!content) {
            logMessage("MyOLVController::acceptDrop", error);
            continue;
        }
        std::vector<std::string> addresses = PLSHelper::parse(*content);
        std::vector<std::string> titles = PLSHelper::getTitles(*content);
        if (addresses.empty()) {
            continue;
        }
        std::string name = titles.empty() || titles.front().empty() ? file : titles.front();
        created.push_back(Node::nodeWithName(name, addresses, Node::kStream));
    }
    return created;
}

std::vector<Node*> MyOLVController::acceptDrop(const DropInput& input, Node* target, int childIndex)
{
    Node* into = target ? target : m_root.get();
    std::vector<Node*> result;
    // Validation refuses these; a drop that skipped it must not tear the tree apart.
    if (validateDrop(input, target) == DragOperation::None) {
        return result;
    }
    // Dropped onto a group (no index): after its children.
    std::size_t index = childIndex < 0
                            ? into->childrenCount()
                            : std::min(static_cast<std::size_t>(childIndex), into->childrenCount());
    if (input.internal) {
        const std::vector<NodePtr> moved = m_draggedNodes;
        for (const NodePtr& node : moved) {
            // One at a time, in order; a node taken from before the drop point moves it up.
            if (node->parent() == into && into->indexOfChild(node.get()) < index) {
                --index;
            }
            moveNode(node, into, index);
            ++index;
            result.push_back(node.get());
        }
    } else {
        // Between rows each new node goes to the drop index, so several stand in the
        // reverse order of their making; dropped onto a group they are appended.
        for (const NodePtr& node : nodesFromDrop(input)) {
            insertNode(into, childIndex < 0 ? into->childrenCount() : index, node);
            result.push_back(node.get());
        }
    }
    if (!result.empty()) {
        libraryDidChange();
    }
    return result;
}

} // namespace orvanta
