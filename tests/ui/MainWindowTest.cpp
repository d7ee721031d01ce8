// The main window offscreen: status display, toolbar states, the detail drawer, station
// import, drops of every kind, renaming and deleting, alerts and what is kept at quit.

#include "WindowTestSupport.h"

#include "DetailDrawer.h"
#include "MainToolbar.h"
#include "PreferencesWindow.h"
#include "ScriptFixtures.h"
#include "StatusArea.h"
#include "ToolbarCustomizeDialog.h"
#include "ToolbarLayout.h"
#include "TrayIcon.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

class MainWindowTest : public WindowTest
{
protected:
    ui::MainToolbar& toolbar() { return *window().toolbar(); }
    ui::DetailDrawer& drawer() { return *window().drawer(); }

    void select(Node* node) { list().selectNodes({node}); }

    QString buttonText(QToolButton* button) { return button->defaultAction()->text(); }
    bool buttonEnabled(QToolButton* button) { return button->defaultAction()->isEnabled(); }

    std::vector<std::string> names(const Node* parent)
    {
        std::vector<std::string> result;
        for (const NodePtr& child : parent->children())
            result.push_back(child->name());
        return result;
    }
};

} // namespace

TEST_F(MainWindowTest, TheStatusDisplayShowsTimesCountsAndAlerts)
{
    EXPECT_EQ(MainController::runningStatusText(3599, 125.0), "Elapsed Time: 59:59  [125.0 Kb/s]");
    EXPECT_EQ(MainController::runningStatusText(3600, 125.04),
              "Elapsed Time: 1:00:00  [125.0 Kb/s]");
    EXPECT_EQ(MainController::runningStatusText(0, 0), "Elapsed Time: 0:00  [0.0 Kb/s]");

    server.addMount("/a", loopingMount({{0, "A - One"}}));
    start();
    std::vector<Node*> nodes;
    for (int i = 0; i < 3; ++i)
        nodes.push_back(station("S" + std::to_string(i), server.url("/a")));
    Node* broken = station("Broken", server.url("/a"));
    broken->setValueForKey("Connection Failure - The server answered 404 Not Found",
                           "alertMessage");

    ASSERT_TRUE(controller().startRecordingForNode(nodes[0], MainController::kSourceUser));
    list().selectionModel()->clearSelection();
    ASSERT_TRUE(spinUntil(
        [&] {
            return window().statusArea()->statusText() == QStringLiteral("Recording 1 stream...");
        },
        3s))
        << window().statusArea()->statusText().toStdString();
    for (int i = 1; i < 3; ++i)
        controller().startRecordingForNode(nodes[static_cast<std::size_t>(i)],
                                           MainController::kSourceUser);
    EXPECT_TRUE(spinUntil(
        [&] {
            return window().statusArea()->statusText() == QStringLiteral("Recording 3 streams...");
        },
        3s))
        << window().statusArea()->statusText().toStdString();
    EXPECT_TRUE(window().statusArea()->isBusy());

    // An idle station with an alert: the alert in the song line, the status line empty.
    select(broken);
    ASSERT_TRUE(spinUntil(
        [&] { return window().statusArea()->songText().contains(QStringLiteral("404 Not Found")); },
        3s));
    EXPECT_TRUE(window().statusArea()->statusText().isEmpty());
    EXPECT_FALSE(window().statusArea()->isBusy());

    // The recording shown: elapsed time and rate, the title in the song line.
    select(nodes[0]);
    EXPECT_TRUE(spinUntil(
        [&] {
            return window().statusArea()->statusText().startsWith(
                       QStringLiteral("Elapsed Time: ")) &&
                   window().statusArea()->songText() == QStringLiteral("A - One");
        },
        5s))
        << window().statusArea()->statusText().toStdString();
}

