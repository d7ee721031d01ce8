// Find Stations in the real window against the directory stand-in: results in the table,
// a window that stays responsive while the directory is slow, stations added to a chosen
// group, and the click count sent on listening.

#include "DirectorySearchWindow.h"
#include "DirectoryResultsModel.h"
#include "DirectoryStandIn.h"
#include "WindowTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

namespace orvanta::test {
namespace {

class DirectorySearchWindowTest : public WindowTest
{
protected:
    DirectorySearchWindowTest() : standIn(std::string("http://127.0.0.1:9/stream"))
    {
        prefs->setPrefs(Value(standIn.address()), prefs::kStationDirectory);
        m_env.set("XDG_CACHE_HOME", m_dir.file("cache"));
        start();
        search = &window().directorySearchWindow();
        resultsTester = std::make_unique<QAbstractItemModelTester>(
            &search->results(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        window().findStations();
    }

    void searchFor(const QString& name, const QString& tag)
    {
        auto fields = search->findChildren<QLineEdit*>();
        fields.at(0)->setText(name);
        fields.at(1)->setText(tag);
        QSignalSpy finished(search, &ui::DirectorySearchWindow::searchFinished);
        search->search();
        ASSERT_TRUE(finished.wait(10000));
    }

    std::vector<std::string> shownNames() const
    {
        std::vector<std::string> names;
        for (int row = 0; row < search->results().stationCount(); ++row)
            names.push_back(search->results().station(row).name);
        return names;
    }

    DirectoryStandIn standIn;
    ui::DirectorySearchWindow* search = nullptr;
    std::unique_ptr<QAbstractItemModelTester> resultsTester;
};

TEST_F(DirectorySearchWindowTest, ShowsRecordableStationsAndAddsTheChosenOnesToAGroup)
{
    Node* jazz = group("Jazz");
    search->refreshGroups();
    searchFor("", "jazz");
    // The default leaves out what cannot be recorded; HLS is recorded like any stream.
    EXPECT_EQ(shownNames(), (std::vector<std::string>{"Hamburg Jazz AAC", "Orvanta Test Jazz",
                                                      "Berlin Jazz Lounge", "Paris Jazz Club",
                                                      "Opus Jazz Stream", "HLS Jazz"}))
        << "most voted first; broken stations left out, AAC, Ogg and HLS recorded";
    ASSERT_EQ(shownNames()[1], "Orvanta Test Jazz");
    auto toolTip = [&](int row) {
        return search->results().data(search->results().index(row, 0), Qt::ToolTipRole).toString();
    };
    EXPECT_FALSE(toolTip(5).contains("cannot record")) << toolTip(5).toStdString();
    // Asked for everything, a station in a format it cannot record is shown greyed.
    for (QCheckBox* box : search->findChildren<QCheckBox*>())
        box->setChecked(false);
    searchFor("", "jazz");
    const int wma = static_cast<int>(shownNames().size()) - 1;
    ASSERT_EQ(shownNames()[wma], "Vienna Jazz WMA");
    EXPECT_TRUE(toolTip(wma).contains("it sends WMA")) << toolTip(wma).toStdString();

    // Two stations and the one that cannot be recorded, into "Jazz".
    QTableView& table = search->table();
    table.clearSelection();
    table.selectionModel()->select(search->results().index(1, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table.selectionModel()->select(search->results().index(2, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table.selectionModel()->select(search->results().index(wma, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    for (QComboBox* box : search->findChildren<QComboBox*>())
        if (box->accessibleName() == "Add to group")
            box->setCurrentIndex(box->findText("Jazz"));
    search->addToLibrary();
    ASSERT_EQ(jazz->childrenCount(), 2u);
    EXPECT_EQ(jazz->children()[0]->name(), "Orvanta Test Jazz");
    EXPECT_EQ(jazz->children()[0]->propertyForKey(np::NP_GENRE)->toString(),
              "Jazz, Smooth jazz, Lounge");
    EXPECT_TRUE(search->statusText().contains("left out")) << search->statusText().toStdString();
    // Added again: nothing doubles.
    search->addToLibrary();
    EXPECT_EQ(jazz->childrenCount(), 2u);
    EXPECT_TRUE(search->statusText().contains("already there"));
    EXPECT_EQ(list().selectedNodes().size(), 2u) << "the new stations are selected in the list";
}

TEST_F(DirectorySearchWindowTest, TheWindowAnswersWhileTheDirectoryIsSlowAndErrorsAddNothing)
{
    standIn.setFault("none", 0, 3);
    auto fields = search->findChildren<QLineEdit*>();
    fields.at(0)->setText("Paris");
    QSignalSpy finished(search, &ui::DirectorySearchWindow::searchFinished);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(search->findChildren<QPushButton*>().at(0), Qt::LeftButton);
    EXPECT_LT(clock.elapsed(), 1000) << "the click returned at once";
    EXPECT_TRUE(search->isSearching());
    // The event loop runs meanwhile: timers fire and typing is taken.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(50);
    QTest::keyClicks(fields.at(1), "jazz");
    EXPECT_TRUE(spinUntil([&ticks] { return ticks >= 10; }, std::chrono::milliseconds(2500)));
    EXPECT_TRUE(search->isSearching()) << "the answer is still on its way";
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(shownNames(), (std::vector<std::string>{"Paris Jazz Club"}));

    const std::size_t stations = library().getAllStreams().size();
    for (const char* mode : {"status", "malformed", "huge"}) {
        standIn.setFault(mode, 503);
        fields.at(0)->setText(QString("fault ") + mode);
        search->search();
        ASSERT_TRUE(finished.wait(10000));
        EXPECT_TRUE(search->statusText().startsWith("The search failed"))
            << mode << ": " << search->statusText().toStdString();
    }
    standIn.setFault("none");
    EXPECT_EQ(library().getAllStreams().size(), stations);
}

TEST_F(DirectorySearchWindowTest, ListeningCountsAClick)
{
    searchFor("Berlin", "");
    ASSERT_EQ(shownNames(), (std::vector<std::string>{"Berlin Jazz Lounge"}));
    search->listen();
    // (QTest's QTRY macros only return on failure under gtest: the wait is asserted.)
    EXPECT_TRUE(spinUntil(
        [&] { return standIn.requestCount("/json/url/a1000000-0000-4000-8000-000000000002") == 1; },
        std::chrono::seconds(5)));
}

} // namespace
} // namespace orvanta::test
