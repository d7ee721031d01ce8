#pragma once

// The recording history of the stream shown in the history window: one row per recorded
// file of the station's NP_HISTORY list, oldest first. The list is the node's own (shared)
// list; rows are removed from it in place.
//
// Cells by column: status (an image name), song name, artist, album, track number (from
// the entry's ID3 tags), location (a text that says why a file was dropped), and any other
// column shows the entry's value under its identifier. Entries of files that did not become
// recordings report IgnoredRole so the view can grey them out.
//
// Thread: main.

#include "Value.h"

#include <optional>
#include <string>
#include <vector>

#include <QAbstractTableModel>

namespace orvanta {

class HistoryController : public QAbstractTableModel
{
public:
    enum Role { IgnoredRole = Qt::UserRole + 1, ColumnIdentifierRole };

    /// The column identifiers, in display order.
    static const std::vector<std::string>& columnIdentifiers();

    static HistoryController& sharedInstance();
    explicit HistoryController(QObject* parent = nullptr);

    /// The list to show (the node's own), or nothing.
    void setNodeHistory(std::optional<Array> history);
    const std::optional<Array>& nodeHistory() const { return _nodeHistory; }
    void setWindowTitle(const std::optional<std::string>& name);
    const std::string& windowTitle() const { return m_windowTitle; }
    /// The list changed behind the model's back (an entry was appended).
    void needsDisplay();
    /// Removes exactly the entries of the given rows from the shown list.
    void clear(const std::vector<int>& selectedRows);

    /// The value of a cell: a string (an image name for the status column).
    Value objectValue(const std::string& column, int row) const;
    /// Stores an edited value in the row's entry under the column's identifier.
    void setObjectValue(const Value& value, const std::string& column, int row);

    /// The core's step for a completed file: appends a copy of the report to the node's
    /// history (creating the list when missing) and returns the list.
    static Array appendEntry(Dictionary& nodeProperties, const Dictionary& report);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    Dictionary entry(int row) const;

    std::optional<Array> _nodeHistory;
    std::string m_windowTitle;
};

} // namespace orvanta
