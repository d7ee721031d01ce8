#include "MainWindow.h"

#include "ApplicationCore.h"
#include "BuiltInPlayer.h"
#include "DetailDrawer.h"
#include "DirectorySearchWindow.h"
#include "FileManagerLink.h"
#include "HistoryWindow.h"
#include "IconLibrary.h"
#include "Localization.h"
#include "MainController.h"
#include "MainToolbar.h"
#include "MyOLVController.h"
#include "PreferencesWindow.h"
#include "PrefsController.h"
#include "PrefsKeys.h"
#include "PresetsWindow.h"
#include "Resources.h"
#include "StationTreeModel.h"
#include "StationTreeView.h"
#include "StatusArea.h"
#include "TimerController.h"
#include "ToolbarLayout.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QUrl>
#include <QVBoxLayout>

namespace orvanta::ui {

namespace {

constexpr const char* kHomePage = "https://orvanta.org/";
constexpr const char* kNewsPage = "https://orvanta.org/news/";
constexpr const char* kHelpPage = "https://orvanta.org/help/";

Bytes bytesOf(const QByteArray& data)
{
    return Bytes(data.begin(), data.end());
}

QByteArray byteArrayOf(const Value& value)
{
    if (!value.isData())
        return {};
    const Bytes& bytes = value.toData();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

} // namespace

MainWindow::MainWindow(ApplicationCore& core, BuiltInPlayer& player, QWidget* parent)
    : QMainWindow(parent), m_core(core), m_controller(core.controller()), m_player(player),
      m_model(std::make_unique<StationTreeModel>(core.library())),
      m_list(new StationTreeView(core.library(), *m_model, this)), m_status(new StatusArea(this)),
      m_drawer(new DetailDrawer(core.library(), core.presets(), this)),
      m_splitter(new QSplitter(Qt::Horizontal, this)),
      m_toolbar(new MainToolbar(core.prefs(), this))
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Orvanta"));
    setWindowIcon(iconNamed(QStringLiteral("orvanta")));

    auto* left = new QWidget(this);
    auto* column = new QVBoxLayout(left);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_list, 1);
    column->addWidget(m_status);
    m_splitter->addWidget(left);
    m_splitter->addWidget(m_drawer);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setChildrenCollapsible(false);
    setCentralWidget(m_splitter);

    buildMenus();
    buildToolbar();
    addToolBar(Qt::TopToolBarArea, m_toolbar);