TEST_F(MainWindowTest, TheToolbarFollowsTheStateOfTheStationShown)
{
    server.addMount("/titled", loopingMount({{0, "A - One"}}));
    IcyMount plain = loopingMount({});
    plain.metaint = 0;
    server.addMount("/plain", plain);
    IcyMount slow;
    slow.headerDelayMs = 3000; // stays connecting for a while
    slow.audio = syntheticFrames(10);
    server.addMount("/slow", slow);
    start();
    Node* folder = group("Folder");
    Node* titled = station("Titled", server.url("/titled"));
    Node* untitled = station("Untitled", server.url("/plain"));
    Node* slowOne = station("Slow", server.url("/slow"));
    ui::MainToolbar& bar = toolbar();

    // Nothing shown: every control off, the detail items too.
    list().selectionModel()->clearSelection();
    EXPECT_FALSE(buttonEnabled(bar.recordButton()));
    EXPECT_FALSE(buttonEnabled(bar.listenButton()));
    EXPECT_FALSE(window().action(QStringLiteral("scheduler"))->isEnabled());

    select(folder);
    EXPECT_FALSE(buttonEnabled(bar.recordButton())) << "a group shows no controls";
    EXPECT_FALSE(window().action(QStringLiteral("editURLs"))->isEnabled());

    select(titled);
    EXPECT_TRUE(buttonEnabled(bar.recordButton()));
    EXPECT_EQ(buttonText(bar.recordButton()), QStringLiteral("Record"));
    EXPECT_FALSE(buttonEnabled(bar.skipButton()));
    EXPECT_FALSE(buttonEnabled(bar.showMusicButton()));
    EXPECT_TRUE(buttonEnabled(bar.listenButton()));
    EXPECT_TRUE(window().action(QStringLiteral("editURLs"))->isEnabled());

    // Record through the toolbar's own button.
    QTest::mouseClick(bar.recordButton(), Qt::LeftButton);
    EXPECT_EQ(buttonText(bar.recordButton()), QStringLiteral("Stop"));
    EXPECT_TRUE(buttonEnabled(bar.showMusicButton()));
    EXPECT_TRUE(spinUntil([&] { return buttonEnabled(bar.skipButton()); }, 5s))
        << "a stream with titles can skip";

    select(untitled);
    QTest::mouseClick(bar.recordButton(), Qt::LeftButton);
    ASSERT_TRUE(spinUntil([&] { return untitled->rippingStatus() == RippingStatus::Running; }, 5s));
    spinUntil([] { return false; }, 300ms);
    EXPECT_FALSE(buttonEnabled(bar.skipButton())) << "nothing to skip between";
    EXPECT_EQ(buttonText(bar.recordButton()), QStringLiteral("Stop"));

    select(slowOne);
    QTest::mouseClick(bar.recordButton(), Qt::LeftButton);
    EXPECT_EQ(slowOne->rippingStatus(), RippingStatus::Connecting);
    EXPECT_EQ(buttonText(bar.recordButton()), QStringLiteral("Stop"));
    EXPECT_FALSE(buttonEnabled(bar.skipButton()));
    QTest::mouseClick(bar.recordButton(), Qt::LeftButton);
    EXPECT_EQ(buttonText(bar.recordButton()), QStringLiteral("Record"));
    EXPECT_FALSE(slowOne->isRecording());

    select(titled);
    EXPECT_EQ(buttonText(bar.recordButton()), QStringLiteral("Stop"));
    window().action(QStringLiteral("record"))->trigger(); // the menu's Record/Stop
    EXPECT_EQ(buttonText(bar.recordButton()), QStringLiteral("Record"));
    EXPECT_FALSE(titled->isRecording());
}

TEST_F(MainWindowTest, TheDrawerOpensClosesAndSwitchesItsViews)
{
    start();
    Node* folder = group("Folder");
    Node* stream = station("Stream", "http://a/");
    select(stream);
    ui::DetailDrawer& d = drawer();
    EXPECT_FALSE(d.isOpen());
    window().showTimerView();
    EXPECT_TRUE(d.isOpen());
    EXPECT_EQ(d.currentView(), ui::DetailDrawer::View::Schedule);
    window().showTimerView();
    EXPECT_FALSE(d.isOpen()) << "the same item twice closes the drawer";
    window().showTimerView();
    window().showEditURLView();
    EXPECT_TRUE(d.isOpen());
    EXPECT_EQ(d.currentView(), ui::DetailDrawer::View::EditURL) << "another item switches";
    window().action(QStringLiteral("recordingStyle"))->trigger();
    EXPECT_EQ(d.currentView(), ui::DetailDrawer::View::RecordingStyle);
    EXPECT_EQ(d.recordingStyleView()->presetPopUp()->currentText(), QStringLiteral("Standard"));
    EXPECT_EQ(stream->propertyForKey(np::NP_PRESET_ID), Value("Standard"))
        << "a station without a preset gets the standard one";
    // What the station's splits learned of its titles, and forgetting it.
    ui::RecordingStyleView* style = d.recordingStyleView();
    EXPECT_FALSE(style->forgetOffsetButton()->isEnabled());
    controller().rememberSplitOffset(*stream, -8.1);
    for (int i = 0; i < 13; ++i)
        controller().rememberSplitOffset(*stream, -7.9);
    EXPECT_EQ(stream->propertyForKey(np::NP_SPLIT_OFFSETS)->toArray().size(), 12u);
    d.refresh();
    EXPECT_EQ(style->splitOffsetLabel()->text(),
              QStringLiteral("Titles change 7.9 s after the gap between songs (learned from 12 "
                             "songs)"));
    style->forgetOffsetButton()->click();
    EXPECT_FALSE(stream->propertyForKey(np::NP_SPLIT_OFFSETS));
    EXPECT_FALSE(style->forgetOffsetButton()->isEnabled());

    select(folder);
    EXPECT_FALSE(d.isOpen()) << "a group has no details";
    window().showTimerView();
    EXPECT_FALSE(d.isOpen());
}

