#include "HistoryWindow.h"

#include "CutEditor.h"

#include "FileManagerLink.h"
#include "HistoryController.h"
#include "IconLibrary.h"
#include "MyOLVController.h"
#include "Node.h"
#include "NodePropertyKeys.h"
#include "PrefsController.h"
#include "SessionJournal.h"
#include "SplitOffsets.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QTableView>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <set>

namespace orvanta::ui {

namespace {

constexpr int kStatusColumn = 0;
constexpr int kLocationColumn = 5;

} // namespace

// ---- HistoryDisplayModel -----------------------------------------------------------------

HistoryDisplayModel::HistoryDisplayModel(HistoryController& history, QObject* parent)
    : QIdentityProxyModel(parent), m_history(history)
{
    setSourceModel(&history);
}

QString HistoryDisplayModel::locationOfRow(int row) const
{
    const auto& history = m_history.nodeHistory();
    if (!history || row < 0 || row >= static_cast<int>(history->size()))
        return {};
    const Value location =
        history->at(static_cast<std::size_t>(row)).toDictionary().get(fileinfo::kLocation);
    return location.isString() ? QString::fromStdString(location.toString()) : QString();
}

QString HistoryDisplayModel::existingFileOfRow(int row) const
{
    const QString location = locationOfRow(row);
    return !location.isEmpty() && QFileInfo(location).isFile() ? location : QString();
}

bool HistoryDisplayModel::fileIsGone(int row) const
{
    const QString location = locationOfRow(row);
    const bool dropped =
        m_history.data(m_history.index(row, kLocationColumn), HistoryController::IgnoredRole)
            .toBool();
    return !location.isEmpty() && !dropped && !QFileInfo(location).isFile();
}

QVariant HistoryDisplayModel::data(const QModelIndex& index, int role) const
{
    const int column = index.column();
    if (column == kStatusColumn) {
        const QString image = QIdentityProxyModel::data(index, Qt::DisplayRole).toString();
        if (role == Qt::DecorationRole)
            return iconNamed(image);
        if (role == Qt::DisplayRole)
            return {};
        if (role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
            return image;
    }
    if (role == Qt::ForegroundRole &&
        QIdentityProxyModel::data(index, HistoryController::IgnoredRole).toBool())
        return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
    if (column == kLocationColumn && fileIsGone(index.row())) {
        if (role == Qt::DecorationRole)
            return iconNamed(QStringLiteral("missingFile"));
        if (role == Qt::ToolTipRole)
            return tr("The file is no longer there");
        if (role == Qt::FontRole) {
            QFont font;
            font.setItalic(true);
            return font;
        }
    }
    if (role == Qt::ToolTipRole && column == kLocationColumn)
        return QIdentityProxyModel::data(index, Qt::DisplayRole);
    return QIdentityProxyModel::data(index, role);
}

Qt::ItemFlags HistoryDisplayModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags result = QIdentityProxyModel::flags(index);
    if (index.isValid() && !existingFileOfRow(index.row()).isEmpty())
        result |= Qt::ItemIsDragEnabled;
    return result;
}

QStringList HistoryDisplayModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData* HistoryDisplayModel::mimeData(const QModelIndexList& indexes) const
{
    std::set<int> rows;
    for (const QModelIndex& index : indexes)
        rows.insert(index.row());
    QList<QUrl> urls;
    for (int row : rows) {
        const QString file = existingFileOfRow(row);
        if (!file.isEmpty() && !urls.contains(QUrl::fromLocalFile(file)))
            urls.append(QUrl::fromLocalFile(file));
    }
    if (urls.isEmpty())
        return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

Qt::DropActions HistoryDisplayModel::supportedDragActions() const
{
    return Qt::CopyAction;
}

// ---- HistoryWindow -----------------------------------------------------------------------

HistoryWindow::HistoryWindow(MyOLVController& library, PrefsController& prefs, QWidget* parent)
    : QWidget(parent, Qt::Window), m_library(library), m_prefs(prefs),
      m_history(std::make_unique<HistoryController>()),
      m_display(new HistoryDisplayModel(*m_history, this)), m_table(new QTableView(this)),
      m_clear(new QToolButton(this))
{
    setObjectName(QStringLiteral("historyWindow"));
    m_table->setObjectName(QStringLiteral("historyTable"));
    m_table->setAccessibleName(tr("History"));
    m_table->setModel(m_display);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // A double-click plays the file; a cell is edited with F2.
    m_table->setEditTriggers(QAbstractItemView::EditKeyPressed);
    m_table->setDragEnabled(true);
    m_table->setDragDropMode(QAbstractItemView::DragOnly);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->resizeSection(kStatusColumn, 28);
    m_table->setIconSize(QSize(16, 16));
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);

    m_clear->setObjectName(QStringLiteral("clearHistory"));
    m_clear->setIcon(iconNamed(QStringLiteral("Stop_HistoryCorner")));
    m_clear->setText(tr("Remove Selected Entries"));
    m_clear->setToolTip(tr("Remove the selected entries from the history (the files stay)"));
    m_clear->setAccessibleName(tr("Remove Selected Entries"));
    m_clear->setAutoRaise(true);
    m_clear->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_clear->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_clear, 0, Qt::AlignLeft);

