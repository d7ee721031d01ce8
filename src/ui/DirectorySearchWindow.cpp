#include "DirectorySearchWindow.h"

#include "BuiltInPlayer.h"
#include "DirectoryResultsModel.h"
#include "FaviconCache.h"
#include "MyOLVController.h"
#include "NodePropertyKeys.h"
#include "QtStrings.h"
#include "StationDirectory.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include <set>

namespace orvanta::ui {

namespace {

QString groupPath(const Node* group)
{
    QString path;
    for (const Node* at = group; at && at->parent(); at = at->parent())
        path = path.isEmpty() ? qs(at->name()) : qs(at->name()) + QStringLiteral(" / ") + path;
    return path;
}

QString stationsText(int count)
{
    return count == 1 ? DirectorySearchWindow::tr("1 station")
                      : DirectorySearchWindow::tr("%1 stations").arg(count);
}

bool holdsStation(const Node& group, const DirectoryStation& station)
{
    for (const NodePtr& child : group.children()) {
        const auto uuid = child->propertyForKey(np::NP_DIRECTORY_UUID);
        if (uuid && uuid->isString() && uuid->toString() == station.uuid)
            return true;
    }
    return false;
}

} // namespace

DirectorySearchWindow::DirectorySearchWindow(MyOLVController& library,
                                             const PreferencesReader& prefs, BuiltInPlayer& player,
                                             QWidget* parent)
    : QWidget(parent, Qt::Window), m_library(library), m_prefs(prefs), m_player(player),
      m_directory(std::make_unique<StationDirectory>(prefs)), m_name(new QLineEdit(this)),
      m_tag(new QLineEdit(this)), m_country(new QLineEdit(this)), m_codec(new QComboBox(this)),
      m_minBitrate(new QSpinBox(this)), m_order(new QComboBox(this)),
      m_recordableOnly(new QCheckBox(tr("Only stations Orvanta can record"), this)),
      m_searchButton(new QPushButton(tr("Search"), this)), m_table(new QTableView(this)),
      m_results(new DirectoryResultsModel(this)), m_icons(new FaviconCache(prefs, this)),
      m_more(new QPushButton(tr("More Results"), this)), m_status(new QLabel(this)),
      m_busy(new QProgressBar(this)), m_listen(new QPushButton(tr("Listen"), this)),
      m_group(new QComboBox(this)), m_add(new QPushButton(tr("Add to Library"), this))
{
    setWindowTitle(tr("Find Stations"));
    setObjectName(QStringLiteral("directorySearch"));
    resize(820, 520);

    m_name->setPlaceholderText(tr("Station name"));
    m_name->setAccessibleName(tr("Station name"));
    m_name->setClearButtonEnabled(true);
    m_tag->setPlaceholderText(tr("jazz, news, rock..."));
    m_tag->setAccessibleName(tr("Tag"));
    m_country->setPlaceholderText(tr("DE, FR, US..."));
    m_country->setAccessibleName(tr("Country code"));
    m_country->setMaxLength(2);
    m_codec->setAccessibleName(tr("Codec"));
    m_codec->addItem(tr("Any"), QString());
    for (const char* codec : {"MP3", "AAC", "AAC+", "OGG", "FLAC"})
        m_codec->addItem(QString::fromLatin1(codec), QString::fromLatin1(codec));
    m_minBitrate->setRange(0, 320);
    m_minBitrate->setSingleStep(32);
    m_minBitrate->setSuffix(tr(" kbit/s"));
    m_minBitrate->setSpecialValueText(tr("Any"));
    m_minBitrate->setAccessibleName(tr("Lowest bitrate"));
    m_order->addItem(tr("Most voted"));
    m_order->addItem(tr("Most played"));
    m_order->setAccessibleName(tr("Order"));
    m_recordableOnly->setChecked(true);
    m_recordableOnly->setToolTip(tr("Leave out stations in formats Orvanta cannot record"));
    m_searchButton->setDefault(true);
    m_searchButton->setAutoDefault(true);

    auto* fields = new QFormLayout;
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(m_name, 1);
    nameRow->addWidget(m_searchButton);
    fields->addRow(tr("Name:"), nameRow);
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(m_tag, 2);
    filterRow->addWidget(new QLabel(tr("Country:"), this));
    filterRow->addWidget(m_country);
    filterRow->addWidget(new QLabel(tr("Codec:"), this));
    filterRow->addWidget(m_codec);
    filterRow->addWidget(new QLabel(tr("At least:"), this));
    filterRow->addWidget(m_minBitrate);
    fields->addRow(tr("Tag:"), filterRow);
    auto* optionRow = new QHBoxLayout;
    optionRow->addWidget(m_order);
    optionRow->addWidget(m_recordableOnly);
    optionRow->addStretch(1);
    fields->addRow(tr("Show:"), optionRow);

    m_results->setIconSource([this](const QString& url) { return m_icons->icon(url); });
    connect(m_icons, &FaviconCache::iconArrived, m_results, &DirectoryResultsModel::iconArrived);
    m_table->setModel(m_results);
    m_table->setAccessibleName(tr("Stations found"));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->setIconSize(QSize(16, 16));
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_table->horizontalHeader()->setSectionResizeMode(DirectoryResultsModel::Name,
                                                      QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(DirectoryResultsModel::Tags,
                                                      QHeaderView::Stretch);
    connect(m_table, &QTableView::doubleClicked, this, &DirectorySearchWindow::listen);

    m_busy->setRange(0, 0);
    m_busy->setMaximumWidth(120);
    m_busy->setTextVisible(false);
    m_busy->hide();
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_group->setAccessibleName(tr("Add to group"));
    m_group->setMinimumContentsLength(16);
    auto* footer = new QHBoxLayout;
    footer->addWidget(m_busy);
    footer->addWidget(m_status, 1);
    footer->addWidget(m_more);
    footer->addWidget(m_listen);
    footer->addWidget(new QLabel(tr("Add to:"), this));
    footer->addWidget(m_group);
    footer->addWidget(m_add);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_table, 1);
    layout->addLayout(footer);

    for (QLineEdit* field : {m_name, m_tag, m_country})
        connect(field, &QLineEdit::returnPressed, this, &DirectorySearchWindow::search);
    connect(m_searchButton, &QPushButton::clicked, this, &DirectorySearchWindow::search);
    connect(m_more, &QPushButton::clicked, this, &DirectorySearchWindow::moreResults);
    connect(m_listen, &QPushButton::clicked, this, &DirectorySearchWindow::listen);
    connect(m_add, &QPushButton::clicked, this, &DirectorySearchWindow::addToLibrary);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &DirectorySearchWindow::updateButtons);
    connect(m_results, &QAbstractItemModel::modelReset, this,
            &DirectorySearchWindow::updateButtons);
    setStatus(tr("Search the public station directory by name, tag or country."));
    auto* closeKey = new QShortcut(QKeySequence::Cancel, this);
    connect(closeKey, &QShortcut::activated, this, &QWidget::close);
    refreshGroups();
    updateButtons();
}

