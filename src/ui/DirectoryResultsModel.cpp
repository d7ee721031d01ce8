#include "DirectoryResultsModel.h"

#include "QtStrings.h"

#include <QBrush>
#include <QGuiApplication>
#include <QPalette>

#include <set>

namespace orvanta::ui {

DirectoryResultsModel::DirectoryResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

void DirectoryResultsModel::setStations(std::vector<DirectoryStation> stations)
{
    beginResetModel();
    m_stations.clear();
    endResetModel();
    appendStations(std::move(stations));
}

void DirectoryResultsModel::appendStations(std::vector<DirectoryStation> stations)
{
    std::set<std::string> shown;
    for (const DirectoryStation& station : m_stations)
        shown.insert(station.uuid);
    std::vector<DirectoryStation> fresh;
    for (DirectoryStation& station : stations)
        if (shown.insert(station.uuid).second)
            fresh.push_back(std::move(station));
    if (fresh.empty())
        return;
    const int first = stationCount();
    beginInsertRows({}, first, first + static_cast<int>(fresh.size()) - 1);
    for (DirectoryStation& station : fresh)
        m_stations.push_back(std::move(station));
    endInsertRows();
}

void DirectoryResultsModel::iconArrived(const QString& faviconUrl)
{
    const std::string url = faviconUrl.toStdString();
    for (int row = 0; row < stationCount(); ++row)
        if (m_stations[row].favicon == url)
            emit dataChanged(index(row, Name), index(row, Name), {Qt::DecorationRole});
}

int DirectoryResultsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : stationCount();
}

int DirectoryResultsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString DirectoryResultsModel::whyNotRecordable(const DirectoryStation& station)
{
    if (station.isRecordable())
        return {};
    return tr("Orvanta cannot record this station: it sends %1").arg(qs(station.codec));
}

QVariant DirectoryResultsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= stationCount())
        return {};
    const DirectoryStation& station = m_stations[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Name:
            return qs(station.name);
        case Country:
            return qs(station.country.empty() ? station.countryCode : station.country);
        case Tags:
            return qs(station.tags).replace(QLatin1Char(','), QStringLiteral(", "));
        case Codec:
            return qs(station.codec);
        case Bitrate:
            return station.bitrate > 0 ? QVariant(station.bitrate) : QVariant();
        case Votes:
            return QVariant::fromValue<qlonglong>(station.votes);
        }
        return {};
    case Qt::DecorationRole:
        if (index.column() == Name && m_icons && !station.favicon.empty()) {
            const QIcon icon = m_icons(qs(station.favicon));
            if (!icon.isNull())
                return icon;
        }
        return {};
    case Qt::ToolTipRole: {
        const QString why = whyNotRecordable(station);
        if (!why.isEmpty())
            return why;
        return station.homepage.empty() ? QVariant() : QVariant(qs(station.homepage));
    }
    case Qt::ForegroundRole:
        if (!station.isRecordable())
            return QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == Bitrate || index.column() == Votes)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    return {};
}

QVariant DirectoryResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Name:
        return tr("Name");
    case Country:
        return tr("Country");
    case Tags:
        return tr("Tags");
    case Codec:
        return tr("Codec");
    case Bitrate:
        return tr("kbit/s");
    case Votes:
        return tr("Votes");
    }
    return {};
}

} // namespace orvanta::ui
