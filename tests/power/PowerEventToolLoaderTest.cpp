// The application's side: setting the helper up per user (through a stand-in pkexec that
// runs the real template as root), telling a valid helper from one that is not, running a
// request through the real helper, and the answers of helpers that fail. Parts need root
// (CI has it) for a root's template, a second user or a nosuid mount.

#include "PowerEventToolLoader.h"

#include "FileManagerExtensions.h"
#include "PowerToolMessage.h"
#include "StandInPkexec.h"
#include "TempDir.h"
#include "ToolProcess.h"

#include <ctime>
#include <filesystem>
#include <functional>
#include <sstream>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::power;
using namespace orvanta::test;

namespace {

const std::string kTool = ORVANTA_TEST_POWER_TOOL;
const std::string kStandInAlarm = ORVANTA_TEST_RTC_WAKEALARM;

class PowerEventToolLoaderTest : public ::testing::Test
{
protected:
    PowerEventToolLoaderTest()
    {
        places.templatePath = kTool;
        places.supportFolder = dir.file("data");
        places.temporaryFolder = dir.file("tmp");
        places.systemTool = dir.file("libexec/PowerEventTool");
        places.wakeAlarm = kStandInAlarm;
        places.pkexec = writeStandInPkexec(dir.file("pkexec"), dir.file("pkexec.log"));
        std::filesystem::create_directories(places.supportFolder);
        std::filesystem::create_directories(places.temporaryFolder);
        writeFile(kStandInAlarm, "");
    }

    std::vector<std::string> pkexecStarts()
    {
        std::vector<std::string> lines;
        std::istringstream log(readFile(dir.file("pkexec.log")));
        for (std::string line; std::getline(log, line);)
            lines.push_back(line);
        return lines;
    }

    PowerEventToolLoader loader()
    {
        PowerEventToolLoader::Prompts prompts;
        prompts.ask = [this](const std::string& title, const std::string&, const std::string&,
                             const std::string&) {
            questions.push_back(title);
            return answer;
        };
        prompts.alert = [this](const std::string& title, const std::string& message) {
            alerts.push_back(title + ": " + message);
        };
        return PowerEventToolLoader(places, prompts);
    }