TEST_F(MainWindowTest, AddressesAreEditedWithTheStepperEvenForAStationWithoutAny)
{
    start();
    Node* bare = station("Bare", "x");
    bare->removePropertyForKey(np::NP_URLS);
    select(bare);
    window().showEditURLView();
    ui::EditURLView& view = *drawer().editURLView();
    EXPECT_EQ(view.stepperLabel(), QStringLiteral("0 of 0"));
    EXPECT_TRUE(view.urlField()->text().isEmpty());
    view.step(1); // nothing to step through: nothing happens
    view.urlField()->setText(QStringLiteral("  http://new.example/live \n"));
    emit view.urlField()->editingFinished();
    EXPECT_EQ(bare->propertyForKey(np::NP_URLS), Value(Array{Value("http://new.example/live")}));
    EXPECT_EQ(view.stepperLabel(), QStringLiteral("1 of 1"));

    Node* three = station("Three", "http://1/");
    three->setProperty(Value(Array{Value("http://1/"), Value("http://2/"), Value("http://3/")}),
                       np::NP_URLS);
    three->setProperty(Value(7), np::NP_SELECTEDURLINDEX); // out of range: kept to the list
    select(three);
    window().showEditURLView();
    EXPECT_EQ(view.stepperLabel(), QStringLiteral("3 of 3"));
    EXPECT_EQ(view.urlField()->text(), QStringLiteral("http://3/"));
    view.step(-1);
    EXPECT_EQ(view.stepperLabel(), QStringLiteral("2 of 3"));
    EXPECT_EQ(three->propertyForKey(np::NP_SELECTEDURLINDEX), Value(1));
    view.urlField()->setText(QStringLiteral("http://two/"));
    emit view.urlField()->editingFinished();
    EXPECT_EQ(three->propertyForKey(np::NP_URLS),
              Value(Array{Value("http://1/"), Value("http://two/"), Value("http://3/")}));
    view.userField()->setText(QStringLiteral("\tann "));
    emit view.userField()->editingFinished();
    view.passwordField()->setText(QStringLiteral(" secret"));
    emit view.passwordField()->editingFinished();
    EXPECT_EQ(three->propertyForKey(np::NP_USERNAME), Value("ann"));
    EXPECT_EQ(three->propertyForKey(np::NP_PASSWORD), Value("secret"));
}

