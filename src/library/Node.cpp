#include "Node.h"

#include "NodePropertyKeys.h"

#include <algorithm>

namespace orvanta {

namespace {

bool g_useOldStyleCoding = false;

} // namespace

Node::Node()
{
    _properties.set(np::NP_PRESET_ID, "Standard");
}

Node::~Node()
{
    // Children may outlive us when someone else holds them; they must not point back here.
    for (const NodePtr& child : _children) {
        if (child->_parent == this) {
            child->_parent = nullptr;
        }
    }
}

NodePtr Node::nodeWithName(const std::string& name, std::int64_t type)
{
    return nodeWithName(name, std::vector<std::string>{}, type);
}

NodePtr Node::nodeWithName(const std::string& name, const std::string& url, std::int64_t type)
{
    return nodeWithName(name, std::vector<std::string>{url}, type);
}

NodePtr Node::nodeWithName(const std::string& name, const std::vector<std::string>& urls,
                           std::int64_t type)
{
    auto node = std::make_shared<Node>();
    Array list;
    for (const std::string& url : urls) {
        list.append(url);
    }
    node->_properties.set(np::NP_NAME, name);
    node->_properties.set(np::NP_URLS, list);
    node->_properties.set(np::NP_TYPE, type);
    return node;
}

void Node::setUseOldStyleCoding(bool useOldStyle)
{
    g_useOldStyleCoding = useOldStyle;
}

bool Node::useOldStyleCoding()
{
    return g_useOldStyleCoding;
}

const std::vector<std::string_view>& Node::persistentKeys()
{
    static const std::vector<std::string_view> kKeys = {
        np::NP_PRESET_ID,
        np::NP_OUTLINEVIEW_GROUP_EXPAND,
        np::NP_TYPE,
        np::NP_URLS,
        np::NP_SELECTEDURLINDEX,
        np::NP_USERNAME,
        np::NP_PASSWORD,
        np::NP_NAME,
        np::NP_BITRATE,
        np::NP_STEREO,
        np::NP_COMMENT,
        np::NP_GENRE,
        np::NP_RECORDING_SCHEDULE,
        np::NP_HISTORY,
        np::NP_DIRECTORY_UUID,
        np::NP_SPLIT_OFFSETS,
    };
    return kKeys;
}

// ---------------------------------------------------------------------------------------
// Properties

std::optional<Value> Node::propertyForKey(std::string_view key) const
{
    if (const Value* value = _properties.find(key)) {
        return *value;
    }
    return std::nullopt;
}

void Node::setProperty(std::optional<Value> value, std::string_view key)
{
    _properties.set(key, value ? std::move(*value) : Value(Null{}));
}

void Node::removePropertyForKey(std::string_view key)
{
    _properties.remove(key);
}

void Node::addPropertiesFromDictionary(const Dictionary& dictionary)
{
    for (const auto& [key, value] : dictionary) {
        _properties.set(key, value);
    }
}

Dictionary Node::getCopyOfProperties() const
{
    Dictionary copy;
    for (const auto& [key, value] : _properties) {
        copy.set(key, value);
    }
    return copy;
}

Dictionary Node::recordingPropertiesCopy()
{
    std::optional<Value> history = propertyForKey(np::NP_HISTORY);
    if (!history || !history->isArray()) {
        setProperty(Value(Array{}), np::NP_HISTORY);
        history = propertyForKey(np::NP_HISTORY);
    }
    Dictionary copy;
    for (const auto& [key, value] : _properties) {
        copy.set(key, key == np::NP_HISTORY ? value : value.deepCopy());
    }
    return copy;
}

std::int64_t Node::nodeType() const
{
    const Value* type = _properties.find(np::NP_TYPE);
    return type ? type->toInteger() : kGroup;
}

void Node::setNodeType(std::int64_t type)
{
    _properties.set(np::NP_TYPE, type);
}

std::string Node::name() const
{
    const Value* value = _properties.find(np::NP_NAME);
    return value ? value->toString() : std::string();
}

// ---------------------------------------------------------------------------------------
// Status

void Node::setStatus(RecordingStatus status)
{
    std::lock_guard lock(_statusLock);
    _status = status;
}

void Node::setRippingStatus(RippingStatus status)
{
    std::lock_guard lock(_rippingStatusLock);
    _rippingStatus = status;
}

void Node::setTimerStatus(TimerStatus status)
{
    std::lock_guard lock(_timerStatusLock);
    _timerStatus = status;
}

std::optional<std::string> Node::valueForKey(std::string_view name) const
{
    std::lock_guard lock(_textFieldsLock);
    if (name == "alertMessage") {
        return _alertMessage;
    }
    if (name == "connectingURL") {
        return _connectingURL;
    }
    return std::nullopt;
}

bool Node::setValueForKey(std::optional<std::string> value, std::string_view name)
{
    std::lock_guard lock(_textFieldsLock);
    if (name == "alertMessage") {
        _alertMessage = std::move(value);
        return true;
    }
    if (name == "connectingURL") {
        _connectingURL = std::move(value);
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------
// Tree

bool Node::adopt(const NodePtr& child)
{
    // An ancestor (or the node itself) below this node would make a loop of owners.
    if (isDescendantOfNode(child.get())) {
        return false;
    }
    // A node has one place in the tree: leave the old parent before joining this one.
    if (child->_parent != nullptr) {
        child->_parent->removeChild(child.get());
    }
    child->_parent = this;
    return true;
}

void Node::addChild(const NodePtr& child)
{
    insertChild(child, _children.size());
}

void Node::insertChild(const NodePtr& child, std::size_t index)
{
    insertChildren({child}, index);
}

void Node::insertChildren(const std::vector<NodePtr>& children, std::size_t index)
{
    std::vector<NodePtr> adopted;
    for (const NodePtr& child : children) {
        if (adopt(child)) {
            adopted.push_back(child);
        }
    }
    index = std::min(index, _children.size());
    _children.insert(_children.begin() + static_cast<std::ptrdiff_t>(index), adopted.begin(),
                     adopted.end());
}

void Node::addChildren(const std::vector<NodePtr>& children)
{
    insertChildren(children, _children.size());
}

void Node::removeChild(const Node* child)
{
    std::size_t index = indexOfChild(child);
    if (index == kNotFound) {
        return;
    }
    NodePtr keep = _children[index]; // the caller may hold only a raw pointer
    keep->_parent = nullptr;
    _children.erase(_children.begin() + static_cast<std::ptrdiff_t>(index));
}

void Node::removeFromParent()
{
    if (_parent != nullptr) {
        _parent->removeChild(this);
    }
}

std::size_t Node::indexOfChild(const Node* child) const
{
    for (std::size_t i = 0; i < _children.size(); ++i) {
        if (_children[i].get() == child) {
            return i;
        }
    }
    return kNotFound;
}

bool Node::isDescendantOfNode(const Node* node) const
{
    for (const Node* current = this; current != nullptr; current = current->_parent) {
        if (current == node) {
            return true;
        }
    }
    return false;
}

bool Node::isDescendantOfNodeInArray(const std::vector<Node*>& nodes) const
{
    return std::any_of(nodes.begin(), nodes.end(),
                       [this](const Node* node) { return isDescendantOfNode(node); });
}

std::vector<Node*> Node::minimumNodeCoverFromNodesInArray(const std::vector<Node*>& nodes)
{
    std::vector<Node*> result;
    std::vector<Node*> working = nodes;
    auto eraseFromWorking = [&working](Node* node) {
        auto it = std::find(working.begin(), working.end(), node);
        if (it != working.end()) {
            working.erase(it);
        }
    };
    while (!working.empty()) {
        Node* node = working.front();
        working.erase(working.begin());
        while (node->_parent != nullptr &&
               std::find(working.begin(), working.end(), node->_parent) != working.end()) {
            eraseFromWorking(node);
            node = node->_parent;
        }
        if (!node->isDescendantOfNodeInArray(result)) {
            // An ancestor that comes later in the input (with the levels between unselected)
            // also covers nodes taken earlier: a cover never holds a node and its ancestor.
            std::erase_if(result, [node](Node* taken) { return taken->isDescendantOfNode(node); });
            result.push_back(node);
        }
        eraseFromWorking(node);
    }
    return result;
}

void Node::getAllChildrenOfNode(const Node* node, std::int64_t type, std::vector<Node*>& into)
{
    for (auto it = node->_children.rbegin(); it != node->_children.rend(); ++it) {
        Node* child = it->get();
        if (child->nodeType() == type) {
            into.push_back(child);
        }
        if (child->nodeType() == kGroup) {
            getAllChildrenOfNode(child, type, into);
        }
    }
}

} // namespace orvanta
