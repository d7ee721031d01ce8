#include "ScriptRunner.h"

#include "ScriptFixtures.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

class ScriptRunnerTest : public ::testing::Test
{
protected:
    std::string shipped(const std::string& name, const std::string& body)
    {
        return writeScript(m_shipped.path(), name, body);
    }
    double secondsSince(std::chrono::steady_clock::time_point start)
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    TempDir m_shipped;
    TempDir m_user;
    TempDir m_work;
    ScriptRunner m_runner{m_shipped.path(), m_user.path()};
};

} // namespace

// --- Locating a script ------------------------------------------------------------------

TEST_F(ScriptRunnerTest, UserCopyOverridesShippedScriptOnlyWhenExecutable)
{
    shipped("addToUserPlaylist", "echo shipped");
    EXPECT_EQ(m_runner.locateScript("addToUserPlaylist"), m_shipped.file("addToUserPlaylist"));

    writeFile(m_user.file("addToUserPlaylist"), "#!/bin/bash\necho user\n");
    EXPECT_EQ(m_runner.locateScript("addToUserPlaylist"), m_shipped.file("addToUserPlaylist"))
        << "a user copy that cannot run must not shadow the working one";

    writeScript(m_user.path(), "addToUserPlaylist", "echo user");
    EXPECT_EQ(m_runner.runHandler("addToUserPlaylist", "h", {}).resultText(), "user");

    ScriptRunner noUserFolder(m_shipped.path(), std::nullopt);
    EXPECT_EQ(noUserFolder.runHandler("addToUserPlaylist", "h", {}).resultText(), "shipped");
}

TEST_F(ScriptRunnerTest, MissingScriptsAndPathLikeNamesAreNotFound)
{
    writeScript(m_work.path(), "outside", "echo escaped");
    const std::string escape =
        "../" + m_work.path().substr(m_work.path().rfind('/') + 1) + "/outside";
    ASSERT_TRUE(fileExists(m_shipped.path() + "/" + escape));
    for (const std::string& name : {escape, std::string("sub/outside"), std::string(".."),
                                    std::string(""), std::string("missing")})
        EXPECT_EQ(m_runner.runHandler(name, "h", {}).status, ScriptResult::Status::NotFound)
            << name;
    mkdir(m_shipped.file("folder").c_str(), 0755);
    EXPECT_FALSE(m_runner.locateScript("folder"));
}

TEST_F(ScriptRunnerTest, DefaultFoldersFollowResourcesAndApplicationData)
{
    const auto expected =
        (std::filesystem::path(ORVANTA_TEST_DATA_DIR) / "../resources/Scripts").lexically_normal();
    EXPECT_EQ(ScriptRunner::defaultShippedFolder(), expected.string());
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", m_work.path().c_str(), 1);
    EXPECT_EQ(ScriptRunner::defaultUserFolder(), m_work.path() + "/Orvanta/Scripts");
    if (old)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

// --- Arguments, results and errors ------------------------------------------------------

TEST_F(ScriptRunnerTest, EveryArgumentArrivesAsOneWordWithoutShellInterpretation)
{
    const std::string argsFile = m_work.file("args");
    const std::string marker = m_work.file("injected");
    shipped("record", recordArgumentsBody(argsFile));
    const std::vector<std::string> arguments{"/home/me/Music/It's a \"live\" set; $(touch " +
                                                 marker + ") `touch " + marker + "`.mp3",
                                             "Morning *  Show",
                                             "",
                                             "line one\nline two",
                                             "Grüße – 東京",
                                             "-n"};

    const ScriptResult result = m_runner.runHandler("record", "addtouserplaylist", arguments);

    ASSERT_TRUE(result.ok()) << result.errorMessage;
    std::vector<std::string> expected{"addtouserplaylist"};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(readRecordedArguments(argsFile), expected);
    EXPECT_FALSE(fileExists(marker));
}

TEST_F(ScriptRunnerTest, ArgumentWithNulIsRefusedBeforeRunning)
{
    const std::string argsFile = m_work.file("args");
    shipped("record", recordArgumentsBody(argsFile));
    const ScriptResult result = m_runner.runHandler("record", "h", {std::string("a\0b", 3)});
    EXPECT_EQ(result.status, ScriptResult::Status::LaunchFailed);
    EXPECT_FALSE(fileExists(argsFile));
}

TEST_F(ScriptRunnerTest, StandardOutputIsTheResult)
{
    shipped("answer", "echo \"$1:$2\"; echo second line; printf '\\r\\n\\n'");
    const ScriptResult result = m_runner.runHandler("answer", "handler", {"arg"});
    ASSERT_EQ(result.status, ScriptResult::Status::Success);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.output, "handler:arg\nsecond line\n\r\n\n");
    EXPECT_EQ(result.resultText(), "handler:arg\nsecond line");
    EXPECT_TRUE(result.errorMessage.empty());
}