TEST_F(MainWindowTest, ImportedStationsBecomeOneGroupAndASecondClickWaits)
{
    start();
    const std::vector<std::string> nine = {"One FM", "128",  "News",        "http://one/", "Two FM",
                                           "64",     "Jazz", "http://two/", "left over"};
    Node* imported = controller().addImportedData(nine, "Imported");
    ASSERT_NE(imported, nullptr);
    EXPECT_EQ(names(imported), (std::vector<std::string>{"One FM", "Two FM"}));
    EXPECT_EQ(imported->childAtIndex(1)->propertyForKey(np::NP_BITRATE), Value(64));
    EXPECT_EQ(imported->childAtIndex(1)->propertyForKey(np::NP_COMMENT), Value("Jazz"));
    EXPECT_EQ(imported->childAtIndex(0)->propertyForKey(np::NP_URLS),
              Value(Array{Value("http://one/")}));
    const std::size_t groups = library().rootNode()->childrenCount();
    EXPECT_EQ(controller().addImportedData({"a", "b", "c"}, "Nothing"), nullptr);
    EXPECT_EQ(library().rootNode()->childrenCount(), groups) << "three strings add nothing";

    // The import script of the user's own, slow enough for a second click to come early.
    const std::string runs = m_dir.file("runs");
    writeScript(userScripts(), "importITunesRadio",
                "echo run >> '" + runs +
                    "'; sleep 0.5; printf 'Radio X\\n96\\nRock\\nhttp://x/\\n'");
    QAction* import = window().action(QStringLiteral("importStations"));
    import->trigger();
    EXPECT_TRUE(toolbar().importIndicatorRunning());
    EXPECT_FALSE(import->isEnabled());
    EXPECT_FALSE(controller().importRadio()) << "a second import waits for the first";
    ASSERT_TRUE(spinUntil([&] { return !controller().importInProgress(); }, 10s));
    EXPECT_FALSE(toolbar().importIndicatorRunning());
    EXPECT_TRUE(import->isEnabled());
    EXPECT_EQ(readFile(runs), "run\n");
    ASSERT_EQ(library().rootNode()->childrenCount(), groups + 1);
    const Node* added = library().rootNode()->children().back().get();
    EXPECT_EQ(added->name().rfind("Rhythmbox Radio - ", 0), 0u) << added->name();
    EXPECT_EQ(names(added), (std::vector<std::string>{"Radio X"}));
}

TEST_F(MainWindowTest, DropsOfEveryKindLandWhereTheyArePointedAt)
{
    server.addFile("/list.pls", "audio/x-scpls",
                   "[playlist]\nnumberofentries=1\nFile1=http://a/\nTitle1=Dropped Radio\n");
    IcyMount hold;
    hold.headerDelayMs = 800; // a slow playlist: the window goes on meanwhile
    hold.style = IcyMount::Style::Icecast;
    hold.contentType = "audio/x-scpls";
    const std::string slowPlaylist = "[playlist]\nFile1=http://slow/\nTitle1=Slow Radio\n";
    hold.audio.assign(slowPlaylist.begin(), slowPlaylist.end());
    hold.sendContentLength = true;
    server.addMount("/slow.pls", hold);
    start();
    Node* folder = group("Folder");
    Node* first = station("First", "http://1/");
    Node* second = station("Second", "http://2/");

    // A move within the list, as a drag of the second row onto the group.
    std::unique_ptr<QMimeData> dragged(
        window().stationModel().mimeData({window().stationModel().indexForNode(second)}));
    ASSERT_TRUE(dragged);
    list().drop(*dragged, folder, -1);
    EXPECT_EQ(names(folder), (std::vector<std::string>{"Second"}));
    EXPECT_EQ(list().selectedNodes(), (std::vector<Node*>{second})) << "the moved row is selected";

    // An address from a web browser: the link's address, its title from the browser's type.
    QMimeData link;
    link.setUrls({QUrl(QStringLiteral("http://radio.example/live"))});
    const QString moz = QStringLiteral("http://radio.example/live\nRadio Example");
    link.setData(QStringLiteral("text/x-moz-url"),
                 QByteArray(reinterpret_cast<const char*>(moz.utf16()), moz.size() * 2));
    list().drop(link, nullptr, 0);
    EXPECT_EQ(library().rootNode()->childAtIndex(0)->name(), "http://radio.example/live");

    // Plain text between rows.
    QMimeData text;
    text.setText(QStringLiteral("http://text.example/stream"));
    list().drop(text, folder, 0);
    EXPECT_EQ(names(folder), (std::vector<std::string>{"http://text.example/stream", "Second"}));

    // Playlist files from the file manager (with their paths as text too); others ignored.
    const std::string pls = m_dir.file("saved.pls");
    writeFile(
        pls,
        "[playlist]\nnumberofentries=2\nFile1=http://f1/\nFile2=http://f2/\nTitle1=From A File\n");
    const std::string other = m_dir.file("notes.txt");
    writeFile(other, "x");
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QString::fromStdString(pls)),
                   QUrl::fromLocalFile(QString::fromStdString(other))});
    files.setText(QString::fromStdString(pls));
    const std::size_t before = library().rootNode()->childrenCount();
    list().drop(files, nullptr, -1);
    ASSERT_EQ(library().rootNode()->childrenCount(), before + 1);
    const Node* fromFile = library().rootNode()->children().back().get();
    EXPECT_EQ(fromFile->name(), "From A File");
    EXPECT_EQ(fromFile->propertyForKey(np::NP_URLS),
              Value(Array{Value("http://f1/"), Value("http://f2/")}));

    // A playlist address: fetched on a worker, the drop completes when it has come.
    QMimeData address;
    address.setText(QString::fromStdString(server.url("/list.pls")));
    list().drop(address, folder, -1);
    EXPECT_EQ(list().pendingDrops(), 1u);
    ASSERT_TRUE(spinUntil([&] { return list().pendingDrops() == 0; }, 10s));
    EXPECT_EQ(folder->children().back()->name(), "Dropped Radio");
    EXPECT_EQ(folder->children().back()->propertyForKey(np::NP_URLS),
              Value(Array{Value(server.url("/list.pls"))}));

    // While a slow one is fetched the window answers: a timer keeps firing.
    QMimeData slowAddress;
    slowAddress.setText(QString::fromStdString(server.url("/slow.pls")));
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    list().drop(slowAddress, nullptr, -1);
    ASSERT_TRUE(spinUntil([&] { return list().pendingDrops() == 0; }, 10s));
    EXPECT_GE(ticks, 20) << "the event loop ran during the fetch";
    EXPECT_NE(first->parent(), nullptr);
    EXPECT_EQ(library().rootNode()->children().back()->name(), "Slow Radio");

    // A playlist address that is not there: nothing is added, and the user is told why.
    const std::size_t stations = library().getAllStreams().size();
    QMimeData missing;
    missing.setText(QString::fromStdString(server.url("/missing.pls")));
    list().drop(missing, nullptr, -1);
    QMessageBox* told = nullptr;
    ASSERT_TRUE(spinUntil(
        [&] { return (told = window().findChild<QMessageBox*>("dropFailedAlert")) != nullptr; },
        10s));
    EXPECT_NE(told->text().indexOf("404"), -1) << told->text().toStdString();
    EXPECT_EQ(library().getAllStreams().size(), stations);
    told->accept();
}

