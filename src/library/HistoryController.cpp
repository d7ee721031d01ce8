#include "HistoryController.h"

#include "DictionaryExtensions.h"
#include "HistoryRules.h"
#include "Localization.h"
#include "NodePropertyKeys.h"

#include <algorithm>

namespace orvanta {

namespace {

struct Flags
{
    bool duplicate, ignored, incomplete, skipped, tooSmall;
};

Flags flagsOf(const Dictionary& e)
{
    return {boolForKey(e, "duplicate"), boolForKey(e, "ignored"), boolForKey(e, "incomplete"),
            boolForKey(e, "skipped"), boolForKey(e, "tooSmall")};
}

std::string statusImage(const Flags& f)
{
    if (f.duplicate && (f.ignored || f.incomplete))
        return "duplicateIgnored";
    if (f.duplicate)
        return "duplicateConfirmed";
    if (f.skipped)
        return "skippedIgnored";
    if (f.ignored || f.tooSmall || f.incomplete)
        return "ignored";
    return "attStatusConfirmed";
}

std::string locationText(const Dictionary& e, const Flags& f)
{
    if (f.duplicate && f.ignored)
        return Orvanta::tr("Duplicate recording - ignored");
    if (f.tooSmall)
        return Orvanta::tr("Recording too small - ignored");
    if (f.incomplete) {
        return Orvanta::tr("Incomplete - %1", {e.get(fileinfo::kLocation).toString()});
    }
    if (f.skipped)
        return Orvanta::tr("Skipped - ignored");
    return e.get(fileinfo::kLocation).toString();
}

QVariant toVariant(const Value& v)
{
    if (v.isString())
        return QString::fromStdString(v.toString());
    if (v.isBool())
        return v.toBool();
    if (v.isInteger())
        return QVariant::fromValue<qlonglong>(v.toInteger());
    if (v.isReal())
        return v.toReal();
    return {};
}

Value fromVariant(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        return Value(v.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong:
        return Value(static_cast<long long>(v.toLongLong()));
    case QMetaType::Double:
        return Value(v.toDouble());
    default:
        return Value(v.toString().toStdString());
    }
}

} // namespace

const std::vector<std::string>& HistoryController::columnIdentifiers()
{
    static const std::vector<std::string> columns = {"status", "songName",    "artist",
                                                     "album",  "trackNumber", "location"};
    return columns;
}

HistoryController& HistoryController::sharedInstance()
{
    static HistoryController* instance = new HistoryController; // lives as long as the process
    return *instance;
}

HistoryController::HistoryController(QObject* parent) : QAbstractTableModel(parent)
{
    setWindowTitle(std::nullopt);
}

void HistoryController::setNodeHistory(std::optional<Array> history)
{
    beginResetModel();
    _nodeHistory = std::move(history);
    endResetModel();
}

void HistoryController::setWindowTitle(const std::optional<std::string>& name)
{
    m_windowTitle = name ? Orvanta::tr("History - %1", {*name}) : Orvanta::tr("History");
}

void HistoryController::needsDisplay()
{
    beginResetModel();
    endResetModel();
}

void HistoryController::clear(const std::vector<int>& selectedRows)
{
    if (!_nodeHistory || selectedRows.empty())
        return;
    // Remove by identity, so entries that are equal in content but unselected stay.
    std::vector<Value> doomed;
    for (int row : selectedRows) {
        if (row >= 0 && static_cast<std::size_t>(row) < _nodeHistory->size())
            doomed.push_back(_nodeHistory->at(static_cast<std::size_t>(row)));
    }
    beginResetModel();
    {
        std::lock_guard lock(historyListLock());
        for (std::size_t i = _nodeHistory->size(); i-- > 0;) {
            const Value& item = _nodeHistory->at(i);
            if (std::any_of(doomed.begin(), doomed.end(),
                            [&](const Value& d) { return d.isSameObject(item); }))
                _nodeHistory->removeAt(i);
        }
    }
    endResetModel();
}

Dictionary HistoryController::entry(int row) const
{
    if (!_nodeHistory || row < 0 || static_cast<std::size_t>(row) >= _nodeHistory->size())
        return {};
    return _nodeHistory->at(static_cast<std::size_t>(row)).toDictionary();
}

Value HistoryController::objectValue(const std::string& column, int row) const
{
    const Dictionary e = entry(row);
    const Flags f = flagsOf(e);
    const Dictionary tags = e.get(fileinfo::kID3Tags).toDictionary();
    if (column == "status")
        return statusImage(f);
    if (column == "album")
        return tags.get("TALB").toString();
    if (column == "artist")
        return tags.get("TPE1").toString();
    if (column == "songName")
        return tags.get("TIT2").toString();
    if (column == "trackNumber")
        return tags.get("TRCK").toString();
    if (column == "location")
        return locationText(e, f);
    return e.get(column);
}

void HistoryController::setObjectValue(const Value& value, const std::string& column, int row)
{
    if (!_nodeHistory || row < 0 || static_cast<std::size_t>(row) >= _nodeHistory->size())
        return;
    std::lock_guard lock(historyListLock());
    Value& item = _nodeHistory->at(static_cast<std::size_t>(row));
    if (!item.isDictionary())
        return;
    item.toDictionary().set(column, value);
}

Array HistoryController::appendEntry(Dictionary& nodeProperties, const Dictionary& report)
{
    Value* existing = nodeProperties.find(np::NP_HISTORY);
    if (!existing || !existing->isArray()) {
        nodeProperties.set(np::NP_HISTORY, Array{});
        existing = nodeProperties.find(np::NP_HISTORY);
    }
    Array history = existing->toArray();
    Dictionary copy;
    for (const auto& [key, value] : report)
        copy.set(key, value);
    std::lock_guard lock(historyListLock());
    history.append(copy);
    return history;
}

int HistoryController::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !_nodeHistory ? 0 : static_cast<int>(_nodeHistory->size());
}

int HistoryController::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columnIdentifiers().size());
}

QVariant HistoryController::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const std::string& column = columnIdentifiers()[static_cast<std::size_t>(index.column())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return toVariant(objectValue(column, index.row()));
    case IgnoredRole: {
        // Grey for dropped files, except the status image and empty cells.
        const Value v = objectValue(column, index.row());
        return column != "status" && boolForKey(entry(index.row()), "ignored") &&
               !(v.isString() && v.toString().empty()) && !v.isNull();
    }
    case ColumnIdentifierRole:
        return QString::fromStdString(column);
    default:
        return {};
    }
}

bool HistoryController::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    setObjectValue(fromVariant(value),
                   columnIdentifiers()[static_cast<std::size_t>(index.column())], index.row());
    emit dataChanged(index, index);
    return true;
}

QVariant HistoryController::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount())
        return {};
    static const char* const titles[] = {"",
                                         QT_TRANSLATE_NOOP("Orvanta", "Song Name"),
                                         QT_TRANSLATE_NOOP("Orvanta", "Artist"),
                                         QT_TRANSLATE_NOOP("Orvanta", "Album"),
                                         QT_TRANSLATE_NOOP("Orvanta", "Track"),
                                         QT_TRANSLATE_NOOP("Orvanta", "Location")};
    return QString::fromStdString(localizedString(titles[section]));
}

Qt::ItemFlags HistoryController::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (index.column() != 0)
        f |= Qt::ItemIsEditable;
    return f;
}

} // namespace orvanta
