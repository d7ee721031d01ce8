#include "StationTreeModel.h"

#include "LibraryTestSupport.h"
#include "NodePropertyKeys.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

class StationTreeModelTest : public ::testing::Test, public LibraryFixture
{
protected:
    void SetUp() override
    {
        controller->loadOLVData();
        model = std::make_unique<StationTreeModel>(*controller);
        tester = std::make_unique<QAbstractItemModelTester>(
            model.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        Node* root = controller->rootNode();
        group = controller->addChild(Node::kGroup, root, "Group", "");
        empty = controller->addChild(Node::kGroup, root, "Empty", "");
        station = controller->addChild(Node::kStream, group, "Station", "http://s");
    }
    QString text(const Node* node, int column, int role = Qt::DisplayRole)
    {
        return model->data(model->indexForNode(node, column), role).toString();
    }

    std::unique_ptr<StationTreeModel> model;
    std::unique_ptr<QAbstractItemModelTester> tester;
    Node* group = nullptr;
    Node* empty = nullptr;
    Node* station = nullptr;
};

} // namespace

TEST_F(StationTreeModelTest, StructureFollowsTheTree)
{
    EXPECT_EQ(model->rowCount(), 2);
    QModelIndex groupIndex = model->index(0, 0);
    EXPECT_EQ(model->nodeForIndex(groupIndex), group);
    EXPECT_TRUE(model->hasChildren(groupIndex));
    EXPECT_FALSE(model->hasChildren(model->indexForNode(empty)));
    QModelIndex stationIndex = model->index(0, StationTreeModel::Comment, groupIndex);
    EXPECT_EQ(model->nodeForIndex(stationIndex), station);
    EXPECT_EQ(model->parent(stationIndex), groupIndex);
    EXPECT_EQ(model->indexForNode(station, StationTreeModel::Comment), stationIndex);
    EXPECT_FALSE(model->indexForNode(controller->rootNode()).isValid());
    Node stranger;
    EXPECT_FALSE(model->indexForNode(&stranger).isValid());
}