    TempDir dir;
    PowerToolPlaces places;
    bool answer = true;
    std::vector<std::string> questions;
    std::vector<std::string> alerts;
};

struct stat statOf(const std::string& path)
{
    struct stat info
    {};
    ::lstat(path.c_str(), &info);
    return info;
}

/// A stand-in helper: a script ending as told.
std::string script(const TempDir& dir, const std::string& name, const std::string& body)
{
    const std::string path = dir.file(name);
    writeFile(path, "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

} // namespace

TEST_F(PowerEventToolLoaderTest, TheSetUpRunsTheTemplateThroughPkexecAndLaterRequestsTheCopy)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a template that may be given rights is root's";
    PowerEventToolLoader tool = loader();
    EXPECT_FALSE(tool.isHelperToolValidAndPrivileged());
    EXPECT_TRUE(tool.canSetUp());
    PowerEventToolLoader::HelperRun run;
    ASSERT_EQ(tool.copyHelperToolURLAndCheckBundled(kApplicationSupportFolderType, run), 0);
    const std::string folder = places.supportFolder + "/Orvanta";
    EXPECT_EQ(run.tool, kTool) << "the installed template, never a file the user could write";
    EXPECT_TRUE(run.viaPkexec);
    EXPECT_EQ(run.installInto, folder);
    EXPECT_EQ(statOf(folder).st_mode & 07777, 0700u) << "the user's alone";
    EXPECT_FALSE(std::filesystem::exists(folder + "/PowerEventTool")) << "nothing copied yet";

    EXPECT_EQ(tool.invokeHelperToolWithRequest(std::nullopt), 0) << "set-up only";
    EXPECT_EQ(pkexecStarts(), std::vector<std::string>{"--disable-internal-agent " + kTool +
                                                       " --self-repair " + folder});
    ASSERT_TRUE(tool.isHelperToolValidAndPrivileged());
    EXPECT_EQ(tool.validHelperTool(), folder + "/PowerEventTool");
    EXPECT_EQ(readFile(kStandInAlarm), "");

    const std::time_t now = std::time(nullptr);
    EXPECT_EQ(tool.scheduleWakeFromSleep(Date{now + 120.0}), 0);
    EXPECT_EQ(readFile(kStandInAlarm), std::to_string(now + 120) + "\n");
    EXPECT_EQ(tool.scheduleSleep(Date{now + 120.0}), kPowerUnsupported);
    EXPECT_EQ(tool.cancelWakeFromSleep(Date{now + 60.0}), kPowerNotFound);
    EXPECT_EQ(tool.cancelWakeFromSleep(Date{now + 120.0}), 0);
    EXPECT_EQ(readFile(kStandInAlarm), "0\n");
    EXPECT_EQ(pkexecStarts().size(), 1u) << "the copy serves without pkexec";
    ASSERT_EQ(alerts.size(), 2u) << "one alert per failed request";
    EXPECT_NE(alerts[1].find("Wake From Sleep Error: Orvanta failed to enable the feature due to "
                             "error (" +
                             std::to_string(kPowerNotFound) + ")"),
              std::string::npos)
        << alerts[1];
}

TEST_F(PowerEventToolLoaderTest, AUsersCopyIsValidOnlyAsTheSetUpLeftIt)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a copy is root's";
    PowerEventToolLoader tool = loader();
    ASSERT_EQ(tool.invokeHelperToolWithRequest(std::nullopt), 0);
    const std::string folder = places.supportFolder + "/Orvanta";
    const std::string path = folder + "/PowerEventTool";
    ASSERT_TRUE(tool.isHelperToolValidAndPrivileged());
    auto validAfter = [&](const std::function<void()>& change, const std::function<void()>& undo) {
        change();
        const bool valid = tool.isHelperToolValidAndPrivileged();
        undo();
        EXPECT_TRUE(tool.isHelperToolValidAndPrivileged());
        return valid;
    };
    const struct stat made = statOf(path);
    const timespec later[2] = {{made.st_mtim.tv_sec + 60, 0}, {made.st_mtim.tv_sec + 60, 0}};
    const timespec same[2] = {made.st_atim, made.st_mtim};
    EXPECT_FALSE(validAfter([&] { ::utimensat(AT_FDCWD, path.c_str(), later, 0); },
                            [&] { ::utimensat(AT_FDCWD, path.c_str(), same, 0); }))
        << "an update of the program (a template of another time)";
    EXPECT_FALSE(
        validAfter([&] { ::chmod(folder.c_str(), 0755); }, [&] { ::chmod(folder.c_str(), 0700); }))
        << "a folder others may enter";
    EXPECT_FALSE(validAfter(
        [&] {
            EXPECT_EQ(::chown(path.c_str(), 0, 12345), 0);
            ::chmod(path.c_str(), 04550);
        },
        [&] {
            EXPECT_EQ(::chown(path.c_str(), 0, made.st_gid), 0);
            ::chmod(path.c_str(), 04550);
        }))
        << "another group may run it";
    EXPECT_FALSE(validAfter(
        [&] {
            std::filesystem::rename(path, dir.file("real-tool"));
            std::filesystem::create_symlink(dir.file("real-tool"), path);
        },
        [&] {
            std::filesystem::remove(path);
            std::filesystem::rename(dir.file("real-tool"), path);
        }))
        << "a link to a privileged helper is never taken for one";

    tool.removeWakeFromSleepTool();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(std::filesystem::is_directory(folder)) << "folders stay";
}

TEST_F(PowerEventToolLoaderTest, AFolderOrTemplateAnotherUserHasIsNeverUsed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs a second user";
    TestUser other("ovl" + std::to_string(::getpid()));
    ASSERT_TRUE(other.created());
    // A temporary folder in /tmp made first by somebody else, or a link put there.
    const std::string shared = dir.file("tmp-shared");
    std::filesystem::create_directories(shared);
    ::chmod(shared.c_str(), 01777);
    places.temporaryFolder = shared + "/orvanta-0";
    std::filesystem::create_directories(places.temporaryFolder);
    ASSERT_EQ(::chown(places.temporaryFolder.c_str(), other.uid(), other.gid()), 0);
    PowerEventToolLoader::HelperRun run;
    EXPECT_EQ(loader().copyHelperToolURLAndCheckBundled(kTemporaryFolderType, run),
              kFolderNotPrivate);
    std::filesystem::remove(places.temporaryFolder);
    std::filesystem::create_symlink(dir.file("data"), places.temporaryFolder);
    EXPECT_EQ(loader().copyHelperToolURLAndCheckBundled(kTemporaryFolderType, run),
              kFolderNotPrivate);
    EXPECT_FALSE(std::filesystem::exists(dir.file("data/Orvanta"))) << "not followed";

    // The alert names the folder.
    ASSERT_EQ(::chown(places.supportFolder.c_str(), other.uid(), other.gid()), 0);
    PowerEventToolLoader tool = loader();
    EXPECT_EQ(tool.invokeHelperToolWithRequest(std::nullopt), kFolderNotPrivate);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].find("belongs to another user or may be changed by others"),
              std::string::npos);
    EXPECT_NE(alerts[0].find(places.supportFolder), std::string::npos) << alerts[0];
    EXPECT_TRUE(pkexecStarts().empty());

    // A template another user could change is never given rights.
    places.templatePath = dir.file("template");
    std::filesystem::copy_file(kTool, places.templatePath);
    ASSERT_EQ(::chown(places.templatePath.c_str(), other.uid(), other.gid()), 0);
    EXPECT_FALSE(loader().canSetUp());
    EXPECT_EQ(loader().copyHelperToolURLAndCheckBundled(kApplicationSupportFolderType, run),
              kTemplateNotTrusted);
}

