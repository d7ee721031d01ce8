// The real wake-up helper, built for tests with its RTC wake alarm in a file under the build
// tree: as the application starts it, as pkexec starts the template to set a user's copy up,
// and as other users try it. Parts need root (CI has it): users are made for the test and
// removed.

#include "PowerToolMessage.h"
#include "TempDir.h"
#include "ToolProcess.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <thread>

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

    static Dictionary wakeAt(std::time_t when)
    {
        return Dictionary{{kCommandNameKey, Value(std::string(kScheduleWake))},
                          {kDateTimeKey, Value(Date{static_cast<double>(when)})}};
    }

    std::string alarm() { return readFile(kStandInAlarm); }

    /// A folder under the test's, of owner's alone.
    std::string privateFolder(const std::string& name, uid_t owner)
    {
        const std::string folder = dir.file(name);
        std::filesystem::create_directories(folder);
        EXPECT_EQ(::chown(folder.c_str(), owner, static_cast<gid_t>(-1)), 0);
        EXPECT_EQ(::chmod(folder.c_str(), 0700), 0);
        return folder;
    }

    static std::string pkexecUid(const TestUser& user)
    {
        return "PKEXEC_UID=" + std::to_string(user.uid());
    }

    /// The line userIdsOf shows for a process that is nothing but user.
    static std::string idsLine(uid_t user)
    {
        const std::string id = std::to_string(user);
        return "Uid:\t" + id + "\t" + id + "\t" + id + "\t" + id;
    }

    static bool waitFor(const std::function<bool()>& condition)
    {
        for (int tries = 0; tries < 500; ++tries) {
            if (condition())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return condition();
    }

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

TEST_F(PowerToolProcessTest, SelfRepairCopiesTheTemplateForItsUserAndTheCopyServesOnlyThem)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    TestUser owner(userName("a"));
    ASSERT_TRUE(owner.created());
    TestUser other(userName("b"), owner.name()); // in the owner's group
    ASSERT_TRUE(other.created());
    const std::string folder = privateFolder("Orvanta", owner.uid());
    // Whatever lies where the copy goes is replaced, never written through.
    const std::string victim = dir.file("victim");
    writeFile(victim, "keep");
    std::filesystem::create_symlink(victim, folder + "/PowerEventTool");

    // pkexec starts the installed template as root and says for whom.
    const ToolRun setUp = runTool(kTool, {"--self-repair", folder}, std::nullopt,
                                  {pkexecUid(owner)}, messageBytes(wakeAt(now + 600)));
    ASSERT_EQ(setUp.exitStatus, 0) << "journalctl -t PowerEventTool tells why";
    const auto answer = messageIn(setUp.output, sizeof(std::int32_t));
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(getErrorFromResponse(*answer), 0);
    EXPECT_EQ(alarm(), std::to_string(now + 600) + "\n") << "the request was served";
    EXPECT_EQ(readFile(victim), "keep");
    const std::string copy = folder + "/PowerEventTool";
    const struct stat made = statOf(copy);
    ASSERT_TRUE(S_ISREG(made.st_mode));
    EXPECT_EQ(made.st_uid, 0u);
    EXPECT_EQ(made.st_gid, owner.gid()) << "the owner's primary group";
    EXPECT_EQ(made.st_mode & 07777, 04550u) << "set-user-id, nothing for others";
    EXPECT_EQ(made.st_mtim.tv_sec, statOf(kTool).st_mtim.tv_sec);
    EXPECT_TRUE(readFile(copy) == readFile(kTool)) << "the template's bytes";

    // The owner runs it directly, without any dialog; it gives root up before it reads.
    bool droppedBeforeReading = false;
    const std::string ownerIds = idsLine(owner.uid());
    const ToolRun served = runTool(copy, {}, owner.name(), {}, requestBytes(wakeAt(now + 300)),
                                   kAuthorisationSize, [&](pid_t pid) {
                                       droppedBeforeReading =
                                           waitFor([&] { return userIdsOf(pid) == ownerIds; });
                                   });
    ASSERT_EQ(served.exitStatus, 0);
    EXPECT_TRUE(droppedBeforeReading);
    ASSERT_TRUE(messageIn(served.output).has_value());
    EXPECT_EQ(getErrorFromResponse(*messageIn(served.output)), 0);
    EXPECT_EQ(alarm(), std::to_string(now + 300) + "\n");

    // Through pkexec (the system copy's way) too; and only who set a wake may cancel it.
    Dictionary cancel = wakeAt(now + 300);
    cancel.set(kCommandNameKey, Value(std::string(kCancelWake)));
    const std::string otherIds = idsLine(other.uid());
    droppedBeforeReading = false;
    const ToolRun foreign = runTool(kTool, {}, std::nullopt, {pkexecUid(other)},
                                    requestBytes(cancel), kAuthorisationSize, [&](pid_t pid) {
                                        droppedBeforeReading =
                                            waitFor([&] { return userIdsOf(pid) == otherIds; });
                                    });
    EXPECT_TRUE(droppedBeforeReading) << "pkexec's root is given up too";
    ASSERT_TRUE(messageIn(foreign.output).has_value());
    EXPECT_EQ(getErrorFromResponse(*messageIn(foreign.output)), kPowerNotFound);
    EXPECT_EQ(alarm(), std::to_string(now + 300) + "\n");

    // A group member who can reach it: pkexec's variable is not believed in a set-user-id
    // run, and the copy serves nobody else, nor its owner while its folder is open.
    ASSERT_EQ(::chmod(folder.c_str(), 0750), 0);
    const ToolRun pretended = runTool(copy, {"--self-repair", folder}, other.name(),
                                      {pkexecUid(owner)}, messageBytes(wakeAt(now + 200)));
    EXPECT_EQ(pretended.exitStatus, 1) << "invalid invocation";
    EXPECT_EQ(runTool(copy, {}, other.name(), {}, requestBytes(wakeAt(now + 200))).exitStatus, 2);
    EXPECT_EQ(runTool(copy, {}, owner.name(), {}, requestBytes(wakeAt(now + 200))).exitStatus, 2);
    ASSERT_EQ(::chmod(folder.c_str(), 0700), 0);

    // Only at its own place, and only while it is the installed template's copy.
    ASSERT_EQ(::rename(copy.c_str(), (folder + "/Moved").c_str()), 0);
    EXPECT_EQ(runTool(folder + "/Moved", {}, owner.name(), {}, requestBytes(wakeAt(now + 200)))
                  .exitStatus,
              2);
    ASSERT_EQ(::rename((folder + "/Moved").c_str(), copy.c_str()), 0);
    const timespec older[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, copy.c_str(), older, AT_SYMLINK_NOFOLLOW), 0);
    EXPECT_EQ(runTool(copy, {}, owner.name(), {}, requestBytes(wakeAt(now + 200))).exitStatus, 2)
        << "left over from another version";
    EXPECT_EQ(alarm(), std::to_string(now + 300) + "\n");
}