TEST_F(MainWindowTest, RowsAreRenamedInPlaceAndDeletedWithTheKeyUnlessTheyRecord)
{
    server.addMount("/a", loopingMount({{0, "A - One"}}));
    start();
    Node* quiet = station("Quiet", "http://q/");
    Node* busy = station("Busy", server.url("/a"));
    list().rename(quiet);
    auto* editor = list().viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr) << "the name is edited in place";
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Renamed"));
    QTest::keyClick(editor, Qt::Key_Return);
    // The delegate commits from the event loop.
    EXPECT_TRUE(spinUntil([&] { return quiet->name() == "Renamed"; }, 2s)) << quiet->name();

    ASSERT_TRUE(controller().startRecordingForNode(busy, MainController::kSourceUser));
    list().selectNodes({quiet, busy});
    list().setFocus();
    QTest::keyClick(&list(), Qt::Key_Delete);
    EXPECT_EQ(names(library().rootNode()), (std::vector<std::string>{"Busy"}))
        << "the recording station stays";
}

TEST_F(MainWindowTest, TheToolbarIsCustomizedAndTheChoiceIsKept)
{
    start();
    using namespace ui::toolbar;
    ui::MainToolbar& bar = toolbar();
    EXPECT_EQ(bar.shownItems(), ui::ToolbarLayout::defaultItems());
    bar.setShownItems({kAddStream, kControlView, QStringLiteral("unknown"), kAddStream, kSeparator,
                       kSeparator, kHistory});
    const QStringList shown{kAddStream, kControlView, kSeparator, kSeparator, kHistory};
    EXPECT_EQ(bar.shownItems(), shown) << "unknown and repeated items are dropped";
    EXPECT_EQ(ui::ToolbarLayout::sanitized({kSeparator, kFlexibleSpace}),
              ui::ToolbarLayout::defaultItems());
    {
        // Another window (the next start) shows the same.
        ui::MainToolbar again(*prefs);
        EXPECT_EQ(again.shownItems(), shown);
    }
    ui::ToolbarCustomizeDialog dialog(bar.shownItems());
    QSignalSpy changed(&dialog, &ui::ToolbarCustomizeDialog::itemsChanged);
    dialog.list()->setCurrentRow(1);
    dialog.moveCurrent(-1);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.last().at(0).toStringList().first(), kControlView);
    dialog.list()->item(0)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(changed.last().at(0).toStringList().contains(kControlView));
    dialog.restoreDefaults();
    EXPECT_EQ(changed.last().at(0).toStringList(), ui::ToolbarLayout::defaultItems());
}

