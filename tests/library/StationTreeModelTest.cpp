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
        bool alert;
        const char* image;
    };
    using R = RecordingStatus;
    using P = RippingStatus;
    const Case ripper[] = {{R::Idle, P::Connecting, false, ""},
                           {R::Idle, P::Connecting, true, "AlertCaution"},
                           {R::Recording, P::Connecting, true, "aquaDotYellow"},
                           {R::Recording, P::Running, false, "aquaDotOnline"}};
    for (const Case& item : ripper) {
        station->setStatus(item.status);
        station->setRippingStatus(item.rippingStatus);
        station->setValueForKey(item.alert ? std::optional<std::string>("x") : std::nullopt,
                                "alertMessage");
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

TEST_F(StationTreeModelTest, CommandsResetTheModelConsistently)
{
    QSignalSpy resets(model.get(), &QAbstractItemModel::modelReset);
    controller->addStream(nullptr);
    controller->sortByColumn("stream");
    EXPECT_EQ(model->nodeForIndex(model->index(0, 0))->name(), "Empty");
    controller->writeItems({station});
    controller->acceptDrop(MyOLVController::DropInput{.internal = true}, empty, -1);
    EXPECT_EQ(model->rowCount(model->indexForNode(empty)), 1);
    controller->deleteNodes({group});
    EXPECT_EQ(model->rowCount(), 2);
    EXPECT_EQ(resets.count(), 4);
}
