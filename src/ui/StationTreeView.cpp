#include "StationTreeView.h"

#include "IconLibrary.h"
#include "MyOLVController.h"
#include "StationDrops.h"
#include "StationTreeModel.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>

#include <mutex>

namespace orvanta::ui {

// ---- StationDisplayModel ----------------------------------------------------------------

StationDisplayModel::StationDisplayModel(StationTreeModel& stations, QObject* parent)
    : QIdentityProxyModel(parent), m_stations(stations)
{
    setSourceModel(&stations);
}

QVariant StationDisplayModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::DecorationRole) {
        const QString name =
            QIdentityProxyModel::data(index, StationTreeModel::ImageNameRole).toString();
        return name.isEmpty() ? QVariant() : QVariant(iconNamed(name));
    }
    if (role == Qt::ToolTipRole && index.column() == StationTreeModel::RipperStatus) {
        const Node* node = m_stations.nodeForIndex(mapToSource(index));
        if (node) {
            const auto alert = node->valueForKey("alertMessage");
            if (alert && !alert->empty())
                return QString::fromStdString(*alert);
        }
    }
    return QIdentityProxyModel::data(index, role);
}

QVariant StationDisplayModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DecorationRole) {
        const QString name = sourceModel()
                                 ->headerData(section, orientation, StationTreeModel::ImageNameRole)
                                 .toString();
        return name.isEmpty() ? QVariant() : QVariant(iconNamed(name));
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (section) {
        case StationTreeModel::RipperStatus:
            return role == Qt::ToolTipRole ? tr("Recording") : QVariant();
        case StationTreeModel::ListenStatus:
            return role == Qt::ToolTipRole ? tr("Listening") : QVariant();
        case StationTreeModel::TimerStatus:
            return role == Qt::ToolTipRole ? tr("Scheduled") : QVariant();
        case StationTreeModel::Stream:
            return tr("Stream");
        case StationTreeModel::Bitrate:
            return tr("Bitrate");
        case StationTreeModel::Stereo:
            return tr("Stereo");
        case StationTreeModel::Comment:
            return tr("Comment");
        default:
            return {};
        }
    }
    return QIdentityProxyModel::headerData(section, orientation, role);
}

// ---- StationTreeView --------------------------------------------------------------------

struct StationTreeView::FetchedDrop
{
    quint64 id = 0;
    MyOLVController::DropInput input;
    std::weak_ptr<Node> target; // empty: the root
    std::string error;          // why the fetch failed
    bool toRoot = false;
    int childIndex = -1;
    std::mutex mutex; // the body arrives on the worker
};

StationTreeView::StationTreeView(MyOLVController& library, StationTreeModel& stations,
                                 QWidget* parent)
    : QTreeView(parent), m_library(library), m_stations(stations),
      m_display(new StationDisplayModel(stations, this))
{
    setObjectName(QStringLiteral("stationList"));
    setAccessibleName(tr("Stations"));
    setModel(m_display);
    setTreePosition(StationTreeModel::Stream);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setDropIndicatorShown(true);
    setAlternatingRowColors(true);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false); // sorting changes the tree itself (and is saved with it)
    setIconSize(QSize(16, 16));

    QHeaderView* head = header();
    head->setSectionsClickable(true);
    head->setStretchLastSection(true);
    head->setMinimumSectionSize(20);
    for (int column : {StationTreeModel::RipperStatus, StationTreeModel::ListenStatus,
                       StationTreeModel::TimerStatus}) {
        head->setSectionResizeMode(column, QHeaderView::Fixed);
        head->resizeSection(column, 24);
    }
    head->resizeSection(StationTreeModel::Stream, 260);
    head->resizeSection(StationTreeModel::Bitrate, 80);
    head->resizeSection(StationTreeModel::Stereo, 56);
    head->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(head, &QHeaderView::sectionClicked, this, &StationTreeView::headerClicked);

    // The details follow the current row while it is selected, else the first selected
    // row; nothing selected shows nothing.
    auto detailsMoved = [this] {
        Node* shown = nullptr;
        if (selectionModel()->isRowSelected(currentIndex().row(), currentIndex().parent()))
            shown = nodeAt(currentIndex());
        else if (const std::vector<Node*> selected = selectedNodes(); !selected.empty())
            shown = selected.front();
        if (shown != m_detailNode || !shown) {
            m_detailNode = shown;
            emit currentNodeChanged(shown);
        }
    };
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, detailsMoved);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, detailsMoved);
}