    connect(m_list, &StationTreeView::currentNodeChanged, this, &MainWindow::currentNodeChanged);
    connect(m_list, &StationTreeView::deleteRequested, this, &MainWindow::deleteSelection);
    connect(m_list, &StationTreeView::contextMenuRequested, this, &MainWindow::showContextMenu);
    connect(m_list, &StationTreeView::dropFailed, this, [this](const QString& message) {
        auto* box = new QMessageBox(QMessageBox::Warning, tr("Cannot Add Station"), message,
                                    QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("dropFailedAlert"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        box->open();
    });
    connect(m_list, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        // A double click on a stream's status opens its addresses; the name edits in place.
        const Node* node = m_list->nodeAt(index);
        if (node && node->nodeType() == Node::kStream &&
            index.column() != StationTreeModel::Stream &&
            index.column() != StationTreeModel::Comment)
            showEditURLView();
    });
    connect(m_toolbar, &MainToolbar::volumeChanged, this,
            [this](float volume) { m_player.setVolume(volume); });
    connect(m_drawer->recordingStyleView(), &RecordingStyleView::openPresetRequested, this,
            &MainWindow::showPresetsWindow);
    connect(m_drawer->scheduleView(), &TimerController::visibleNodeNeedsDisplay, this,
            [this](Node* node) {
                if (node)
                    m_model->reloadItem(node);
            });

    resize(900, 560);
    updateToolbarControls();
}

MainWindow::~MainWindow()
{
    // Going away is no request to quit, and the list goes before the model it shows.
    m_closing = true;
    delete m_list;
    m_list = nullptr;
}

QAction* MainWindow::makeAction(const QString& name, const QString& text, const QString& icon,
                                const QKeySequence& shortcut, void (MainWindow::*command)())
{
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    if (!icon.isEmpty())
        action->setIcon(iconNamed(icon));
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    action->setToolTip(QString(text).remove(QStringLiteral("...")));
    if (command)
        connect(action, &QAction::triggered, this, command);
    m_actions.insert(name, action);
    return action;
}

void MainWindow::buildMenus()
{
    using namespace toolbar;
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(makeAction(QStringLiteral("addStream"), tr("Add Stream"), kAddStream,
                               QKeySequence::New, &MainWindow::addStream));
    file->addAction(makeAction(QStringLiteral("addFolder"), tr("Add Folder"), kAddFolder,
                               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
                               &MainWindow::addFolder));
    file->addSeparator();
    file->addAction(makeAction(QStringLiteral("findStations"), tr("Find Stations..."), QString(),
                               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
                               &MainWindow::findStations));
    file->addAction(makeAction(QStringLiteral("importStations"),
                               tr("Import Stations from Rhythmbox"), QString(), {},
                               &MainWindow::importStations));
    file->addSeparator();
    QAction* quit =
        makeAction(QStringLiteral("quit"), tr("Quit"), QString(), QKeySequence::Quit, nullptr);
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, &MainWindow::quitRequested);
    file->addAction(quit);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    QAction* rename = makeAction(QStringLiteral("rename"), tr("Rename"), QString(),
                                 QKeySequence(Qt::Key_F2), nullptr);
    connect(rename, &QAction::triggered, this, [this] {
        if (Node* node = m_list->currentNode())
            m_list->rename(node);
    });
    edit->addAction(rename);
    QAction* remove = makeAction(QStringLiteral("delete"), tr("Delete..."), kDelete,
                                 QKeySequence::Delete, &MainWindow::deleteSelection);
    // The list handles the key itself (and not while a name is edited).
    remove->setShortcutContext(Qt::WidgetShortcut);
    edit->addAction(remove);
    edit->addSeparator();
    QAction* preferences = makeAction(QStringLiteral("preferences"), tr("Preferences"),
                                      kPreferences, QKeySequence::Preferences, nullptr);
    if (preferences->shortcut().isEmpty())
        preferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    preferences->setMenuRole(QAction::PreferencesRole);
    connect(preferences, &QAction::triggered, this, &MainWindow::showPreferences);
    edit->addAction(preferences);