DirectorySearchWindow::~DirectorySearchWindow()
{
    m_closing = true;
    if (m_cancel)
        *m_cancel = true;
    m_workers.joinAll();
}

DirectoryQuery DirectorySearchWindow::queryFromFields() const
{
    DirectoryQuery query;
    query.name = m_name->text().trimmed().toStdString();
    query.tag = m_tag->text().trimmed().toLower().toStdString();
    query.countryCode = m_country->text().trimmed().toUpper().toStdString();
    query.codec = m_codec->currentData().toString().toStdString();
    query.recordableCodecsOnly = query.codec.empty() && m_recordableOnly->isChecked();
    query.minBitrate = m_minBitrate->value();
    query.order =
        m_order->currentIndex() == 1 ? DirectoryQuery::Order::Clicks : DirectoryQuery::Order::Votes;
    query.limit = kPageSize;
    return query;
}

void DirectorySearchWindow::search()
{
    startSearch(queryFromFields(), false);
}

void DirectorySearchWindow::moreResults()
{
    if (m_searching || !m_moreAvailable)
        return;
    DirectoryQuery next = m_lastQuery;
    next.offset += next.limit;
    startSearch(next, true);
}

void DirectorySearchWindow::startSearch(const DirectoryQuery& query, bool append)
{
    if (m_cancel)
        *m_cancel = true; // a newer search supersedes the one running
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    const quint64 generation = ++m_generation;
    m_lastQuery = query;
    m_searching = true;
    m_busy->show();
    setStatus(tr("Searching..."));
    updateButtons();
    auto cancel = m_cancel;
    const bool started = m_workers.start("DirectorySearchWindow::search", [=, this] {
        const DirectorySearchResult result = m_directory->search(query, cancel.get());
        if (m_closing)
            return;
        QMetaObject::invokeMethod(
            this, [=, this] { finishSearch(generation, append, result); }, Qt::QueuedConnection);
    });
    if (!started) {
        m_searching = false;
        m_busy->hide();
    }
}