TEST_F(MainWindowTest, AlertsWaitForTheEventLoopAndNeverForTheCore)
{
    start();
    ui::WindowFrontEnd& front = desktop->frontEnd();
    front.showAlert(Alert{"Listen Error", "The player could not connect", false, false});
    front.showAlert(Alert{"Second", "Another one", false, false});
    EXPECT_EQ(front.pendingAlerts(), 2u) << "nothing is shown inside the caller";
    ASSERT_TRUE(spinUntil([&] { return !front.shownAlerts().empty(); }, 3s));
    EXPECT_EQ(front.shownAlerts().front(),
              QStringLiteral("Listen Error: The player could not connect"));
    QMessageBox* box = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* candidate = qobject_cast<QMessageBox*>(widget);
            candidate && candidate->isVisible())
            box = candidate;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("The player could not connect"));
    EXPECT_EQ(front.pendingAlerts(), 1u) << "one at a time";
    box->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(spinUntil([&] { return front.shownAlerts().size() == 2; }, 3s));
}

TEST_F(MainWindowTest, QuittingKeepsTheExpandedGroupsAndTheWindowsGeometry)
{
    start();
    Node* open = group("Open");
    Node* shut = group("Shut");
    station("Inside", "http://i/", open);
    station("Also", "http://a/", shut);
    list().expandNode(open);
    window().resize(777, 444);
    ASSERT_TRUE(desktop->quit());
    desktop.reset();

    MyOLVController reread(nullptr, support());
    ASSERT_EQ(reread.loadOLVData(), MyOLVController::LoadResult::Loaded);
    std::map<std::string, bool> marked;
    for (Node* node : reread.getAllGroups())
        marked[node->name()] =
            node->propertyForKey(np::NP_OUTLINEVIEW_GROUP_EXPAND).value_or(Value(false)).toBool();
    EXPECT_TRUE(marked["Open"]);
    EXPECT_FALSE(marked["Shut"]);

    start();
    EXPECT_EQ(window().size(), QSize(777, 444));
    const Node* reopened = nullptr;
    for (Node* node : library().getAllGroups())
        if (node->name() == "Open")
            reopened = node;
    ASSERT_NE(reopened, nullptr);
    EXPECT_TRUE(list().isExpanded(list().indexOf(reopened)));
}

TEST_F(MainWindowTest, TheTrayMenuListsTheRecordingsAndTheWindowHidesOnlyWhereATrayIs)
{
    server.addMount("/a", loopingMount({{0, "A - One"}}));
    start();
    Node* live = station("Live", server.url("/a"));
    ui::TrayIcon& tray = *desktop->tray();
    auto texts = [&] {
        QStringList shown;
        for (QAction* action : tray.menu()->actions())
            if (!action->isSeparator())
                shown << action->text() + (action->isEnabled() ? "" : " (off)");
        return shown.join(QLatin1String(", ")).toStdString();
    };
    tray.refresh();
    EXPECT_EQ(texts(), "Nothing is recording (off), Stop All (off), Show Orvanta, Quit");

    ASSERT_TRUE(controller().startRecordingForNode(live, MainController::kSourceUser));
    tray.refresh();
    EXPECT_EQ(texts(), "Live, Stop All, Show Orvanta, Quit");
    EXPECT_EQ(tray.icon().toolTip(), "Orvanta: recording 1 station(s)");
    // Its entry shows the station in the window.
    window().hide();
    tray.menu()->actions().front()->trigger();
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(list().currentNode(), live);
    tray.menu()->actions().at(2)->trigger(); // Stop All
    EXPECT_TRUE(spinUntil([&] { return !live->isRecording(); }, 5s));
    EXPECT_EQ(texts(), "Nothing is recording (off), Stop All (off), Show Orvanta, Quit");

    // The offscreen desktop has no tray: the preference says why it cannot be had.
    EXPECT_FALSE(ui::TrayIcon::available());
    ui::PreferencesWindow& preferences = window().preferencesWindow();
    QCheckBox* keep = preferences.checkBox(prefs::kKeepRecordingInTray.data());
    ASSERT_NE(keep, nullptr);
    EXPECT_FALSE(keep->isEnabled());
    EXPECT_NE(preferences.findChild<QLabel*>(QStringLiteral("trayUnavailable")), nullptr);
    // Where the window hides on closing, it only hides.
    window().setHidesOnClose([] { return true; });
    QSignalSpy quit(&window(), &ui::MainWindow::quitRequested);
    window().close();
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(quit.count(), 0);
}