    QMenu* controls = menuBar()->addMenu(tr("&Controls"));
    controls->addAction(makeAction(QStringLiteral("record"), tr("Record"),
                                   QStringLiteral("button-record"),
                                   QKeySequence(Qt::CTRL | Qt::Key_R), &MainWindow::record));
    controls->addAction(makeAction(QStringLiteral("skipTrack"), tr("Skip Track"),
                                   QStringLiteral("button-skip"),
                                   QKeySequence(Qt::CTRL | Qt::Key_K), &MainWindow::skipTrack));
    controls->addAction(makeAction(QStringLiteral("listen"), tr("Listen"),
                                   QStringLiteral("button-listen"),
                                   QKeySequence(Qt::CTRL | Qt::Key_L), &MainWindow::listen));
    controls->addAction(makeAction(QStringLiteral("saveHeard"), tr("Save the Last Minutes"),
                                   QString(), QKeySequence(), &MainWindow::saveHeardAudio));
    controls->addAction(makeAction(
        QStringLiteral("showMusic"), tr("Show Music"), QStringLiteral("button-showmusic"),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M), &MainWindow::showMusic));

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addAction(makeAction(QStringLiteral("scheduler"), tr("Scheduler"), kScheduler,
                               QKeySequence(Qt::CTRL | Qt::Key_1), &MainWindow::showTimerView));
    view->addAction(makeAction(QStringLiteral("recordingStyle"), tr("Recording Style"),
                               kSplitOptions, QKeySequence(Qt::CTRL | Qt::Key_2),
                               &MainWindow::showRecordingStyleView));
    view->addAction(makeAction(QStringLiteral("editURLs"), tr("Edit URLs"), kEditURLs,
                               QKeySequence(Qt::CTRL | Qt::Key_3), &MainWindow::showEditURLView));
    QAction* history = makeAction(QStringLiteral("history"), tr("History"), kHistory,
                                  QKeySequence(Qt::CTRL | Qt::Key_Y), nullptr);
    connect(history, &QAction::triggered, this, &MainWindow::showHistoryWindow);
    view->addAction(history);
    view->addAction(makeAction(QStringLiteral("adjustLastCut"), tr("Adjust Last Cut…"), QString(),
                               QKeySequence(), &MainWindow::adjustLastCut));
    QAction* presets = makeAction(QStringLiteral("presets"), tr("Presets..."), QString(),
                                  QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), nullptr);
    connect(presets, &QAction::triggered, this, [this] { presetsWindow().showWindow(); });
    view->addAction(presets);
    view->addSeparator();
    QAction* expand =
        makeAction(QStringLiteral("expandAll"), tr("Expand All"), QString(), {}, nullptr);
    connect(expand, &QAction::triggered, m_list, &QTreeView::expandAll);
    view->addAction(expand);
    QAction* collapse =
        makeAction(QStringLiteral("collapseAll"), tr("Collapse All"), QString(), {}, nullptr);
    connect(collapse, &QAction::triggered, m_list, &QTreeView::collapseAll);
    view->addAction(collapse);
    view->addSeparator();
    QAction* customize = makeAction(QStringLiteral("customizeToolbar"), tr("Customize Toolbar..."),
                                    QString(), {}, nullptr);
    connect(customize, &QAction::triggered, this, [this] { m_toolbar->customize(); });
    view->addAction(customize);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    QAction* helpAction = makeAction(QStringLiteral("help"), tr("Orvanta Help"), QString(),
                                     QKeySequence::HelpContents, nullptr);
    connect(helpAction, &QAction::triggered, this,
            [this] { openHelp(QString::fromLatin1(kHelpPage)); });
    help->addAction(helpAction);
    QAction* home =
        makeAction(QStringLiteral("homePage"), tr("Orvanta Home Page"), QString(), {}, nullptr);
    connect(home, &QAction::triggered, this, [this] { openHelp(QString::fromLatin1(kHomePage)); });
    help->addAction(home);
    QAction* news = makeAction(QStringLiteral("news"), tr("Orvanta News"), QString(), {}, nullptr);
    connect(news, &QAction::triggered, this, [this] { openHelp(QString::fromLatin1(kNewsPage)); });
    help->addAction(news);
    help->addSeparator();
    QAction* thanks = makeAction(QStringLiteral("acknowledgments"), tr("Acknowledgments"),
                                 QString(), {}, nullptr);
    connect(thanks, &QAction::triggered, this, &MainWindow::openAcknowledgments);
    help->addAction(thanks);
    QAction* about =
        makeAction(QStringLiteral("about"), tr("About Orvanta"), QString(), {}, nullptr);
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, [this] {
        QMessageBox::about(this, tr("About Orvanta"),
                           tr("<b>Orvanta</b><p>Records internet radio, one file per song.</p>"));
    });
    help->addAction(about);
}

void MainWindow::buildToolbar()
{
    using namespace toolbar;
    m_toolbar->setControlActions(
        action(QStringLiteral("record")), action(QStringLiteral("skipTrack")),
        action(QStringLiteral("listen")), action(QStringLiteral("showMusic")));
    m_toolbar->setItemAction(kAddStream, action(QStringLiteral("addStream")));
    m_toolbar->setItemAction(kAddFolder, action(QStringLiteral("addFolder")));
    m_toolbar->setItemAction(kDelete, action(QStringLiteral("delete")));
    m_toolbar->setItemAction(kPreferences, action(QStringLiteral("preferences")));
    m_toolbar->setItemAction(kScheduler, action(QStringLiteral("scheduler")));
    m_toolbar->setItemAction(kSplitOptions, action(QStringLiteral("recordingStyle")));
    m_toolbar->setItemAction(kEditURLs, action(QStringLiteral("editURLs")));
    m_toolbar->setItemAction(kHistory, action(QStringLiteral("history")));
    auto* tuner = new QMenu(this);
    tuner->addAction(action(QStringLiteral("findStations")));
    tuner->addAction(action(QStringLiteral("importStations")));
    m_toolbar->setTunerMenu(tuner);
}

HistoryWindow& MainWindow::historyWindow()
{
    if (!m_history) {
        m_history = new HistoryWindow(m_core.library(), m_core.prefs(), this);
        m_history->setNode(m_controller.visibleNode());
    }
    return *m_history;
}