void DirectorySearchWindow::finishSearch(quint64 generation, bool append,
                                         const DirectorySearchResult& result)
{
    if (generation != m_generation)
        return; // superseded
    m_searching = false;
    m_busy->hide();
    if (!result.ok()) {
        const bool stopped = m_cancel && m_cancel->load();
        setStatus(stopped ? tr("The search was stopped.")
                          : tr("The search failed: %1").arg(qs(result.error)));
        updateButtons();
        emit searchFinished();
        return;
    }
    m_moreAvailable = result.more;
    if (append)
        m_results->appendStations(result.stations);
    else
        m_results->setStations(result.stations);
    const int shown = m_results->stationCount();
    if (shown == 0)
        setStatus(tr("No stations found."));
    else
        setStatus(m_moreAvailable ? tr("%1 shown; more match.").arg(stationsText(shown))
                                  : tr("%1 found.").arg(stationsText(shown)));
    if (!append && shown > 0)
        m_table->selectRow(0);
    updateButtons();
    emit searchFinished();
}

std::vector<int> DirectorySearchWindow::chosenRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void DirectorySearchWindow::updateButtons()
{
    const std::vector<int> rows = chosenRows();
    const bool anyRecordable = std::any_of(rows.begin(), rows.end(), [this](int row) {
        return m_results->station(row).isRecordable();
    });
    m_listen->setEnabled(rows.size() == 1);
    m_add->setEnabled(anyRecordable);
    m_add->setToolTip(!rows.empty() && !anyRecordable
                          ? DirectoryResultsModel::whyNotRecordable(m_results->station(rows[0]))
                          : QString());
    m_more->setEnabled(m_moreAvailable && !m_searching && m_results->stationCount() > 0);
}

void DirectorySearchWindow::listen()
{
    const std::vector<int> rows = chosenRows();
    if (rows.empty())
        return;
    const DirectoryStation station = m_results->station(rows.front());
    const std::string playlist =
        "[playlist]\nNumberOfEntries=1\nFile1=" + station.streamAddress() + "\n";
    if (!m_player.play(playlist)) {
        setStatus(tr("\"%1\" has no address that can be played.").arg(qs(station.name)));
        return;
    }
    setStatus(tr("Listening to \"%1\".").arg(qs(station.name)));
    m_workers.start("DirectorySearchWindow::countClick", [this, uuid = station.uuid] {
        m_directory->countClick(uuid, nullptr, &m_closing);
    });
}

void DirectorySearchWindow::refreshGroups()
{
    const QVariant chosen = m_group->currentData();
    m_group->clear();
    m_groups.clear();
    Node* root = m_library.rootNode();
    m_group->addItem(tr("Library"));
    m_groups.push_back(root ? root->weak_from_this() : std::weak_ptr<Node>());
    for (Node* group : m_library.getAllGroups()) {
        m_group->addItem(groupPath(group));
        m_groups.push_back(group->weak_from_this());
    }
    for (int index = 0; index < m_group->count(); ++index)
        m_group->setItemData(index, index);
    if (chosen.isValid() && chosen.toInt() < m_group->count())
        m_group->setCurrentIndex(chosen.toInt());
}

void DirectorySearchWindow::addToLibrary()
{
    const int chosen = m_group->currentIndex();
    NodePtr group = chosen >= 0 && chosen < static_cast<int>(m_groups.size())
                        ? m_groups[chosen].lock()
                        : NodePtr();
    if (!group) {
        refreshGroups();
        setStatus(tr("That group is gone; choose another."));
        return;
    }
    std::vector<NodePtr> nodes;
    int unrecordable = 0, present = 0;
    std::set<std::string> taken;
    for (const int row : chosenRows()) {
        const DirectoryStation& station = m_results->station(row);
        if (!station.isRecordable())
            ++unrecordable;
        else if (holdsStation(*group, station) || !taken.insert(station.uuid).second)
            ++present;
        else
            nodes.push_back(directoryStreamNode(station));
    }
    const std::vector<Node*> added = m_library.addNodes(group.get(), nodes);
    QString text = tr("%1 added to %2.")
                       .arg(stationsText(static_cast<int>(added.size())), m_group->currentText());
    if (present > 0)
        text += QLatin1Char(' ') + tr("%1 already there.").arg(stationsText(present));
    if (unrecordable > 0)
        text += QLatin1Char(' ') +
                tr("%1 left out: Orvanta cannot record them.").arg(stationsText(unrecordable));
    setStatus(text);
    if (!added.empty() && m_added)
        m_added(added);
}

QString DirectorySearchWindow::statusText() const
{
    return m_status->text();
}

void DirectorySearchWindow::setStatus(const QString& text)
{
    m_status->setText(text);
}

void DirectorySearchWindow::showEvent(QShowEvent* event)
{
    refreshGroups();
    QWidget::showEvent(event);
    m_name->setFocus();
}

void DirectorySearchWindow::closeEvent(QCloseEvent* event)
{
    if (m_cancel)
        *m_cancel = true;
    QWidget::closeEvent(event);
}

} // namespace orvanta::ui