TEST_F(ScriptRunnerTest, NonZeroExitIsScriptErrorWithStandardErrorAsMessage)
{
    shipped("fails", "echo partial; echo 'Player is not running' >&2; exit 3");
    const ScriptResult result = m_runner.runHandler("fails", "h", {});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_EQ(result.errorMessage, "Player is not running");
}

TEST_F(ScriptRunnerTest, DeathBySignalIsReported)
{
    shipped("dies", "kill -KILL $$");
    const ScriptResult result = m_runner.runHandler("dies", "h", {});
    EXPECT_EQ(result.status, ScriptResult::Status::Signalled);
    EXPECT_EQ(result.exitStatus, 9);
}

TEST_F(ScriptRunnerTest, LargeOutputOnBothStreamsIsCapturedWhole)
{
    shipped("chatty", "head -c 300000 /dev/zero | tr '\\0' o; "
                      "head -c 100000 /dev/zero | tr '\\0' e >&2; exit 1");
    const ScriptResult result = m_runner.runHandler("chatty", "h", {});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);
    EXPECT_EQ(result.output, std::string(300000, 'o'));
    EXPECT_EQ(result.errorMessage, std::string(100000, 'e'));
}

TEST_F(ScriptRunnerTest, StandardInputIsEmpty)
{
    m_runner.setTimeLimit(10s);
    shipped("reads", "cat; echo end");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_runner.runHandler("reads", "h", {}).resultText(), "end");
    EXPECT_LT(secondsSince(start), 5.0);
}

// --- Time limit and leftover processes ---------------------------------------------------

TEST_F(ScriptRunnerTest, TimeLimitKillsTheScriptAndWhatItStarted)
{
    const std::string marker = m_work.file("late");
    shipped("hangs", "(sleep 1; touch '" + marker + "') & echo started; sleep 30");
    m_runner.setTimeLimit(300ms);
    const auto start = std::chrono::steady_clock::now();

    const ScriptResult result = m_runner.runHandler("hangs", "h", {});

    EXPECT_EQ(result.status, ScriptResult::Status::TimedOut);
    EXPECT_EQ(result.output, "started\n");
    EXPECT_LT(secondsSince(start), 5.0);
    std::this_thread::sleep_for(1500ms);
    EXPECT_FALSE(fileExists(marker)) << "a child of the timed-out script lived on";
}

TEST_F(ScriptRunnerTest, BackgroundChildKeepingOutputOpenDoesNotDelayTheResult)
{
    shipped("launcher", "sleep 4 & echo launched");
    const auto start = std::chrono::steady_clock::now();
    const ScriptResult result = m_runner.runHandler("launcher", "h", {});
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.resultText(), "launched");
    EXPECT_LT(secondsSince(start), 3.0);
}

// --- The process-wide lock ----------------------------------------------------------------

TEST_F(ScriptRunnerTest, ConcurrentRunsAreSerialised)
{
    const std::string log = m_work.file("log");
    shipped("slow",
            "echo \"start $1\" >> '" + log + "'; sleep 0.3; echo \"end $1\" >> '" + log + "'");
    // A second runner on other folders still shares the one lock.
    TempDir otherFolder;
    writeScript(otherFolder.path(), "slow", readFile(m_shipped.file("slow")));
    ScriptRunner other(otherFolder.path(), std::nullopt);

    std::thread first([&] { m_runner.runHandler("slow", "a", {}); });
    std::thread second([&] { other.runHandler("slow", "b", {}); });
    first.join();
    second.join();

    const std::string lines = readFile(log);
    EXPECT_TRUE(lines == "start a\nend a\nstart b\nend b\n" ||
                lines == "start b\nend b\nstart a\nend a\n")
        << lines;
}

TEST_F(ScriptRunnerTest, RunWaitsWhileTheLockIsHeld)
{
    const std::string marker = m_work.file("ran");
    shipped("touch", "touch '" + marker + "'");
    std::unique_lock hold(ScriptRunner::_OSALock);
    std::thread runner([&] { m_runner.runHandler("touch", "h", {}); });
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(fileExists(marker));
    hold.unlock();
    runner.join();
    EXPECT_TRUE(fileExists(marker));
}
