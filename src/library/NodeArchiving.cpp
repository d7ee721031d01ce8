// Node's archive record: the standard layout (children, parent, properties) and the legacy
// layout of older libraries, which the class-wide switch selects when reading.

#include "Node.h"

#include "Localization.h"
#include "Log.h"
#include "NodePropertyKeys.h"

#include <algorithm>

namespace orvanta {

namespace {

// Marks a failure that the innermost node has already logged, so that the enclosing nodes
// pass it on without logging it again.
class LoggedNodeError : public ArchiveError
{
public:
    using ArchiveError::ArchiveError;
};

bool isPersistentKey(std::string_view key)
{
    const auto& keys = Node::persistentKeys();
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

Value nameOrUntitled(const std::optional<Value>& name)
{
    if (!name || name->isNull()) {
        return Orvanta::tr("Untitled");
    }
    return *name;
}

} // namespace

void Node::registerWithReader(ArchiveReader& reader)
{
    reader.registerClass(kClassName, [] { return std::make_shared<Node>(); });
}

std::string Node::archiveRoot(Node& root, bool leaveUntouched)
{
    ArchiveWriter writer;
    writer.setLeaveObjectsUntouched(leaveUntouched);
    writer.encodeObject(&root);
    return writer.bytes();
}

NodePtr Node::unarchiveRoot(std::string_view bytes, std::string& error)
{
    try {
        ArchiveReader reader(bytes);
        registerWithReader(reader);
        auto root = std::dynamic_pointer_cast<Node>(reader.decodeObject());
        if (!root) {
            error = "the archive holds no node";
            return nullptr;
        }
        if (!reader.atEnd()) {
            error = "bytes after the library's root";
            return nullptr;
        }
        reader.keepResult();
        return root;
    } catch (const ArchiveError& e) {
        error = e.what();
        return nullptr;
    }
}

void Node::encodeWithCoder(ArchiveWriter& writer)
{
    Dictionary properties;
    if (writer.leaveObjectsUntouched()) {
        for (const auto& [key, value] : _properties) {
            if (isPersistentKey(key)) {
                properties.set(key, value);
            }
        }
    } else {
        for (const std::string& key : _properties.keys()) {
            if (!isPersistentKey(key)) {
                _properties.remove(key);
            }
        }
        properties = _properties;
    }
    std::vector<Archivable*> children;
    children.reserve(_children.size());
    for (const NodePtr& child : _children) {
        children.push_back(child.get());
    }
    writer.encodeObjectList(children);
    writer.encodeObject(_parent);
    writer.encodeValue(properties);
}

void Node::initWithCoder(ArchiveReader& reader)
{
    m_decoding = true;
    try {
        std::vector<NodePtr> children;
        for (const ArchivablePtr& object : reader.decodeObjectList()) {
            auto child = std::dynamic_pointer_cast<Node>(object);
            if (!child) {
                throw ArchiveError("a child is not a node");
            }
            // A node being read (this one or an ancestor) or one already placed cannot be
            // a child here: that would make a loop or put one node in two places.
            if (child->m_decoding || child->m_adopted) {
                throw ArchiveError("a node appears twice in the tree");
            }
            child->m_adopted = true;
            children.push_back(child);
        }
        ArchivablePtr parent = reader.decodeObject();
        if (parent && !std::dynamic_pointer_cast<Node>(parent)) {
            throw ArchiveError("the parent is not a node");
        }
        for (const NodePtr& child : children) {
            child->_parent = this;
        }
        _children = std::move(children);
        // The parent's own record adopts this node and sets the link; a root has none.
        _parent = nullptr;

        if (useOldStyleCoding()) {
            decodeLegacyFields(reader);
        } else {
            Value properties = reader.decodeValue();
            if (!properties.isDictionary()) {
                throw ArchiveError("node properties are not a dictionary");
            }
            _properties = properties.toDictionary();
            if (!_properties.contains(np::NP_NAME) || _properties.get(np::NP_NAME).isNull()) {
                _properties.set(np::NP_NAME, Orvanta::tr("Untitled"));
            }
        }
    } catch (const LoggedNodeError&) {
        m_decoding = false;
        throw;
    } catch (const ArchiveError& error) {
        m_decoding = false;
        logMessage("Node::initWithCoder",
                   std::string("threw exception reading stream data: ArchiveError : ") +
                       error.what());
        throw LoggedNodeError(error.what());
    }
    m_decoding = false;
}

void Node::decodeLegacyFields(ArchiveReader& reader)
{
    Dictionary properties;
    properties.set(np::NP_TYPE, reader.decodeInt32());
    properties.set(np::NP_REWINDSECS, static_cast<double>(reader.decodeInt32()));
    properties.set(np::NP_SPLITSIZEMB, reader.decodeInt32());
    properties.set(np::NP_SPLITTIMEMINS, reader.decodeInt32());
    properties.set(np::NP_MANUALSPLITTYPE, reader.decodeInt32());
    properties.set(np::NP_ALWAYSMANUAL, reader.decodeChar() != 0);
    properties.set(np::NP_SELECTEDURLINDEX, reader.decodeInt32());
    if (std::optional<Value> urls = reader.decodeOptionalValue()) {
        properties.set(np::NP_URLS, *urls);
    }
    properties.set(np::NP_NAME, nameOrUntitled(reader.decodeOptionalValue()));
    (void)reader.decodeOptionalValue();
    (void)reader.decodeOptionalValue();
    std::int32_t timerStatus = reader.decodeInt32();
    (void)reader.decodeChar();
    (void)reader.decodeFloat();
    (void)reader.decodeFloat();
    (void)reader.decodeFloat();
    bool stereo = reader.decodeChar() != 0;
    std::int32_t bitrate = reader.decodeInt32();
    if (std::optional<Value> comment = reader.decodeOptionalValue()) {
        properties.set(np::NP_COMMENT, *comment);
    }
    properties.set(np::NP_STEREO, stereo);
    properties.set(np::NP_BITRATE, bitrate);
    (void)reader.decodeChar();

    _properties = properties;
    _timerStatus = timerStatus == 1 ? TimerStatus::Scheduled : TimerStatus::Off;
}

} // namespace orvanta