StationTreeView::~StationTreeView()
{
    m_fetchers.joinAll();
}

Node* StationTreeView::nodeAt(const QModelIndex& index) const
{
    return m_stations.nodeForIndex(m_display->mapToSource(index));
}

QModelIndex StationTreeView::indexOf(const Node* node, int column) const
{
    return m_display->mapFromSource(m_stations.indexForNode(node, column));
}

std::vector<Node*> StationTreeView::selectedNodes() const
{
    QModelIndexList rows = selectionModel()->selectedRows(StationTreeModel::Stream);
    std::sort(rows.begin(), rows.end(), [this](const QModelIndex& a, const QModelIndex& b) {
        return visualRect(a).top() < visualRect(b).top();
    });
    std::vector<Node*> nodes;
    for (const QModelIndex& row : rows) {
        if (Node* node = nodeAt(row))
            nodes.push_back(node);
    }
    return nodes;
}

Node* StationTreeView::currentNode() const
{
    return nodeAt(currentIndex());
}

void StationTreeView::selectNodes(const std::vector<Node*>& nodes)
{
    QItemSelection selection;
    for (const Node* node : nodes) {
        const QModelIndex index = indexOf(node);
        if (!index.isValid())
            continue;
        if (index.parent().isValid())
            expand(index.parent());
        selection.select(index, indexOf(node, StationTreeModel::kColumnCount - 1));
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!nodes.empty()) {
        const QModelIndex first = indexOf(nodes.front(), StationTreeModel::Stream);
        selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
        scrollTo(first);
    }
}

void StationTreeView::expandNode(const Node* node)
{
    const QModelIndex index = indexOf(node);
    if (index.isValid())
        expand(index);
}

std::vector<Node*> StationTreeView::expandedGroups() const
{
    std::vector<Node*> groups;
    for (Node* group : m_library.getAllGroups()) {
        if (isExpanded(indexOf(group)))
            groups.push_back(group);
    }
    return groups;
}

void StationTreeView::restoreExpansion()
{
    for (Node* group : m_library.expandAllMarkedGroups())
        expandNode(group);
}

void StationTreeView::rename(const Node* node)
{
    const QModelIndex index = indexOf(node, StationTreeModel::Stream);
    if (!index.isValid())
        return;
    setCurrentIndex(index);
    edit(index);
}

void StationTreeView::headerClicked(int section)
{
    // The list never selects a column; a click sorts by it.
    if (m_library.sortByColumn(StationTreeModel::columnIdentifier(section)))
        showSortIndicator();
}

void StationTreeView::showSortIndicator()
{
    const std::string& column = m_library.selectedColumn();
    for (int section = 0; section < StationTreeModel::kColumnCount; ++section) {
        if (column == StationTreeModel::columnIdentifier(section)) {
            header()->setSortIndicatorShown(true);
            header()->setSortIndicator(section, m_library.sortIsAscending() ? Qt::DescendingOrder
                                                                            : Qt::AscendingOrder);
            return;
        }
    }
}

