// The real wake-up helper, built for tests with its RTC wake alarm in a file under the build
// tree: as the application starts it, as pkexec starts it for its self-repair, and as other
// users try it. Parts need root (CI has it): users are made for the test and removed.

#include "PowerToolMessage.h"
#include "TempDir.h"
#include "ToolProcess.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::power;
using namespace orvanta::test;

namespace {

const std::string kTool = ORVANTA_TEST_POWER_TOOL;
const std::string kTemplate = ORVANTA_POWER_TOOL_TEMPLATE;
const std::string kStandInAlarm = ORVANTA_TEST_RTC_WAKEALARM;

/// Users of this test process only: the tests of this suite run in parallel processes.
std::string userName(const char* role)
{
    return "ovw" + std::to_string(::getpid()) + role;
}

class PowerToolProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        writeFile(kStandInAlarm, "");
        ::chmod(dir.path().c_str(), 0755);
    }

    /// The helper copied with its time into folder, owned by owner.
    std::string copyInto(const std::string& folder, uid_t owner, gid_t group)
    {
        std::filesystem::create_directories(folder);
        const std::string path = folder + "/PowerEventTool";
        std::filesystem::copy_file(kTool, path, std::filesystem::copy_options::overwrite_existing);
        struct stat shipped
        {};
        ::stat(kTool.c_str(), &shipped);
        const timespec times[2] = {shipped.st_atim, shipped.st_mtim};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        EXPECT_EQ(::chown(folder.c_str(), owner, group), 0);
        EXPECT_EQ(::chown(path.c_str(), owner, group), 0);
        return path;
    }

    static Dictionary wakeAt(std::time_t when)
    {
        return Dictionary{{kCommandNameKey, Value(std::string(kScheduleWake))},
                          {kDateTimeKey, Value(Date{static_cast<double>(when)})}};
    }

    std::string alarm() { return readFile(kStandInAlarm); }

    TempDir dir;
    const std::time_t now = std::time(nullptr);
};

struct stat statOf(const std::string& path)
{
    struct stat info
    {};
    ::lstat(path.c_str(), &info);
    return info;
}

} // namespace

TEST(PowerToolLinkTest, TheHelperLinksNothingOfQt)
{
    for (const std::string& tool : {kTool, kTemplate}) {
        std::string needed;
        ASSERT_EQ(runCommand("readelf -d '" + tool + "'", &needed), 0);
        EXPECT_NE(needed.find("(NEEDED)"), std::string::npos) << "a dynamic section was read";
        EXPECT_EQ(needed.find("Qt"), std::string::npos) << tool << ":\n" << needed;
    }
}

TEST_F(PowerToolProcessTest, SelfRepairByAnOrdinaryUserWritesItsProcessIdAndFails)
{
    const std::string copy = dir.file("PowerEventTool");
    std::filesystem::copy_file(kTool, copy);
    std::optional<std::string> user;
    if (::geteuid() == 0)
        user = "nobody";
    const ToolRun run = runTool(copy, {"--self-repair"}, user, {"PKEXEC_UID=0"}, "");
    ASSERT_EQ(run.output.size(), sizeof(std::int32_t)) << "its process id and nothing else";
    std::int32_t pid = 0;
    std::memcpy(&pid, run.output.data(), sizeof pid);
    EXPECT_EQ(pid, run.pid);
    EXPECT_EQ(run.exitStatus, 1) << "invalid invocation";
    EXPECT_EQ(statOf(copy).st_mode & 07777, 0755u) << "nothing was changed";

    const ToolRun wrong = runTool(copy, {"--repair"}, user, {}, "");
    EXPECT_EQ(wrong.exitStatus, 1);
    EXPECT_TRUE(wrong.output.empty());
}

