// The application's side: installing the helper per user, telling a valid helper from one
// that is not, running a request through the real helper, and the answers of helpers that
// fail. Parts need root (CI has it) to make a helper root's or to mount a nosuid folder.

#include "PowerEventToolLoader.h"

#include "FileManagerExtensions.h"
#include "PowerToolMessage.h"
#include "TempDir.h"

#include <ctime>
#include <filesystem>

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
        std::filesystem::create_directories(places.supportFolder);
        std::filesystem::create_directories(places.temporaryFolder);
        writeFile(kStandInAlarm, "");
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

    /// What the one-time self-repair does to the user's copy.
    static void makePrivileged(const std::string& path)
    {
        ASSERT_EQ(::chown(path.c_str(), 0, static_cast<gid_t>(-1)), 0);
        ASSERT_EQ(::chmod(path.c_str(), 04550), 0);
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

TEST_F(PowerEventToolLoaderTest, TheUsersCopyIsTheTemplatesAndValidOnlyOnceItIsPrivileged)
{
    PowerEventToolLoader tool = loader();
    EXPECT_FALSE(tool.isHelperToolValidAndPrivileged());
    std::string path;
    bool viaPkexec = true;
    ASSERT_EQ(tool.copyHelperToolURLAndCheckBundled(kApplicationSupportFolderType, path, viaPkexec),
              0);
    EXPECT_EQ(path, places.supportFolder + "/Orvanta/PowerEventTool");
    EXPECT_FALSE(viaPkexec);
    const auto copy = std::filesystem::status(path);
    EXPECT_EQ(copy.permissions() & std::filesystem::perms::set_uid, std::filesystem::perms::none);
    EXPECT_EQ(readFile(path), readFile(kTool));
    struct stat made
    {};
    struct stat shipped
    {};
    ::stat(path.c_str(), &made);
    ::stat(kTool.c_str(), &shipped);
    EXPECT_EQ(made.st_mtim.tv_sec, shipped.st_mtim.tv_sec) << "it carries the template's time";
    EXPECT_FALSE(tool.isHelperToolValidAndPrivileged()) << "copied, not yet privileged";
    if (::geteuid() != 0)
        GTEST_SKIP() << "making it root's needs root";

    makePrivileged(path);
    EXPECT_TRUE(tool.isHelperToolValidAndPrivileged());
    ASSERT_EQ(tool.copyHelperToolURLAndCheckBundled(kApplicationSupportFolderType, path, viaPkexec),
              0);
    EXPECT_EQ(statOf(path).st_mode & 07777, 04550u) << "a valid copy is kept as it is";

    // An update of the program (a template of another time) invalidates it.
    const timespec later[2] = {{shipped.st_mtim.tv_sec + 60, 0}, {shipped.st_mtim.tv_sec + 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), later, 0), 0);
    EXPECT_FALSE(tool.isHelperToolValidAndPrivileged());

    // A link to a privileged helper is never taken for one.
    const std::string real = dir.file("real-tool");
    std::filesystem::rename(path, real);
    const timespec same[2] = {shipped.st_mtim, shipped.st_mtim};
    ::utimensat(AT_FDCWD, real.c_str(), same, 0);
    std::filesystem::create_symlink(real, path);
    EXPECT_FALSE(tool.isHelperToolValidAndPrivileged());

    tool.removeWakeFromSleepTool();
    EXPECT_FALSE(std::filesystem::is_symlink(path));
    EXPECT_TRUE(std::filesystem::is_directory(places.supportFolder + "/Orvanta")) << "folders stay";
}

TEST_F(PowerEventToolLoaderTest, ARequestGoesThroughTheRealHelperToTheWakeAlarm)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "making the helper root's needs root";
    PowerEventToolLoader tool = loader();
    std::string path;
    bool viaPkexec = false;
    ASSERT_EQ(tool.copyHelperToolURLAndCheckBundled(kApplicationSupportFolderType, path, viaPkexec),
              0);
    makePrivileged(path);
    ASSERT_TRUE(tool.isHelperToolValidAndPrivileged());

    EXPECT_EQ(tool.invokeHelperToolWithRequest(std::nullopt), 0) << "set-up only";
    EXPECT_EQ(readFile(kStandInAlarm), "");
    const std::time_t now = std::time(nullptr);
    EXPECT_EQ(tool.scheduleWakeFromSleep(Date{now + 120.0}), 0);
    EXPECT_EQ(readFile(kStandInAlarm), std::to_string(now + 120) + "\n");
    EXPECT_EQ(tool.scheduleSleep(Date{now + 120.0}), kPowerUnsupported);
    EXPECT_EQ(tool.cancelWakeFromSleep(Date{now + 60.0}), kPowerNotFound);
    EXPECT_EQ(tool.cancelWakeFromSleep(Date{now + 120.0}), 0);
    EXPECT_EQ(readFile(kStandInAlarm), "0\n");
    ASSERT_EQ(alerts.size(), 2u) << "one alert per failed request";
    EXPECT_NE(alerts[1].find("Wake From Sleep Error: Orvanta failed to enable the feature due to "
                             "error (" +
                             std::to_string(kPowerNotFound) + ")"),
              std::string::npos)
        << alerts[1];
}

TEST_F(PowerEventToolLoaderTest, AHelperThatFailsOrDiesIsReportedByItsExitStatus)
{
    PowerEventToolLoader tool = loader();
    const Bytes token(kAuthorisationSize, 1);
    Dictionary response;
    auto exchange = [&](const std::string& helper) {
        return tool.executeRequestInHelperTool(helper, false, token, Dictionary{}, response);
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

    std::string path;
    bool viaPkexec = false;
    EXPECT_EQ(tool.copyHelperToolURLAndCheckBundled(kApplicationSupportFolderType, path, viaPkexec),
              kFolderCannotHoldPrivilegedTool);
    EXPECT_FALSE(std::filesystem::exists(places.supportFolder + "/Orvanta/PowerEventTool"));

    answer = false;
    EXPECT_EQ(tool.invokeHelperToolWithRequest(std::nullopt), kUserCancelled);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_NE(questions[0].find("does not allow set-user-id programs"), std::string::npos);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].find("(-128)"), std::string::npos) << alerts[0];

    // Yes: the copy goes into the temporary folder (run by root here, it serves at once).
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
    std::string path;
    bool viaPkexec = false;
    ASSERT_EQ(tool.copyHelperToolURLAndCheckBundled(kApplicationSupportFolderType, path, viaPkexec),
              0);
    EXPECT_EQ(path, places.systemTool);
    EXPECT_TRUE(viaPkexec) << "it runs through pkexec and its polkit action";
    EXPECT_FALSE(std::filesystem::exists(places.supportFolder + "/Orvanta/PowerEventTool"));

    ::chmod(places.systemTool.c_str(), 0775);
    EXPECT_FALSE(tool.isHelperToolValidAndPrivileged()) << "writable by its group";
    ::chmod(places.systemTool.c_str(), 04755);
    EXPECT_FALSE(tool.isHelperToolValidAndPrivileged()) << "a set-user-id system copy";
}
