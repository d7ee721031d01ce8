#pragma once

// The station list: the station tree with its columns, in-place renaming, multiple
// selection, sorting by a click on a column header, the Delete key, a context menu, and
// drops (moves within the list, addresses from a browser, playlist files from the file
// manager). A dropped playlist address is fetched off the main thread; the drop completes
// when it has arrived, with the window responsive meanwhile.
//
// Ownership: borrows the library controller and the station model. Thread: main.

#include "OwnedThreads.h"

#include <QIdentityProxyModel>
#include <QTreeView>

#include <memory>
#include <vector>

namespace orvanta {
class MyOLVController;
class Node;
class StationTreeModel;
} // namespace orvanta

// Signals carry stations as plain pointers; the meta-object system never looks inside.
Q_DECLARE_OPAQUE_POINTER(orvanta::Node*)

namespace orvanta::ui {

/// The station model as the view shows it: pictures for the image names, header titles.
class StationDisplayModel : public QIdentityProxyModel
{
    Q_OBJECT
public:
    explicit StationDisplayModel(StationTreeModel& stations, QObject* parent = nullptr);
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    StationTreeModel& stations() const { return m_stations; }

private:
    StationTreeModel& m_stations;
};

class StationTreeView : public QTreeView
{
    Q_OBJECT
public:
    StationTreeView(MyOLVController& library, StationTreeModel& stations,
                    QWidget* parent = nullptr);
    ~StationTreeView() override;

    Node* nodeAt(const QModelIndex& index) const;
    QModelIndex indexOf(const Node* node, int column = 0) const;
    /// The selected nodes, in row order.
    std::vector<Node*> selectedNodes() const;
    Node* currentNode() const;
    /// Selects exactly these nodes, the first one current, and scrolls to it.
    void selectNodes(const std::vector<Node*>& nodes);
    void expandNode(const Node* node);
    std::vector<Node*> expandedGroups() const;
    /// Expands the groups the library marked at the last quit.
    void restoreExpansion();
    /// Drops waiting for their playlist to arrive.
    std::size_t pendingDrops() const { return m_pendingDrops; }
    /// Edits the name of a node in place.
    void rename(const Node* node);

    /// Carries out a drop of data at a target (nullptr: the root) and child index, as a drop
    /// from outside does: a playlist address is fetched on a worker first.
    void drop(const QMimeData& carried, Node* target, int childIndex);

signals:
    /// The row the details are shown for changed (nullptr: none, or a group).
    void currentNodeChanged(Node* node);
    void deleteRequested();
    void contextMenuRequested(const QPoint& globalPosition);
    /// A drop added or moved these nodes.
    void dropped(const std::vector<Node*>& nodes);
    /// A dropped or opened playlist address could not be fetched; message says why.
    void dropFailed(const QString& message);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void headerClicked(int section);
    void showSortIndicator();
    void finishDrop(const std::vector<Node*>& nodes, Node* target);
    Q_INVOKABLE void completeFetchedDrop(quint64 drop);

    struct FetchedDrop;
    MyOLVController& m_library;
    StationTreeModel& m_stations;
    StationDisplayModel* m_display;
    Node* m_detailNode = nullptr; // the node whose details were announced last
    std::size_t m_pendingDrops = 0;
    quint64 m_nextDrop = 0;
    std::vector<std::shared_ptr<FetchedDrop>> m_fetches;
    OwnedThreads m_fetchers;
};

} // namespace orvanta::ui