TEST_F(StationTreeModelTest, CellTextsAndImagesFollowTheColumnRules)
{
    using M = StationTreeModel;
    EXPECT_EQ(text(station, M::Stream), "Station");
    EXPECT_EQ(text(station, M::Bitrate), "");
    station->setProperty(Value(128), np::NP_BITRATE);
    station->setProperty(Value(true), np::NP_STEREO);
    EXPECT_EQ(text(station, M::Bitrate), "128 kbps");
    EXPECT_EQ(text(station, M::Stereo), "][");
    EXPECT_EQ(text(group, M::Stream, M::ImageNameRole), "folder");
    EXPECT_EQ(text(station, M::Stream, M::ImageNameRole), "stream16");

    struct Case
    {
        RecordingStatus status;
        RippingStatus rippingStatus;
        std::optional<std::string> alert;
        const char* image;
    };
    using R = RecordingStatus;
    using P = RippingStatus;
    // A recording that starts clears its alert with an empty text: a normal stop after it
    // shows no warning.
    const Case ripper[] = {{R::Idle, P::Connecting, std::nullopt, ""},
                           {R::Idle, P::Connecting, "x", "AlertCaution"},
                           {R::Idle, P::Connecting, "", ""},
                           {R::Recording, P::Connecting, "x", "aquaDotYellow"},
                           {R::Recording, P::Running, std::nullopt, "aquaDotOnline"}};
    for (const Case& item : ripper) {
        station->setStatus(item.status);
        station->setRippingStatus(item.rippingStatus);
        station->setValueForKey(item.alert, "alertMessage");
        EXPECT_EQ(text(station, M::RipperStatus, M::ImageNameRole), item.image);
    }
    EXPECT_EQ(text(station, M::TimerStatus, M::ImageNameRole), "");
    station->setProperty(Value(Array{Dictionary{{"ACTIVE", false}}, Dictionary{{"ACTIVE", true}}}),
                         np::NP_RECORDING_SCHEDULE);
    EXPECT_EQ(text(station, M::TimerStatus, M::ImageNameRole), "Clock");
    station->setTimerStatus(TimerStatus::Scheduled);
    EXPECT_EQ(text(station, M::TimerStatus, M::ImageNameRole), "redDotOnline");
    station->setListenStatus(true);
    EXPECT_EQ(text(station, M::ListenStatus, M::ImageNameRole), "speaker8x9");

    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    model->reloadItem(station);
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(StationTreeModelTest, EditingNameAndCommentOnly)
{
    QModelIndex name = model->indexForNode(station, StationTreeModel::Stream);
    QModelIndex bitrate = model->indexForNode(station, StationTreeModel::Bitrate);
    EXPECT_TRUE(model->flags(name) & Qt::ItemIsEditable);
    EXPECT_FALSE(model->flags(bitrate) & Qt::ItemIsEditable);
    EXPECT_TRUE(model->flags(model->indexForNode(group)) & Qt::ItemIsDropEnabled);
    EXPECT_FALSE(model->flags(name) & Qt::ItemIsDropEnabled);
    EXPECT_TRUE(model->setData(name, QStringLiteral(" Renamed ")));
    EXPECT_EQ(station->name(), " Renamed ");
    EXPECT_TRUE(model->setData(model->indexForNode(station, StationTreeModel::Comment),
                               QStringLiteral("note")));
    EXPECT_EQ(station->propertyForKey(np::NP_COMMENT), Value("note"));
    EXPECT_FALSE(model->setData(bitrate, QStringLiteral("1")));
}

// Names of the rows below parent, in order, as the model shows them.
std::vector<std::string> rowNames(const StationTreeModel& model, const QModelIndex& parent = {})
{
    std::vector<std::string> names;
    for (int row = 0; row < model.rowCount(parent); ++row)
        names.push_back(model.nodeForIndex(model.index(row, 0, parent))->name());
    return names;
}

TEST_F(StationTreeModelTest, EditsOfTheTreeKeepPersistentIndexesAndNeverReset)
{
    using Names = std::vector<std::string>;
    QSignalSpy resets(model.get(), &QAbstractItemModel::modelReset);
    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy moved(model.get(), &QAbstractItemModel::rowsMoved);
    QSignalSpy layouts(model.get(), &QAbstractItemModel::layoutChanged);
    // What a view keeps across edits: the current row, the selection, expanded groups.
    const QPersistentModelIndex stationRow(model->indexForNode(station, StationTreeModel::Comment));
    const QPersistentModelIndex groupRow(model->indexForNode(group));
    const QPersistentModelIndex emptyRow(model->indexForNode(empty));
    auto follows = [&](const QPersistentModelIndex& index, const Node* node, int column = 0) {
        return index.isValid() && model->nodeForIndex(index) == node && index.column() == column &&
               QModelIndex(index) == model->indexForNode(node, column);
    };

    // Adding: a row appears where the node went.
    Node* added = controller->addStream(group);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(rowNames(*model, groupRow), (Names{"Station", "Stream"}));
    Node* folder = controller->addGroup(nullptr);
    EXPECT_EQ(rowNames(*model), (Names{"Group", "Empty", "Folder"}));

    // Moving by an internal drop, also several nodes from different parents at once.
    controller->writeItems({station});
    controller->acceptDrop(MyOLVController::DropInput{.internal = true}, empty, -1);
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(rowNames(*model, emptyRow), (Names{"Station"}));
    controller->writeItems({added, folder});
    controller->acceptDrop(MyOLVController::DropInput{.internal = true}, nullptr, 0);
    EXPECT_EQ(rowNames(*model), (Names{"Stream", "Folder", "Group", "Empty"}));
    // Within one parent, downwards and onto its own place.
    controller->writeItems({added});
    controller->acceptDrop(MyOLVController::DropInput{.internal = true}, nullptr, 3);
    EXPECT_EQ(rowNames(*model), (Names{"Folder", "Group", "Stream", "Empty"}));
    controller->acceptDrop(MyOLVController::DropInput{.internal = true}, nullptr, 2);
    EXPECT_EQ(rowNames(*model), (Names{"Folder", "Group", "Stream", "Empty"}));
    EXPECT_EQ(moved.count(), 4);

    // Dropping addresses from outside: new rows, in the order dropped.
    controller->acceptDrop(MyOLVController::DropInput{.text = "http://dropped/"}, folder, 0);
    EXPECT_EQ(rowNames(*model, model->indexForNode(folder)), (Names{"http://dropped/"}));

    // Sorting is a change of layout; every kept index stays on its node.
    EXPECT_TRUE(controller->sortByColumn("stream"));
    EXPECT_EQ(layouts.count(), 1);
    EXPECT_EQ(rowNames(*model), (Names{"Empty", "Folder", "Group", "Stream"}));

    // Status changes redraw the row only.
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    station->setStatus(RecordingStatus::Recording);
    model->reloadItem(station);
    EXPECT_EQ(changed.count(), 1);
    station->setStatus(RecordingStatus::Idle);

    EXPECT_TRUE(follows(stationRow, station, StationTreeModel::Comment));
    EXPECT_TRUE(follows(groupRow, group));
    EXPECT_TRUE(follows(emptyRow, empty));

    // Deleting: the row goes, the indexes of the rest stay right. A recording station and
    // the group that holds it stay.
    station->setStatus(RecordingStatus::Recording);
    controller->deleteNodes({empty, station});
    EXPECT_EQ(removed.count(), 0);
    station->setStatus(RecordingStatus::Idle);
    controller->deleteNodes({group, added});
    EXPECT_EQ(removed.count(), 2);
    EXPECT_FALSE(groupRow.isValid());
    EXPECT_TRUE(follows(emptyRow, empty));
    EXPECT_TRUE(follows(stationRow, station, StationTreeModel::Comment));
    // A group and a node inside it, selected together: one removal.
    controller->deleteNodes({empty, station});
    EXPECT_EQ(removed.count(), 3);
    EXPECT_FALSE(stationRow.isValid());
    EXPECT_EQ(rowNames(*model), (Names{"Folder"}));

    EXPECT_EQ(resets.count(), 0);
}

TEST_F(StationTreeModelTest, OnlyLoadingALibraryResetsTheModel)
{
    QSignalSpy resets(model.get(), &QAbstractItemModel::modelReset);
    ASSERT_TRUE(controller->saveOLVData());
    controller->addStream(nullptr);
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(controller->loadOLVData(), MyOLVController::LoadResult::Loaded);
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(rowNames(*model), (std::vector<std::string>{"Group", "Empty"}));
}
