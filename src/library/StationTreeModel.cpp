#include "StationTreeModel.h"

#include "Localization.h"
#include "NodePropertyKeys.h"
#include "StationDrops.h"

#include <QMimeData>
#include <QSet>

namespace orvanta {

namespace {

bool hasActiveSchedule(const Node& node)
{
    std::optional<Value> schedules = node.propertyForKey(np::NP_RECORDING_SCHEDULE);
    if (!schedules || !schedules->isArray()) {
        return false;
    }
    for (const Value& entry : schedules->toArray()) {
        if (entry.toDictionary().get("ACTIVE").toBool()) {
            return true;
        }
    }
    return false;
}

QString textProperty(const Node& node, std::string_view key)
{
    std::optional<Value> value = node.propertyForKey(key);
    return value ? QString::fromStdString(value->toString()) : QString();
}

} // namespace

StationTreeModel::StationTreeModel(MyOLVController& controller, QObject* parent)
    : QAbstractItemModel(parent), m_controller(controller)
{
    m_controller.setTreeObserver(this);
}

StationTreeModel::~StationTreeModel()
{
    m_controller.setTreeObserver(nullptr);
}

const char* StationTreeModel::columnIdentifier(int column)
{
    static const char* const kIdentifiers[] = {
        "ripperStatus", "listenStatus", "timerStatus", "stream", "bitrate", "stereo", "comment"};
    return column >= 0 && column < kColumnCount ? kIdentifiers[column] : "";
}

Node* StationTreeModel::nodeForIndex(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex StationTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent)) {
        return {};
    }
    const Node* parentNode = parent.isValid() ? nodeForIndex(parent) : m_controller.rootNode();
    return createIndex(row, column, parentNode->childAtIndex(static_cast<std::size_t>(row)).get());
}

QModelIndex StationTreeModel::indexForNode(const Node* node, int column) const
{
    if (node == nullptr || node->parent() == nullptr) {
        return {};
    }
    std::size_t row = node->parent()->indexOfChild(node);
    if (row == Node::kNotFound || !node->isDescendantOfNode(m_controller.rootNode())) {
        return {};
    }
    return createIndex(static_cast<int>(row), column, const_cast<Node*>(node));
}

QModelIndex StationTreeModel::parent(const QModelIndex& child) const
{
    Node* node = nodeForIndex(child);
    if (node == nullptr || node->parent() == m_controller.rootNode()) {
        return {};
    }
    return indexForNode(node->parent());
}

int StationTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0) {
        return 0;
    }
    const Node* node = parent.isValid() ? nodeForIndex(parent) : m_controller.rootNode();
    return node ? static_cast<int>(node->childrenCount()) : 0;
}

int StationTreeModel::columnCount(const QModelIndex&) const
{
    return kColumnCount;
}

bool StationTreeModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0; // an empty group shows no disclosure control
}

QVariant StationTreeModel::data(const QModelIndex& index, int role) const
{
    const Node* node = nodeForIndex(index);
    if (node == nullptr) {
        return {};
    }
    const int column = index.column();
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (column) {
        case Stream:
            return textProperty(*node, np::NP_NAME);
        case Bitrate: {
            std::optional<Value> bitrate = node->propertyForKey(np::NP_BITRATE);
            std::int64_t kbps = bitrate ? bitrate->toInteger() : 0;
            return kbps != 0
                       ? QString::fromStdString(Orvanta::tr("%1 kbps", {std::to_string(kbps)}))
                       : QString();
        }
        case Stereo: {
            std::optional<Value> stereo = node->propertyForKey(np::NP_STEREO);
            return stereo && stereo->toBool() ? QStringLiteral("][") : QString();
        }
        case Comment:
            return textProperty(*node, np::NP_COMMENT);
        default:
            return {};
        }
    }
    if (role == Qt::TextAlignmentRole) {
        if (column == Bitrate || column == Stereo) {
            return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        }
        if (column == Comment) {
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        }
        return {};
    }
    if (role != ImageNameRole) {
        return {};
    }
    switch (column) {
    case Stream:
        return node->nodeType() == Node::kGroup ? QStringLiteral("folder")
                                                : QStringLiteral("stream16");
    case RipperStatus:
        if (node->isRecording()) {
            return node->rippingStatus() == RippingStatus::Connecting
                       ? QStringLiteral("aquaDotYellow")
                       : QStringLiteral("aquaDotOnline");
        }
        {
            // Clearing an alert stores an empty text: that is no alert.
            const auto alert = node->valueForKey("alertMessage");
            return alert && !alert->empty() ? QVariant(QStringLiteral("AlertCaution")) : QVariant();
        }
    case ListenStatus:
        return node->listenStatus() ? QVariant(QStringLiteral("speaker8x9")) : QVariant();
    case TimerStatus:
        if (node->timerStatus() == TimerStatus::Scheduled) {
            return QStringLiteral("redDotOnline");
        }
        return hasActiveSchedule(*node) ? QVariant(QStringLiteral("Clock")) : QVariant();
    default:
        return {};
    }
}

