#include "PrefsController.h"

#include "Log.h"
#include "PrefsKeys.h"
#include "PropertyList.h"
#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <thread>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

class PrefsControllerTest : public ::testing::Test
{
protected:
    test::TempDir dir;
    std::string storePath = dir.file("config/Orvanta/Orvanta.plist");

    std::vector<std::string> filesBeside() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.file("config/Orvanta")))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

} // namespace

TEST_F(PrefsControllerTest, AFreshUserGetsEveryInitialValueInRegistrationOrder)
{
    // The XDG music folder is the user's choice in user-dirs.dirs.
    const std::string config = dir.file("xdg-config");
    std::filesystem::create_directories(config);
    test::writeFile(config + "/user-dirs.dirs", "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n");
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = oldConfig ? oldConfig : "";
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    PrefsController prefs(storePath, "1.2.3");
    const std::string download = prefs.stringForKey(prefs::kDownloadPath);
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);

    EXPECT_EQ(download, std::string(std::getenv("HOME")) + "/Tunes");
    EXPECT_EQ(PrefsController::registeredDefaults().keys(),
              (std::vector<std::string>{"bundleversion",
                                        "downloadpath",
                                        "proxyhost",
                                        "proxyport",
                                        "useproxy",
                                        "useaqua",
                                        "ignorefilesize",
                                        "ignorefilesizekb",
                                        "relayport",
                                        "searchports",
                                        "diskspacesafety",
                                        "replacestreamname",
                                        "useid3v1",
                                        "LowSpeedDisconnect",
                                        "LowSpeedLimitSeconds",
                                        "AutoReconnect",
                                        "PlaylistDeleteSource",
                                        "AutoReconnectWaitSeconds",
                                        "IgnoreDuplicateRecordings",
                                        "MilitaryTimeInFilenames",
                                        "DirLayout",
                                        "ScheduledDirLayout",
                                        "WakeFromSleep",
                                        "WakeFromSleepWarnIfQuitting",
                                        "listenWithApplication",
                                        "stationdirectory",
                                        "JournalDays",
                                        "JournalBudgetMB",
                                        "ListenBufferMinutes",
                                        "KeepRecordingInTray"}));
    EXPECT_EQ(prefs.integerForKey(prefs::kRelayPort), 50505);
    EXPECT_EQ(prefs.stringForKey(prefs::kStationDirectory), "") << "empty: the public servers";
    EXPECT_EQ(prefs.integerForKey(prefs::kDirLayout), 26);
    EXPECT_EQ(prefs.integerForKey(prefs::kScheduledDirLayout), 38);
    EXPECT_EQ(prefs.integerForKey(prefs::kAutoReconnectWaitSeconds), 2);
    EXPECT_EQ(prefs.integerForKey(prefs::kJournalDays), 3);
    EXPECT_EQ(prefs.integerForKey(prefs::kJournalBudgetMB), 2048);
    EXPECT_EQ(prefs.integerForKey(prefs::kListenBufferMinutes), 10);
    EXPECT_EQ(prefs.stringForKey(prefs::kProxyHost), "No proxy set");
    EXPECT_TRUE(prefs.getPrefsForKey(prefs::kUseProxy).isBool());
    EXPECT_TRUE(prefs.boolForKey(prefs::kSearchPorts));
    EXPECT_TRUE(prefs.getPrefsForKey("unregistered").isNull());
    EXPECT_FALSE(test::fileExists(storePath)) << "reading alone writes nothing";
}