TEST_F(PowerEventToolLoaderTest, AHelperThatFailsOrDiesIsReportedByItsExitStatus)
{
    PowerEventToolLoader tool = loader();
    const Bytes token(kAuthorisationSize, 1);
    Dictionary response;
    auto exchange = [&](const std::string& helper) {
        return tool.executeRequestInHelperTool({helper, false, {}}, token, Dictionary{}, response);
    };
    EXPECT_EQ(exchange(script(dir, "refused", "cat >/dev/null; exit 2")), kPrivilegesRefused);
    EXPECT_EQ(exchange(script(dir, "cancelled", "cat >/dev/null; exit 3")),
              kAuthorisationCancelled);
    EXPECT_EQ(exchange(script(dir, "odd", "cat >/dev/null; exit 9")), kInternalError);
    EXPECT_EQ(exchange(script(dir, "killed", "kill -9 $$")), kInternalError);
    EXPECT_EQ(exchange(dir.file("missing")), kInternalError);
    // Success without an answer carries no result: the request has failed.
    EXPECT_EQ(exchange(script(dir, "mute", "cat >/dev/null; exit 0")), 0);
    EXPECT_EQ(getErrorFromResponse(response), kObjectCreationFailed);

    // Unattended, a helper that hangs (a password dialog nobody answers) is given up on.
    tool.setAttended(false);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_NE(exchange(script(dir, "hangs", "exec sleep 60")), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started,
              PowerEventToolLoader::kUnattendedTimeout + std::chrono::seconds(5));
}

TEST_F(PowerEventToolLoaderTest, AHomeFolderMountedNosuidOffersTheTemporaryCopy)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting needs root";
    const std::string home = dir.file("home");
    std::filesystem::create_directories(home);
    ASSERT_EQ(::mount("tmpfs", home.c_str(), "tmpfs", MS_NOSUID, "size=8m"), 0);
    struct Unmount
    {
        std::string path;
        ~Unmount() { EXPECT_EQ(::umount(path.c_str()), 0); }
    } unmount{home};
    places.supportFolder = home + "/.local/share";
    PowerEventToolLoader tool = loader();

    PowerEventToolLoader::HelperRun run;
    EXPECT_EQ(tool.copyHelperToolURLAndCheckBundled(kApplicationSupportFolderType, run),
              kFolderCannotHoldPrivilegedTool);
    EXPECT_FALSE(std::filesystem::exists(places.supportFolder + "/Orvanta/PowerEventTool"));

    answer = false;
    EXPECT_EQ(tool.invokeHelperToolWithRequest(std::nullopt), kUserCancelled);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_NE(questions[0].find("does not allow set-user-id programs"), std::string::npos);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].find("(-128)"), std::string::npos) << alerts[0];

    // Yes: the copy goes into the temporary folder.
    answer = true;
    EXPECT_EQ(tool.invokeHelperToolWithRequest(std::nullopt), 0);
    EXPECT_EQ(questions.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(places.temporaryFolder + "/Orvanta/PowerEventTool"));
    EXPECT_FALSE(std::filesystem::exists(places.supportFolder + "/Orvanta/PowerEventTool"));
}

TEST_F(PowerEventToolLoaderTest, ASystemCopyOfRootsIsValidAndNeedsNoUserCopy)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a system copy is root's";
    std::filesystem::create_directories(dir.file("libexec"));
    std::filesystem::copy_file(kTool, places.systemTool);
    ::chmod(places.systemTool.c_str(), 0755);
    PowerEventToolLoader tool = loader();
    EXPECT_TRUE(tool.isHelperToolValidAndPrivileged());
    PowerEventToolLoader::HelperRun run;
    ASSERT_EQ(tool.copyHelperToolURLAndCheckBundled(kApplicationSupportFolderType, run), 0);
    EXPECT_EQ(run.tool, places.systemTool);
    EXPECT_TRUE(run.viaPkexec) << "it runs through pkexec and its polkit action";
    EXPECT_TRUE(run.installInto.empty());
    EXPECT_FALSE(std::filesystem::exists(places.supportFolder + "/Orvanta/PowerEventTool"));

    ::chmod(places.systemTool.c_str(), 0775);
    EXPECT_FALSE(tool.isHelperToolValidAndPrivileged()) << "writable by its group";
    ::chmod(places.systemTool.c_str(), 04755);
    EXPECT_FALSE(tool.isHelperToolValidAndPrivileged()) << "a set-user-id system copy";
}