    connect(m_clear, &QToolButton::clicked, this, &HistoryWindow::clearSelected);
    connect(m_table, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { playRow(index.row()); });
    connect(m_table, &QTableView::customContextMenuRequested, this,
            &HistoryWindow::showContextMenu);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { m_clear->setEnabled(m_table->selectionModel()->hasSelection()); });
    // An edited cell is part of the library.
    connect(m_history.get(), &QAbstractItemModel::dataChanged, this,
            [this] { m_library.libraryDidChange(); });

    resize(720, 360);
    const Value geometry = m_prefs.getPrefsForKey(kGeometryKey);
    if (geometry.isData()) {
        const Bytes& bytes = geometry.toData();
        restoreGeometry(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                   static_cast<qsizetype>(bytes.size())));
    }
    updateTitle();
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::setNode(Node* node)
{
    m_node = node ? node->weak_from_this() : std::weak_ptr<Node>();
    if (!node || node->nodeType() != Node::kStream) {
        m_history->setNodeHistory(std::nullopt);
        m_history->setWindowTitle(std::nullopt);
        updateTitle();
        return;
    }
    auto list = node->propertyForKey(np::NP_HISTORY);
    if (!list || !list->isArray()) {
        node->setProperty(Value(Array{}), np::NP_HISTORY);
        list = node->propertyForKey(np::NP_HISTORY);
    }
    m_history->setWindowTitle(node->name());
    m_history->setNodeHistory(list->toArray());
    updateTitle();
}

void HistoryWindow::needsDisplay()
{
    m_history->needsDisplay();
    m_table->scrollToBottom();
}

void HistoryWindow::clearSelected()
{
    std::vector<int> rows;
    for (const QModelIndex& row : m_table->selectionModel()->selectedRows())
        rows.push_back(row.row());
    if (rows.empty())
        return;
    m_history->clear(rows);
    m_table->selectionModel()->clearSelection();
    m_library.libraryDidChange();
}

void HistoryWindow::updateTitle()
{
    setWindowTitle(QString::fromStdString(m_history->windowTitle()));
}

void HistoryWindow::playRow(int row)
{
    const QString file = m_display->existingFileOfRow(row);
    if (!file.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

void HistoryWindow::showRowInFolder(int row)
{
    const QString file = m_display->existingFileOfRow(row);
    if (!file.isEmpty())
        showItemInFileManager(file);
}

void HistoryWindow::copyLocationOfRow(int row)
{
    const QString location =
        m_display->data(m_display->index(row, kLocationColumn), Qt::DisplayRole).toString();
    const QString file = m_display->existingFileOfRow(row);
    QApplication::clipboard()->setText(file.isEmpty() ? location : file);
}

void HistoryWindow::adjustCutOfRow(int row)
{
    adjustCutOfFile(m_display->existingFileOfRow(row));
}

void HistoryWindow::adjustCutOfFile(const QString& file)
{
    std::string error;
    auto cut = file.isEmpty() ? std::nullopt
                              : findRecordedCut(SessionJournal::defaultSessionsFolder(),
                                                file.toStdString(), error);
    if (!cut) {
        auto* box = new QMessageBox(QMessageBox::Information, tr("Cannot Adjust Cut"),
                                    file.isEmpty() ? tr("The file is no longer there.")
                                                   : QString::fromStdString(error),
                                    QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("adjustCutAlert"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    const std::optional<double> recorded = cut->fromTitleSeconds;
    auto* editor = new CutEditor(
        std::move(*cut),
        [this, recorded](double moved) {
            // The station's next cuts move the same way.
            if (const auto node = m_node.lock(); node && recorded) {
                rememberSplitOffset(*node, *recorded + moved);
                m_library.libraryDidChange();
            }
        },
        this);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    editor->open();
}

void HistoryWindow::showContextMenu(const QPoint& position)
{
    const QModelIndex index = m_table->indexAt(position);
    if (!index.isValid())
        return;
    const int row = index.row();
    const bool onDisc = !m_display->existingFileOfRow(row).isEmpty();
    QMenu menu(this);
    QAction* play = menu.addAction(tr("Play"), this, [this, row] { playRow(row); });
    play->setEnabled(onDisc);
    QAction* folder =
        menu.addAction(tr("Show in Folder"), this, [this, row] { showRowInFolder(row); });
    folder->setEnabled(onDisc);
    menu.addAction(tr("Copy Location"), this, [this, row] { copyLocationOfRow(row); });
    QAction* cut = menu.addAction(tr("Adjust Cut…"), this, [this, row] { adjustCutOfRow(row); });
    cut->setEnabled(onDisc);
    menu.addSeparator();
    menu.addAction(tr("Remove from History"), this, &HistoryWindow::clearSelected);
    menu.exec(m_table->viewport()->mapToGlobal(position));
}

void HistoryWindow::keyPressEvent(QKeyEvent* event)
{
    // While a cell is edited the editor has the keys; here only the table's own reach us.
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        clearSelected();
        return;
    }
    QWidget::keyPressEvent(event);
}

void HistoryWindow::closeEvent(QCloseEvent* event)
{
    const QByteArray geometry = saveGeometry();
    m_prefs.setPrefs(Value(Bytes(geometry.begin(), geometry.end())), kGeometryKey);
    QWidget::closeEvent(event);
}

} // namespace orvanta::ui