TEST_F(PrefsControllerTest, ChangesPersistAndRemovalBringsTheInitialValueBack)
{
    {
        PrefsController prefs(storePath);
        prefs.setPrefs(4464, prefs::kRelayPort);
        prefs.setPrefs(true, prefs::kUseProxy);
        prefs.setPrefs("proxy.local", prefs::kProxyHost);
        prefs.setPrefs(0, prefs::kDirLayout);
    }
    PrefsController prefs(storePath);
    EXPECT_EQ(prefs.integerForKey(prefs::kRelayPort), 4464);
    EXPECT_TRUE(prefs.boolForKey(prefs::kUseProxy));
    EXPECT_EQ(prefs.integerForKey(prefs::kDirLayout), 0);
    prefs.removePrefsForKey(prefs::kRelayPort);
    prefs.setPrefs(Value(), prefs::kDirLayout); // storing nothing removes the key
    EXPECT_EQ(prefs.integerForKey(prefs::kRelayPort), 50505);
    ASSERT_TRUE(prefs.flush());
    EXPECT_EQ(PrefsController(storePath).integerForKey(prefs::kDirLayout), 26);

    struct stat st
    {};
    ASSERT_EQ(::stat(storePath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::string output;
    EXPECT_EQ(
        test::runCommand(
            "/usr/bin/python3 -c \"import plistlib,sys; d=plistlib.load(open(sys.argv[1],'rb'));"
            " assert d == {'useproxy': True, 'proxyhost': 'proxy.local'}, d\" " +
                storePath,
            &output),
        0)
        << output;
}

TEST_F(PrefsControllerTest, ACorruptFileIsKeptAsideAndStartUpGoesOn)
{
    std::filesystem::create_directories(dir.file("config/Orvanta"));
    const std::string garbage = "<?xml version=\"1.0\"?><plist><dict><key>relayport</key>";
    test::writeFile(storePath, garbage);

    std::vector<std::string> lines;
    auto previous = setLogSink([&](const std::string& line) { lines.push_back(line); });
    PrefsController prefs(storePath);
    setLogSink(previous);

    EXPECT_EQ(prefs.integerForKey(prefs::kRelayPort), 50505);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("PrefsController::load : Preferences could not be read"),
              std::string::npos)
        << lines[0];
    const auto files = filesBeside();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].rfind("Orvanta.plist.damaged-", 0), 0u) << files[0];
    EXPECT_EQ(test::readFile(dir.file("config/Orvanta/" + files[0])), garbage);

    prefs.setPrefs(1234, prefs::kRelayPort);
    ASSERT_TRUE(prefs.flush());
    EXPECT_EQ(PrefsController(storePath).integerForKey(prefs::kRelayPort), 1234);
    EXPECT_EQ(filesBeside().size(), 2u) << "the damaged copy stays";
}

TEST_F(PrefsControllerTest, AFileThatHoldsNoDictionaryIsTreatedAsDamaged)
{
    std::filesystem::create_directories(dir.file("config/Orvanta"));
    test::writeFile(storePath, "<plist><array><integer>1</integer></array></plist>");
    auto previous = setLogSink([](const std::string&) {});
    PrefsController prefs(storePath);
    setLogSink(previous);
    EXPECT_EQ(prefs.integerForKey(prefs::kDirLayout), 26);
    EXPECT_FALSE(test::fileExists(storePath));
}

TEST_F(PrefsControllerTest, CleanupRecordsTheVersionAndDropsOldSettings)
{
    {
        PrefsController prefs(storePath, "0.9");
        prefs.setPrefs(Bytes{1, 2, 3}, prefs::kRadioStreams);
        prefs.setPrefs("/old/path", prefs::kRadioStreamsPath);
        prefs.setPrefs("0.1", prefs::kBundleVersion);
        prefs.cleanup();
    }
    PrefsController prefs(storePath, "1.0");
    EXPECT_FALSE(prefs.userValues().contains(prefs::kRadioStreams));
    EXPECT_FALSE(prefs.userValues().contains(prefs::kRadioStreamsPath));
    EXPECT_EQ(prefs.stringForKey(prefs::kBundleVersion), "0.9");
}

TEST_F(PrefsControllerTest, CallersNeverShareContainersWithTheStore)
{
    PrefsController prefs(storePath);
    Array list{1, 2};
    prefs.setPrefs(list, "list");
    list.append(3);
    Array read = prefs.getPrefsForKey("list").toArray();
    EXPECT_EQ(read.size(), 2u);
    read.clear();
    EXPECT_EQ(prefs.getPrefsForKey("list").toArray().size(), 2u);
}