bool StationTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    Node* node = nodeForIndex(index);
    if (node == nullptr || role != Qt::EditRole) {
        return false;
    }
    if (!m_controller.setObjectValue(node, columnIdentifier(index.column()),
                                     value.toString().toStdString())) {
        return false;
    }
    Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

QVariant StationTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) {
        return {};
    }
    if (role == ColumnIdentifierRole) {
        return QString::fromLatin1(columnIdentifier(section));
    }
    if (role == ImageNameRole) {
        static const char* const kHeaderImages[] = {"ripperStatus", "speaker8x9",
                                                    "timerStatusHeader"};
        return section <= TimerStatus ? QVariant(QString::fromLatin1(kHeaderImages[section]))
                                      : QVariant();
    }
    return {};
}

Qt::ItemFlags StationTreeModel::flags(const QModelIndex& index) const
{
    const Node* node = nodeForIndex(index);
    if (node == nullptr) {
        return Qt::ItemIsDropEnabled; // the root takes drops
    }
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    if (index.column() == Stream || index.column() == Comment) {
        result |= Qt::ItemIsEditable;
    }
    if (node->nodeType() == Node::kGroup) {
        result |= Qt::ItemIsDropEnabled;
    }
    return result;
}

QStringList StationTreeModel::mimeTypes() const
{
    return {kStationListDragType, QStringLiteral("text/uri-list"), QStringLiteral("text/plain"),
            QStringLiteral("text/x-moz-url")};
}

QMimeData* StationTreeModel::mimeData(const QModelIndexList& indexes) const
{
    std::vector<Node*> rows;
    QSet<const Node*> seen;
    for (const QModelIndex& index : indexes) {
        Node* node = nodeForIndex(index);
        if (node && !seen.contains(node)) {
            seen.insert(node);
            rows.push_back(node);
        }
    }
    if (rows.empty())
        return nullptr;
    m_controller.writeItems(rows);
    auto* data = new QMimeData;
    data->setData(kStationListDragType, QByteArray());
    return data;
}

Qt::DropActions StationTreeModel::supportedDropActions() const
{
    return Qt::MoveAction | Qt::CopyAction | Qt::LinkAction;
}

Qt::DropActions StationTreeModel::supportedDragActions() const
{
    return Qt::MoveAction;
}

bool StationTreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                       const QModelIndex& parent) const
{
    if (!data)
        return false;
    return m_controller.validateDrop(dropInputFromMimeData(*data), nodeForIndex(parent)) ==
           MyOLVController::DragOperation::Move;
}

bool StationTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                    const QModelIndex& parent)
{
    m_lastDropped.clear();
    if (!data || action == Qt::IgnoreAction)
        return false;
    m_lastDropped =
        m_controller.acceptDrop(dropInputFromMimeData(*data), nodeForIndex(parent), row);
    // The controller moved dragged nodes itself; removeRows, which a view calls after a
    // move, is not implemented and changes nothing.
    return !m_lastDropped.empty();
}

void StationTreeModel::reloadItem(const Node* node)
{
    QModelIndex first = indexForNode(node, 0);
    if (first.isValid()) {
        Q_EMIT dataChanged(first, indexForNode(node, kColumnCount - 1));
    }
}

void StationTreeModel::treeWillInsert(Node* parent, std::size_t first, std::size_t last)
{
    beginInsertRows(indexForNode(parent), static_cast<int>(first), static_cast<int>(last));
}

void StationTreeModel::treeDidInsert()
{
    endInsertRows();
}

void StationTreeModel::treeWillRemove(Node* parent, std::size_t first, std::size_t last)
{
    beginRemoveRows(indexForNode(parent), static_cast<int>(first), static_cast<int>(last));
}

void StationTreeModel::treeDidRemove()
{
    endRemoveRows();
}

void StationTreeModel::treeWillMove(Node* fromParent, std::size_t from, Node* toParent,
                                    std::size_t toIndex)
{
    // The controller never asks for a move to where the node already is, nor into itself,
    // which are the moves Qt refuses; should one come, it is shown as a change of layout.
    m_moveAsLayout =
        !beginMoveRows(indexForNode(fromParent), static_cast<int>(from), static_cast<int>(from),
                       indexForNode(toParent), static_cast<int>(toIndex));
    if (m_moveAsLayout)
        treeWillReorder();
}

void StationTreeModel::treeDidMove()
{
    if (m_moveAsLayout)
        treeDidReorder();
    else
        endMoveRows();
    m_moveAsLayout = false;
}

void StationTreeModel::treeWillReorder()
{
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_reordering = persistentIndexList();
}

void StationTreeModel::treeDidReorder()
{
    // Every persistent index follows its node (the internal pointer) to its new row.
    QModelIndexList moved;
    moved.reserve(m_reordering.size());
    for (const QModelIndex& index : m_reordering)
        moved.append(indexForNode(nodeForIndex(index), index.column()));
    changePersistentIndexList(m_reordering, moved);
    m_reordering.clear();
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void StationTreeModel::treeWillReset()
{
    beginResetModel();
}

void StationTreeModel::treeDidReset()
{
    endResetModel();
}

} // namespace orvanta
