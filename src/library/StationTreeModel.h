#pragma once

// The station tree as a Qt item model for the station list: one row per node, the columns
// of the list (status images, name, bitrate, stereo, comment). Images are given by name in
// ImageNameRole; the view maps names to pictures. Edits of the name and comment go through
// the controller, so they schedule the library's delayed save.
//
// Changes of the tree's shape arrive as row insertions, removals and moves (sorting as a
// layout change that keeps every persistent index on its node), so a view keeps its
// selection and expanded rows; only loading a library resets the model. Status changes
// are dataChanged on the node's row.
//
// Ownership: borrows the controller, which must outlive the model, and is its tree
// observer while it lives. Thread: main.

#include "MyOLVController.h"

#include <QAbstractItemModel>

namespace orvanta {

class StationTreeModel : public QAbstractItemModel, private TreeObserver
{
public:
    enum Column {
        RipperStatus,
        ListenStatus,
        TimerStatus,
        Stream,
        Bitrate,
        Stereo,
        Comment,
        kColumnCount
    };
    enum Role { ImageNameRole = Qt::UserRole + 1, ColumnIdentifierRole };

    explicit StationTreeModel(MyOLVController& controller, QObject* parent = nullptr);
    ~StationTreeModel() override;

    static const char* columnIdentifier(int column);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Drag and drop: a drag from the list carries the private type (the controller keeps
    // the dragged nodes); drops follow the controller's rules.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    /// The nodes the last drop added or moved (the view selects them).
    const std::vector<Node*>& lastDropped() const { return m_lastDropped; }

    /// The node of a row; nullptr for the invalid index (the root).
    Node* nodeForIndex(const QModelIndex& index) const;
    /// The index of a node in the tree (column 0); invalid for the root or a stranger.
    QModelIndex indexForNode(const Node* node, int column = 0) const;
    /// Redraws one node's row (status changes).
    void reloadItem(const Node* node);

private:
    void treeWillInsert(Node* parent, std::size_t first, std::size_t last) override;
    void treeDidInsert() override;
    void treeWillRemove(Node* parent, std::size_t first, std::size_t last) override;
    void treeDidRemove() override;
    void treeWillMove(Node* fromParent, std::size_t from, Node* toParent,
                      std::size_t toIndex) override;
    void treeDidMove() override;
    void treeWillReorder() override;
    void treeDidReorder() override;
    void treeWillReset() override;
    void treeDidReset() override;

    MyOLVController& m_controller;
    QModelIndexList m_reordering; // persistent indexes held across a reorder
    bool m_moveAsLayout = false;
    std::vector<Node*> m_lastDropped;
};

} // namespace orvanta