TEST_F(PrefsControllerTest, TypedReadsConvertLikeTheDefaultsStoreDoes)
{
    PrefsController prefs(storePath);
    prefs.setPrefs("8080", prefs::kProxyPort);
    prefs.setPrefs(2.7, prefs::kLowSpeedLimitSeconds);
    prefs.setPrefs(Array{}, prefs::kIgnoreFileSizeKB);
    EXPECT_EQ(prefs.integerForKey(prefs::kProxyPort), 8080);
    EXPECT_EQ(prefs.integerForKey(prefs::kLowSpeedLimitSeconds), 2);
    EXPECT_EQ(prefs.integerForKey(prefs::kIgnoreFileSizeKB), 0);
    EXPECT_EQ(prefs.stringForKey(prefs::kRelayPort), "50505");
}

TEST_F(PrefsControllerTest, AStoreThatCannotBeSavedStillServesItsValues)
{
    test::writeFile(dir.file("config"), "a file where the folder should be");
    std::vector<std::string> lines;
    auto previous = setLogSink([&](const std::string& line) { lines.push_back(line); });
    PrefsController prefs(storePath);
    prefs.setPrefs(99, prefs::kRelayPort);
    EXPECT_FALSE(prefs.flush());
    setLogSink(previous);
    EXPECT_EQ(prefs.integerForKey(prefs::kRelayPort), 99);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("Could not create the preferences folder"), std::string::npos)
        << lines[0];
}

TEST_F(PrefsControllerTest, ConcurrentReadersAndWritersSeeWholeValues)
{
    PrefsController prefs(storePath);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&prefs, t] {
            const std::string key = "key" + std::to_string(t);
            for (int i = 0; i < 40; ++i) {
                prefs.setPrefs(Dictionary{{"i", i}, {"t", t}}, key);
                const Dictionary back = prefs.getPrefsForKey(key).toDictionary();
                EXPECT_EQ(back.get("t").toInteger(), t);
                EXPECT_EQ(prefs.integerForKey(prefs::kRelayPort), 50505);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    ASSERT_TRUE(prefs.flush());
    PrefsController reread(storePath);
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(
            reread.getPrefsForKey("key" + std::to_string(t)).toDictionary().get("i").toInteger(),
            39);
}

TEST_F(PrefsControllerTest, ABurstOfChangesIsOneWriteThatFollowsOnItsOwn)
{
    using namespace std::chrono_literals;
    PrefsController prefs(storePath);
    for (int i = 0; i < 1000; ++i)
        prefs.setPrefs(i, prefs::kLowSpeedLimitSeconds);
    EXPECT_LE(prefs.saveCount(), 2u) << "changes made within the delay share a write";
    EXPECT_EQ(prefs.integerForKey(prefs::kLowSpeedLimitSeconds), 999);
    // Nobody flushes: the store writes the last value by itself, soon.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < deadline &&
           PrefsController(storePath).integerForKey(prefs::kLowSpeedLimitSeconds) != 999)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(PrefsController(storePath).integerForKey(prefs::kLowSpeedLimitSeconds), 999);
    EXPECT_GE(prefs.saveCount(), 1u);
    EXPECT_LE(prefs.saveCount(), 3u);
    EXPECT_TRUE(prefs.flush()) << "nothing left to write";
}

TEST_F(PrefsControllerTest, WhatIsPendingIsWrittenWhenTheStoreGoes)
{
    {
        PrefsController prefs(storePath);
        prefs.setPrefs(7777, prefs::kRelayPort);
        prefs.setPrefs(false, prefs::kSearchPorts);
    } // well within the delay
    PrefsController reread(storePath);
    EXPECT_EQ(reread.integerForKey(prefs::kRelayPort), 7777);
    EXPECT_FALSE(reread.boolForKey(prefs::kSearchPorts));
}