PreferencesWindow& MainWindow::preferencesWindow()
{
    if (!m_preferences)
        m_preferences = new PreferencesWindow(m_core.prefs(), m_controller, this);
    return *m_preferences;
}

void MainWindow::showHistoryWindow()
{
    HistoryWindow& window = historyWindow();
    window.show();
    window.raise();
    window.activateWindow();
}

void MainWindow::showPreferences()
{
    PreferencesWindow& window = preferencesWindow();
    window.reload();
    window.show();
    window.raise();
    window.activateWindow();
}

PresetsWindow& MainWindow::presetsWindow()
{
    if (!m_presetsWindow)
        m_presetsWindow = new PresetsWindow(m_core.presets(), QString(), this);
    return *m_presetsWindow;
}

void MainWindow::showPresetsWindow(const QString& presetID)
{
    presetsWindow().showWindowForPresetID(presetID.toStdString());
}

// ---- What the core shows ----------------------------------------------------------------

void MainWindow::reloadItem(Node* node)
{
    m_model->reloadItem(node);
}

void MainWindow::updateToolbarControls()
{
    m_toolbar->applyState(m_controller.toolbarState());
    // The detail items act on a stream only.
    const Node* shown = m_controller.visibleNode();
    const bool stream = shown && shown->nodeType() == Node::kStream;
    for (const char* name : {"scheduler", "recordingStyle", "editURLs"})
        action(QString::fromLatin1(name))->setEnabled(stream);
    action(QStringLiteral("history"))->setEnabled(stream);
    action(QStringLiteral("adjustLastCut"))
        ->setEnabled(stream && m_controller.lastRecordedFile(*shown).has_value());
    // What was heard of a station not recording can be kept.
    QAction* save = action(QStringLiteral("saveHeard"));
    const std::int64_t minutes = m_controller.heardMinutes(shown);
    save->setEnabled(minutes > 0);
    save->setText(minutes > 0 ? tr("Save the Last %n Minutes", nullptr, static_cast<int>(minutes))
                              : tr("Save the Last Minutes"));
}

void MainWindow::setStatusLines(const StatusLines& lines)
{
    m_status->setStatusLines(lines);
}

void MainWindow::historyNeedsDisplay()
{
    if (m_history)
        m_history->needsDisplay();
}

void MainWindow::setImportInProgress(bool running)
{
    m_toolbar->setImportInProgress(running);
    action(QStringLiteral("importStations"))->setEnabled(!running);
}

std::vector<Node*> MainWindow::expandedGroups() const
{
    return m_list->expandedGroups();
}

void MainWindow::restoreState()
{
    m_list->restoreExpansion();
    PrefsController& prefs = m_core.prefs();
    if (const QByteArray geometry = byteArrayOf(prefs.getPrefsForKey(kGeometryKey));
        !geometry.isEmpty())
        restoreGeometry(geometry);
    if (const QByteArray split = byteArrayOf(prefs.getPrefsForKey(kSplitterKey)); !split.isEmpty())
        m_splitter->restoreState(split);
    if (const QByteArray columns = byteArrayOf(prefs.getPrefsForKey(kColumnsKey));
        !columns.isEmpty())
        m_list->header()->restoreState(columns);
}

void MainWindow::saveState()
{
    PrefsController& prefs = m_core.prefs();
    prefs.setPrefs(Value(bytesOf(saveGeometry())), kGeometryKey);
    prefs.setPrefs(Value(bytesOf(m_splitter->saveState())), kSplitterKey);
    prefs.setPrefs(Value(bytesOf(m_list->header()->saveState())), kColumnsKey);
}

// ---- Commands ---------------------------------------------------------------------------

void MainWindow::record()
{
    m_controller.record(m_list->selectedNodes());
}

void MainWindow::skipTrack()
{
    m_controller.skipTrack();
}

void MainWindow::listen()
{
    m_controller.listen();
}

void MainWindow::saveHeardAudio()
{
    m_controller.saveHeardAudio(m_controller.visibleNode());
}

void MainWindow::adjustLastCut()
{
    const Node* node = m_controller.visibleNode();
    const auto file = node ? m_controller.lastRecordedFile(*node) : std::nullopt;
    if (file)
        historyWindow().adjustCutOfFile(QString::fromStdString(*file));
}