TEST_F(PowerToolProcessTest, SelfRepairAsRootMakesTheUsersCopyRootsAndItServesOnlyThatUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    TestUser owner(userName("a"));
    ASSERT_TRUE(owner.created());
    TestUser other(userName("b"), owner.name()); // may run it through the group
    ASSERT_TRUE(other.created());
    const std::string copy = copyInto(dir.file("Orvanta"), owner.uid(), owner.gid());

    // pkexec starts it as root and says for whom. A request that cannot be read changes
    // nothing: it is read whole before the file is touched.
    const std::uint32_t huge = kMaximumMessageSize + 1;
    const ToolRun early = runTool(copy, {"--self-repair"}, std::nullopt,
                                  {"PKEXEC_UID=" + std::to_string(owner.uid())},
                                  std::string(reinterpret_cast<const char*>(&huge), 4));
    EXPECT_EQ(early.exitStatus, 4);
    EXPECT_EQ(statOf(copy).st_uid, owner.uid());
    EXPECT_EQ(statOf(copy).st_mode & 07777, 0755u);
    const ToolRun repair =
        runTool(copy, {"--self-repair"}, std::nullopt,
                {"PKEXEC_UID=" + std::to_string(owner.uid())}, messageBytes(wakeAt(now + 600)));
    ASSERT_EQ(repair.exitStatus, 0) << "journalctl -t PowerEventTool tells why";
    const auto answer = messageIn(repair.output, sizeof(std::int32_t));
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(getErrorFromResponse(*answer), 0);
    EXPECT_EQ(alarm(), std::to_string(now + 600) + "\n") << "the request was served";
    const struct stat repaired = statOf(copy);
    EXPECT_EQ(repaired.st_uid, 0u);
    EXPECT_EQ(repaired.st_gid, owner.gid()) << "the group stays the user's";
    EXPECT_EQ(repaired.st_mode & 07777, 04550u) << "set-user-id, nothing for others";

    // From now on the owner runs it directly, without any dialog.
    const ToolRun served = runTool(copy, {}, owner.name(), {}, requestBytes(wakeAt(now + 300)));
    ASSERT_EQ(served.exitStatus, 0);
    ASSERT_TRUE(messageIn(served.output).has_value());
    EXPECT_EQ(getErrorFromResponse(*messageIn(served.output)), 0);
    EXPECT_EQ(alarm(), std::to_string(now + 300) + "\n");

    // Another user who can execute it (through the group) is refused; nothing changes.
    const ToolRun refused = runTool(copy, {}, other.name(), {}, requestBytes(wakeAt(now + 200)));
    EXPECT_EQ(refused.exitStatus, 2) << "privileges refused";
    EXPECT_TRUE(refused.output.empty());
    EXPECT_EQ(alarm(), std::to_string(now + 300) + "\n");
}