TEST_F(PowerToolProcessTest, SelfRepairRefusesAFolderOrATemplateAnotherUserCouldChange)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    TestUser owner(userName("c"));
    ASSERT_TRUE(owner.created());
    TestUser other(userName("d"));
    ASSERT_TRUE(other.created());
    const std::string request = messageBytes(wakeAt(now + 600));
    auto refused = [&](const std::string& tool, const std::string& folder) {
        const ToolRun run =
            runTool(tool, {"--self-repair", folder}, std::nullopt, {pkexecUid(owner)}, request);
        return run.exitStatus == 2 && alarm().empty() &&
               !std::filesystem::exists(folder + "/PowerEventTool");
    };
    EXPECT_TRUE(refused(kTool, privateFolder("roots", 0)));
    const std::string open = privateFolder("open", owner.uid());
    ASSERT_EQ(::chmod(open.c_str(), 0755), 0);
    EXPECT_TRUE(refused(kTool, open)) << "readable by others";
    const std::string othersHome = privateFolder("home-of-other", other.uid());
    ASSERT_EQ(::chmod(othersHome.c_str(), 0755), 0);
    EXPECT_TRUE(refused(kTool, privateFolder("home-of-other/Orvanta", owner.uid())))
        << "inside a folder another user may change";
    const std::string real = privateFolder("real", owner.uid());
    std::filesystem::create_symlink(real, dir.file("link"));
    EXPECT_TRUE(refused(kTool, dir.file("link"))) << "reached through a link";

    // Only an installed template sets a copy up: not a copy of it elsewhere, even root's.
    const std::string good = privateFolder("good", owner.uid());
    std::filesystem::copy_file(kTool, dir.file("PowerEventToolForTests"));
    EXPECT_TRUE(refused(dir.file("PowerEventToolForTests"), good));
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
