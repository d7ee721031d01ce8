#pragma once

// The stations a directory search found, as a table: name (with the station's icon),
// country, tags, codec, bitrate, votes. Stations this program cannot record are shown in
// grey with the reason as their tool tip.
//
// Thread: main.

#include "DirectoryStation.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <functional>
#include <vector>

namespace orvanta::ui {

class DirectoryResultsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Name, Country, Tags, Codec, Bitrate, Votes, ColumnCount };
    /// The icon of a station's favicon address; a null icon while it is not there (yet).
    using IconSource = std::function<QIcon(const QString& faviconUrl)>;

    explicit DirectoryResultsModel(QObject* parent = nullptr);

    void setIconSource(IconSource source) { m_icons = std::move(source); }
    /// Replaces the results (a new search).
    void setStations(std::vector<DirectoryStation> stations);
    /// Adds a further page; stations already shown are not repeated.
    void appendStations(std::vector<DirectoryStation> stations);
    const DirectoryStation& station(int row) const { return m_stations.at(row); }
    int stationCount() const { return static_cast<int>(m_stations.size()); }
    /// The icon of faviconUrl has arrived: its rows are redrawn.
    void iconArrived(const QString& faviconUrl);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    /// Why a station cannot be recorded, for the user; empty when it can.
    static QString whyNotRecordable(const DirectoryStation& station);

private:
    std::vector<DirectoryStation> m_stations;
    IconSource m_icons;
};

} // namespace orvanta::ui