TEST_F(PowerToolProcessTest, SelfRepairRefusesALinkAnotherUsersFolderAndACopyThatIsNotTheTemplate)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    TestUser owner(userName("c"));
    ASSERT_TRUE(owner.created());
    const std::string pkexecUid = "PKEXEC_UID=" + std::to_string(owner.uid());
    const std::string request = messageBytes(wakeAt(now + 600));
    auto refused = [&](const std::string& path) {
        const ToolRun run = runTool(path, {"--self-repair"}, std::nullopt, {pkexecUid}, request);
        return run.exitStatus == 2 && alarm().empty();
    };

    // A link in the user's folder to a helper elsewhere (root's build tree here).
    const std::string folder = dir.file("links");
    std::filesystem::create_directories(folder);
    ASSERT_EQ(::chown(folder.c_str(), owner.uid(), owner.gid()), 0);
    const std::string link = folder + "/PowerEventTool";
    std::filesystem::create_symlink(kTool, link);
    const mode_t before = statOf(kTool).st_mode;
    EXPECT_TRUE(refused(link));
    EXPECT_EQ(statOf(kTool).st_mode, before) << "the link's target is untouched";

    // The user's own copy, but in somebody else's folder.
    const std::string elsewhere = copyInto(dir.file("root-folder"), owner.uid(), owner.gid());
    ASSERT_EQ(::chown(dir.file("root-folder").c_str(), 0, 0), 0);
    EXPECT_TRUE(refused(elsewhere));

    // Swapped for a file of another time, of another size, or with a second link.
    const std::string touched = copyInto(dir.file("touched"), owner.uid(), owner.gid());
    const timespec old[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, touched.c_str(), old, 0), 0);
    EXPECT_TRUE(refused(touched));

    const std::string longer = copyInto(dir.file("longer"), owner.uid(), owner.gid());
    {
        struct stat shipped = statOf(kTool);
        FILE* file = std::fopen(longer.c_str(), "ab");
        ASSERT_NE(file, nullptr);
        std::fputc(0, file);
        std::fclose(file);
        const timespec times[2] = {shipped.st_atim, shipped.st_mtim};
        ::utimensat(AT_FDCWD, longer.c_str(), times, 0);
    }
    EXPECT_TRUE(refused(longer));

    const std::string linked = copyInto(dir.file("linked"), owner.uid(), owner.gid());
    ASSERT_EQ(::link(linked.c_str(), dir.file("second-name").c_str()), 0);
    EXPECT_TRUE(refused(linked));

    for (const std::string& path : {elsewhere, touched, longer, linked})
        EXPECT_EQ(statOf(path).st_uid, owner.uid()) << path << " was not made root's";
}

TEST_F(PowerToolProcessTest, MalformedRequestsAreRefusedWithoutAnAnswerOrAnAction)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the direct path needs the helper to run as root";
    const std::string token(kAuthorisationSize, 'a');
    const std::uint32_t zero = 0;
    const std::uint32_t huge = kMaximumMessageSize + 1;
    const std::string body = messageBytes(wakeAt(now + 600));
    auto raw = [](const std::string& text) {
        const auto length = static_cast<std::uint32_t>(text.size());
        return std::string(reinterpret_cast<const char*>(&length), 4) + text;
    };
    const std::string cases[] = {
        token + std::string(reinterpret_cast<const char*>(&zero), 4),
        token + std::string(reinterpret_cast<const char*>(&huge), 4),
        token + raw("<plist version=\"1.0\"><array/></plist>"),
        token + raw("not a property list"),
        token + body.substr(0, body.size() - 5),
        token.substr(0, 20),
    };
    for (const std::string& input : cases) {
        const ToolRun run = runTool(kTool, {}, std::nullopt, {}, input);
        EXPECT_EQ(run.exitStatus, 4) << "an internal error for the application";
        EXPECT_TRUE(run.output.empty());
    }
    EXPECT_TRUE(alarm().empty()) << "nothing was scheduled";

    // Well-formed: an empty request, an unknown command, a cancel of a wake never set.
    const ToolRun empty = runTool(kTool, {}, std::nullopt, {}, requestBytes(Dictionary{}));
    EXPECT_EQ(empty.exitStatus, 0);
    ASSERT_TRUE(messageIn(empty.output).has_value());
    EXPECT_EQ(getErrorFromResponse(*messageIn(empty.output)), 0);
    Dictionary unknown = wakeAt(now + 600);
    unknown.set(kCommandNameKey, Value(std::string("Reboot")));
    const ToolRun odd = runTool(kTool, {}, std::nullopt, {}, requestBytes(unknown));
    ASSERT_TRUE(messageIn(odd.output).has_value());
    EXPECT_EQ(getErrorFromResponse(*messageIn(odd.output)), 0);
    EXPECT_TRUE(alarm().empty());
    Dictionary cancel = wakeAt(now + 600);
    cancel.set(kCommandNameKey, Value(std::string(kCancelWake)));
    const ToolRun cancelled = runTool(kTool, {}, std::nullopt, {}, requestBytes(cancel));
    ASSERT_TRUE(messageIn(cancelled.output).has_value());
    EXPECT_EQ(getErrorFromResponse(*messageIn(cancelled.output)), kPowerNotFound);
}