void StationTreeView::keyPressEvent(QKeyEvent* event)
{
    const bool deleteKey = event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace;
    if (deleteKey && state() != QAbstractItemView::EditingState && model()->rowCount() > 0 &&
        selectionModel()->hasSelection()) {
        emit deleteRequested();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void StationTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = indexAt(event->pos());
    if (index.isValid() && !selectionModel()->isSelected(index))
        setCurrentIndex(index);
    emit contextMenuRequested(event->globalPos());
}

void StationTreeView::dropEvent(QDropEvent* event)
{
    const QMimeData* carried = event->mimeData();
    if (!carried) {
        event->ignore();
        return;
    }
    // Where it lands, as the drop indicator showed it.
    const QModelIndex at = indexAt(event->position().toPoint());
    Node* target = nullptr;
    int childIndex = -1;
    switch (dropIndicatorPosition()) {
    case QAbstractItemView::OnItem:
        target = nodeAt(at);
        break;
    case QAbstractItemView::AboveItem:
        target = nodeAt(at.parent());
        childIndex = at.row();
        break;
    case QAbstractItemView::BelowItem:
        target = nodeAt(at.parent());
        childIndex = at.row() + 1;
        break;
    case QAbstractItemView::OnViewport:
        break;
    }
    const MyOLVController::DropInput input = dropInputFromMimeData(*carried);
    if (m_library.validateDrop(input, target) == MyOLVController::DragOperation::None) {
        event->ignore();
        return;
    }
    drop(*carried, target, childIndex);
    event->setDropAction(input.internal ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
    stopAutoScroll();
    setState(QAbstractItemView::NoState);
    viewport()->update();
}

void StationTreeView::drop(const QMimeData& carried, Node* target, int childIndex)
{
    MyOLVController::DropInput input = dropInputFromMimeData(carried);
    if (!dropNeedsPlaylistFetch(input)) {
        finishDrop(m_library.acceptDrop(input, target, childIndex), target);
        return;
    }
    auto fetch = std::make_shared<FetchedDrop>();
    fetch->id = ++m_nextDrop;
    fetch->input = input;
    fetch->toRoot = target == nullptr;
    if (target)
        fetch->target = target->weak_from_this();
    fetch->childIndex = childIndex;
    m_fetches.push_back(fetch);
    ++m_pendingDrops;
    const std::string address = *input.text;
    const PreferencesReader* prefs = m_library.preferences();
    m_fetchers.start("StationTreeView::drop", [this, fetch, address, prefs] {
        std::string error;
        std::optional<std::string> body =
            MyOLVController::fetchDroppedPlaylist(address, prefs, error);
        {
            std::lock_guard lock(fetch->mutex);
            fetch->error = std::move(error);
            fetch->input.playlistBody = std::move(body);
            fetch->input.fetchFailed = !fetch->input.playlistBody;
        }
        // The view joins its fetchers before it goes, so it is there for this call.
        QMetaObject::invokeMethod(this, "completeFetchedDrop", Qt::QueuedConnection,
                                  Q_ARG(quint64, fetch->id));
    });
}

void StationTreeView::completeFetchedDrop(quint64 drop)
{
    const auto it = std::find_if(m_fetches.begin(), m_fetches.end(),
                                 [drop](const auto& fetch) { return fetch->id == drop; });
    if (it == m_fetches.end())
        return;
    const std::shared_ptr<FetchedDrop> fetch = *it;
    m_fetches.erase(it);
    --m_pendingDrops;
    // The target group may have been deleted while the playlist came: nothing lands then.
    const NodePtr target = fetch->target.lock();
    if (!fetch->toRoot && (!target || !m_stations.indexForNode(target.get()).isValid()))
        return;
    MyOLVController::DropInput input;
    std::string error;
    {
        std::lock_guard lock(fetch->mutex);
        input = fetch->input;
        error = fetch->error;
    }
    if (input.fetchFailed) {
        emit dropFailed(
            tr("The playlist at %1 could not be fetched.\n\n%2")
                .arg(QString::fromStdString(*input.text), QString::fromStdString(error)));
        return;
    }
    finishDrop(m_library.acceptDrop(input, target.get(), fetch->childIndex), target.get());
}

void StationTreeView::finishDrop(const std::vector<Node*>& nodes, Node* target)
{
    if (nodes.empty())
        return;
    if (target)
        expandNode(target);
    selectNodes(nodes);
    emit dropped(nodes);
}

} // namespace orvanta::ui