void MainWindow::showMusic()
{
    const Node* node = m_controller.visibleNode();
    if (!node)
        return;
    if (const auto music = m_controller.musicToShow(*node)) {
        // The folder the recording is writing into, else the station's newest file.
        if (music->folder)
            QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(music->path)));
        else
            showItemInFileManager(QString::fromStdString(music->path));
        return;
    }
    // Nothing recorded yet: the folder the recordings go to.
    const std::string folder = m_core.prefs().stringForKey(prefs::kDownloadPath);
    if (!folder.empty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
}

void MainWindow::addStream()
{
    Node* node = m_core.library().addStream(m_list->currentNode());
    if (!node)
        return;
    if (node->parent())
        m_list->expandNode(node->parent());
    m_list->selectNodes({node});
    m_list->rename(node);
}

void MainWindow::addFolder()
{
    Node* node = m_core.library().addGroup(m_list->currentNode());
    if (!node)
        return;
    if (node->parent())
        m_list->expandNode(node->parent());
    m_list->selectNodes({node});
    m_list->rename(node);
}

void MainWindow::deleteSelection()
{
    // Recording stations (and groups holding one) stay, as the library decides.
    m_core.library().deleteNodes(m_list->selectedNodes());
    m_list->selectionModel()->clearSelection();
}

void MainWindow::importStations()
{
    m_controller.importRadio();
}

void MainWindow::findStations()
{
    DirectorySearchWindow& window = directorySearchWindow();
    window.show();
    window.raise();
    window.activateWindow();
}

DirectorySearchWindow& MainWindow::directorySearchWindow()
{
    if (!m_directorySearch) {
        m_directorySearch =
            new DirectorySearchWindow(m_core.library(), m_core.prefs(), m_player, this);
        m_directorySearch->setAddedHandler([this](const std::vector<Node*>& added) {
            if (added.front()->parent())
                m_list->expandNode(added.front()->parent());
            m_list->selectNodes(added);
        });
    }
    return *m_directorySearch;
}

void MainWindow::showTimerView()
{
    m_drawer->toggle(DetailDrawer::View::Schedule);
}

void MainWindow::showRecordingStyleView()
{
    m_drawer->toggle(DetailDrawer::View::RecordingStyle);
}

void MainWindow::updateDetailDrawerView()
{
    m_drawer->refresh();
}

void MainWindow::updateTimerViewWithNode(Node* node)
{
    m_drawer->scheduleView()->updateTimerViewWithNode(node);
}

void MainWindow::showEditURLView()
{
    m_drawer->toggle(DetailDrawer::View::EditURL);
}

void MainWindow::currentNodeChanged(Node* node)
{
    // A stream shows its details; a group or nothing clears them and closes the drawer.
    Node* stream = node && node->nodeType() == Node::kStream ? node : nullptr;
    m_controller.setVisibleNode(stream);
    m_drawer->setNode(stream);
    updateToolbarControls();
    // The history window follows the station shown; a group leaves it as it was.
    if (m_history && (stream || !node))
        m_history->setNode(stream);
}

void MainWindow::showContextMenu(const QPoint& position)
{
    QMenu menu(this);
    for (const char* name : {"record", "listen", "skipTrack", "saveHeard", "showMusic"})
        menu.addAction(action(QString::fromLatin1(name)));
    menu.addSeparator();
    for (const char* name : {"editURLs", "recordingStyle", "scheduler", "adjustLastCut"})
        menu.addAction(action(QString::fromLatin1(name)));
    menu.addSeparator();
    for (const char* name : {"addStream", "addFolder", "rename", "delete"})
        menu.addAction(action(QString::fromLatin1(name)));
    menu.exec(position);
}

void MainWindow::openHelp(const QString& page)
{
    if (!QDesktopServices::openUrl(QUrl(page)))
        QMessageBox::information(this, tr("Orvanta"),
                                 tr("No web browser could be opened for %1.").arg(page));
}

void MainWindow::openAcknowledgments()
{
    const QString file = QString::fromStdString(resourcesFolder() + "/acknowledgments.html");
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        QMessageBox::information(this, tr("Orvanta"),
                                 tr("No web browser could be opened for %1.").arg(file));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    event->ignore();
    if (m_hidesOnClose && m_hidesOnClose()) {
        hide();
        return;
    }
    // Closing the window quits, after the same question as the menu.
    emit quitRequested();
}

} // namespace orvanta::ui
