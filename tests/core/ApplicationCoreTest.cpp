// The application as both front ends make it: start-up, a recording, shut-down, and what
// is left on disc.

#include "ApplicationCore.h"

#include "EventLoopWait.h"
#include "IcyTestServer.h"
#include "MainController.h"
#include "Mp3Fixtures.h"
#include "NodePropertyKeys.h"
#include "PrefsController.h"
#include "PrefsKeys.h"
#include "TempDir.h"

#include <filesystem>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

class QuietFrontEnd : public FrontEnd
{
public:
    void reloadItem(Node*) override {}
    void updateToolbarControls() override {}
    void setStatusLines(const StatusLines&) override {}
    void showAlert(const Alert& alert) override
    {
        alerts.push_back(alert.title + ": " + alert.message);
    }
    bool askQuestion(const std::string&, const std::string&, const std::string&,
                     const std::string&) override
    {
        return true;
    }
    std::vector<std::string> alerts;
};

class ApplicationCoreTest : public ::testing::Test
{
protected:
    ApplicationCoreTest()
    {
        std::filesystem::create_directories(support);
        prefs.setPrefs(Value(dir.file("Music")), prefs::kDownloadPath);
        prefs.setPrefs(Value(false), prefs::kAutoReconnect);
    }

    ApplicationCoreOptions options()
    {
        ApplicationCoreOptions o;
        o.runStartupScript = false;
        o.watchSleep = false;
        o.supportFolder = support;
        o.prefs = &prefs;
        return o;
    }

    TempDir dir;
    std::string support = dir.file("support");
    PrefsController prefs{dir.file("prefs.plist")};
    QuietFrontEnd front;
    IcyTestServer server;
};

} // namespace

TEST_F(ApplicationCoreTest, StartsRecordsAndLeavesTheLibraryWithItsHistoryOnDisc)
{
    IcyMount mount;
    mount.audio = encodeWithLame(pcmSongs({2.0, 2.0}, 1.0), dir);
    mount.metaint = 16000;
    mount.titles = {{0, "A - One"}, {48000, "B - Two"}};
    mount.sendContentLength = true;
    server.addMount("/stream", mount);
    {
        ApplicationCore core(front, options());
        EXPECT_EQ(core.start(), MyOLVController::LoadResult::FirstRun);
        Node* node = core.library().addChild(Node::kStream, "Radio", server.url());
        ASSERT_TRUE(core.controller().startRecordingForNode(node, MainController::kSourceUser));
        ASSERT_TRUE(spinUntil([&] { return core.controller().activeRecordingCount() == 0; }, 10s));
        core.shutDown();
        EXPECT_EQ(core.controller().runningThreadCount(), 0u);
        core.shutDown(); // a second time changes nothing
    }
    EXPECT_TRUE(front.alerts.empty());

    MyOLVController reread(nullptr, support);
    ASSERT_EQ(reread.loadOLVData(), MyOLVController::LoadResult::Loaded);
    ASSERT_EQ(reread.getAllStreams().size(), 1u);
    const auto history = reread.getAllStreams().front()->propertyForKey(np::NP_HISTORY);
    ASSERT_TRUE(history && history->isArray());
    int completed = 0;
    for (const Value& entry : history->toArray())
        completed += entry.toDictionary().contains(fileinfo::kDateCompleted) ? 1 : 0;
    EXPECT_EQ(completed, 2);
    EXPECT_EQ(PrefsController(dir.file("prefs.plist")).stringForKey(prefs::kBundleVersion),
              PrefsController::defaultBundleVersion())
        << "the preferences were tidied and written at shut-down";
}

TEST_F(ApplicationCoreTest, AnUnreadableLibraryIsReportedWithoutWaitingAndNeverReplaced)
{
    const std::string library = support + "/radiostreams.data";
    writeFile(library, "not a library");
    {
        ApplicationCore core(front, options());
        EXPECT_EQ(core.start(), MyOLVController::LoadResult::Unreadable);
        ASSERT_EQ(front.alerts.size(), 1u);
        EXPECT_NE(front.alerts[0].find("may be corrupt"), std::string::npos) << front.alerts[0];
        core.library().addStream(nullptr);
    } // the destructor shuts down
    EXPECT_EQ(readFile(library), "not a library");
}

TEST_F(ApplicationCoreTest, WithoutAStartNothingIsWritten)
{
    {
        ApplicationCore core(front, options());
    }
    EXPECT_FALSE(fileExists(support + "/radiostreams.data"));
}
