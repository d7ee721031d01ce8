// orvanta-cli run as a separate process in a home of its own.

#include "DirectoryStandIn.h"
#include "IcyTestServer.h"
#include "Mp3Fixtures.h"
#include "MyOLVController.h"
#include "NodePropertyKeys.h"
#include "TempDir.h"

#include <filesystem>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <initializer_list>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

using orvanta::test::fileExists;
using orvanta::test::readFile;
using orvanta::test::runCommand;

std::string quoted(const std::string& text)
{
    std::string result = "'";
    for (char c : text) {
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return result + "'";
}

struct Result
{
    int status = -1;
    std::string output;
};

class CliTest : public ::testing::Test
{
protected:
    Result run(std::initializer_list<std::string> args) const
    {
        std::string command = "env HOME=" + quoted(m_home.path()) +
                              " XDG_CONFIG_HOME=" + quoted(m_home.file("config")) +
                              " XDG_DATA_HOME=" + quoted(m_home.file("data")) +
                              " XDG_CACHE_HOME=" + quoted(m_home.file(".cache")) +
                              " TZ=UTC LC_ALL=C.UTF-8 LANGUAGE=" + m_language + " " +
                              quoted(ORVANTA_CLI_PATH);
        for (const std::string& arg : args) {
            command += " " + quoted(arg);
        }
        Result result;
        result.status = runCommand(command, &result.output);
        return result;
    }

    std::string libraryPath() const { return m_home.file("data/Orvanta/radiostreams.data"); }
    std::string prefsPath() const { return m_home.file("config/Orvanta/Orvanta.plist"); }

    /// The Python type name and value of a stored preference, e.g. "int 8080".
    std::string storedPreference(const std::string& key) const
    {
        std::string output;
        const std::string script = "import plistlib,sys; d=plistlib.load(open(sys.argv[1],'rb'));"
                                   "v=d.get(sys.argv[2]); print(type(v).__name__, v)";
        runCommand("/usr/bin/python3 -c " + quoted(script) + " " + quoted(prefsPath()) + " " +
                       quoted(key),
                   &output);
        return output;
    }

    orvanta::test::TempDir m_home;
    std::string m_language = "en"; // the user's languages (LANGUAGE)
};

TEST_F(CliTest, AddsListsAndRemovesStationsInGroups)
{
    ASSERT_EQ(run({"add-group", "Jazz"}).status, 0);
    ASSERT_EQ(run({"add-group", "Late", "--in", "Jazz"}).status, 0);
    ASSERT_EQ(run({"add-stream", "Blue Note", "http://a/1", "http://a/2", "--in", "Jazz/Late",
                   "--user", "ann", "--password", "pw"})
                  .status,
              0);
    ASSERT_EQ(run({"add-stream", "Top", "http://top/"}).status, 0);
    EXPECT_TRUE(fileExists(libraryPath()));

    const Result listed = run({"stations"});
    ASSERT_EQ(listed.status, 0) << listed.output;
    EXPECT_NE(listed.output.find("group Jazz\n  group Late\n    stream Blue Note\n"
                                 "        address: http://a/1\n        address: http://a/2\n"
                                 "        preset: Standard\n"),
              std::string::npos)
        << listed.output;
    EXPECT_NE(listed.output.find("stream Top\n    address: http://top/\n"), std::string::npos);

    // The same name twice in one group would make paths ambiguous.
    const Result twice = run({"add-stream", "Top", "http://other/"});
    EXPECT_EQ(twice.status, 1);
    EXPECT_NE(twice.output.find("already exists"), std::string::npos);

    ASSERT_EQ(run({"remove", "Jazz/Late/Blue Note"}).status, 0);
    const Result after = run({"stations"});
    EXPECT_EQ(after.output.find("Blue Note"), std::string::npos);
    EXPECT_NE(after.output.find("group Late"), std::string::npos);
    ASSERT_EQ(run({"remove", "Jazz"}).status, 0);
    EXPECT_EQ(run({"stations"}).output, "stream Top\n    address: http://top/\n"
                                        "    preset: Standard\n    status: idle\n");
    EXPECT_EQ(run({"forget-offsets", "Top"}).status, 0);
    ASSERT_EQ(run({"add-group", "Talk"}).status, 0);
    const Result group = run({"forget-offsets", "Talk"});
    EXPECT_EQ(group.status, 1);
    EXPECT_NE(group.output.find("is a group"), std::string::npos) << group.output;
}

TEST_F(CliTest, HistoryShowsEachEntrysStatusAndLocation)
{
    ASSERT_EQ(run({"add-stream", "Top", "http://top/"}).status, 0);
    EXPECT_EQ(run({"history", "Top"}).output, "");
    {
        // The recording core is not part of the command line: the entries are written the
        // way it leaves them in the library.
        orvanta::MyOLVController library(nullptr, m_home.file("data/Orvanta"));
        ASSERT_EQ(library.loadOLVData(), orvanta::MyOLVController::LoadResult::Loaded);
        ASSERT_EQ(library.rootNode()->childrenCount(), 1u);
        orvanta::Dictionary recorded{{"location", "/music/a.mp3"}};
        orvanta::Dictionary incomplete{{"location", "/music/b.mp3"}, {"incomplete", true}};
        orvanta::Dictionary small{{"location", "/music/c.mp3"}, {"tooSmall", true}};
        library.rootNode()->childAtIndex(0)->setProperty(
            orvanta::Value(orvanta::Array{recorded, incomplete, small}), orvanta::np::NP_HISTORY);
        ASSERT_TRUE(library.saveOLVData());
    }
    const Result history = run({"history", "Top"});
    EXPECT_EQ(history.status, 0);
    EXPECT_EQ(history.output, "recorded\t/music/a.mp3\n"
                              "ignored\tIncomplete - /music/b.mp3\n"
                              "ignored\tRecording too small - ignored\n");
    ASSERT_EQ(run({"add-group", "G"}).status, 0);
    const Result group = run({"history", "G"});
    EXPECT_EQ(group.status, 1);
    EXPECT_NE(group.output.find("only stations have a history"), std::string::npos);
}

TEST_F(CliTest, DefaultsKeepTheirTypes)
{
    ASSERT_EQ(run({"defaults", "proxyport", "8080"}).status, 0);
    ASSERT_EQ(run({"defaults", "useproxy", "true"}).status, 0);
    ASSERT_EQ(run({"defaults", "proxyhost", "42"}).status, 0);
    ASSERT_EQ(run({"defaults", "myratio", "1.5"}).status, 0);
    ASSERT_EQ(run({"defaults", "mynote", "hello there"}).status, 0);
    EXPECT_EQ(storedPreference("proxyport"), "int 8080\n");
    EXPECT_EQ(storedPreference("useproxy"), "bool True\n");
    EXPECT_EQ(storedPreference("proxyhost"), "str 42\n"); // a string key stays a string
    EXPECT_EQ(storedPreference("myratio"), "float 1.5\n");
    EXPECT_EQ(storedPreference("mynote"), "str hello there\n");

    EXPECT_EQ(run({"defaults", "proxyport"}).output, "8080\n");
    EXPECT_NE(run({"defaults"}).output.find("mynote = \"hello there\""), std::string::npos);

    ASSERT_EQ(run({"defaults", "--delete", "proxyport"}).status, 0);
    EXPECT_EQ(storedPreference("proxyport"), "NoneType None\n");
    ASSERT_EQ(run({"defaults", "--delete", "mynote"}).status, 0);
    const Result gone = run({"defaults", "mynote"});
    EXPECT_EQ(gone.status, 1);
    EXPECT_NE(gone.output.find("no preference \"mynote\""), std::string::npos);

    const Result bad = run({"defaults", "proxyport", "80x"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.output.find("not a valid integer"), std::string::npos);
    EXPECT_EQ(run({"defaults", "--delete"}).status, 2);
}

TEST_F(CliTest, PresetsAreAddedChangedRenamedAndDeleted)
{
    const Result added = run({"preset-add", "Loud"});
    ASSERT_EQ(added.status, 0) << added.output;
    const std::string identifier = added.output.substr(0, added.output.find('\n'));
    EXPECT_NE(run({"presets"}).output.find(identifier + "\tLoud\n"), std::string::npos);

    ASSERT_EQ(run({"preset", "Loud", "NP_SPLITSIZEMB", "7"}).status, 0);
    EXPECT_EQ(run({"preset", identifier, "NP_SPLITSIZEMB"}).output, "7\n");
    ASSERT_EQ(run({"preset-add", "Copy", "--from", "Loud"}).status, 0);
    EXPECT_EQ(run({"preset", "Copy", "NP_SPLITSIZEMB"}).output, "7\n");

    EXPECT_EQ(run({"preset-add", "Loud"}).status, 1);
    EXPECT_EQ(run({"preset", "Standard", "NP_SPLITSIZEMB", "9"}).status, 1);
    EXPECT_EQ(run({"preset", "Loud", "NP_SPLITSIZEMB", "many"}).status, 1);
    const Result unknownKey = run({"preset", "Loud", "NO_SUCH_KEY"});
    EXPECT_EQ(unknownKey.status, 1);
    EXPECT_NE(unknownKey.output.find("no preset key \"NO_SUCH_KEY\""), std::string::npos);

    ASSERT_EQ(run({"add-stream", "Top", "http://top/", "--preset", "Loud"}).status, 0);
    EXPECT_NE(run({"stations"}).output.find("preset: Loud\n"), std::string::npos);
    ASSERT_EQ(run({"preset-rename", "Loud", "Quiet"}).status, 0);
    EXPECT_NE(run({"stations"}).output.find("preset: Quiet\n"), std::string::npos);
    ASSERT_EQ(run({"preset-delete", "Quiet"}).status, 0);
    EXPECT_EQ(run({"presets"}).output.find("Quiet"), std::string::npos);
    EXPECT_NE(run({"stations"}).output.find("preset: Standard\n"), std::string::npos);
    EXPECT_EQ(run({"preset-delete", "Standard"}).status, 1);
    EXPECT_EQ(run({"add-stream", "X", "http://x/", "--preset", "Gone"}).status, 1);
}

TEST_F(CliTest, EveryKeyAPaneEditsCanBeSetIncludingListsAndOnlyValidSplitLimits)
{
    ASSERT_EQ(run({"preset-add", "Talk"}).status, 0);
    const std::pair<const char*, const char*> values[] = {
        {"NP_REWINDSECS", "1.5"},
        {"SPLIT_EARLIER_OR_LATER", "1"},
        {"NP_SPLIT_SEARCH_SECONDS", "3"},
        {"NP_ALWAYSMANUAL", "true"},
        {"NP_MANUALSPLITTYPE", "2"},
        {"NP_SPLITSIZEMB", "3"},
        {"NP_SPLITTIMEMINS", "45"},
        {"NP_LANGUAGE_ENCODING", "4"},
        {"NP_STREAMTITLE_PATTERN", "6"},
        {"NP_STREAMTITLE_SEPARATOR", "~"},
        {"NP_STREAMTITLE_CLEAN", "yes"},
        {"NP_STREAMTITLE_IGNORE", "yes"},
        {"NP_NUMBER_RECORDINGS", "no"},
        {"NUMBER_RECORDINGS_TRACK", "no"},
        {"NP_STREAM_IF_NO_ALBUM", "yes"},
        {"NP_GENRE_TYPE", "2"},
        {"NP_GENRE_CUSTOM", "Talk"},
        {"NP_ADD_TO_PLAYLIST", "no"},
        {"NP_PLAYLIST_NAME_TYPE", "3"},
        {"NP_PLAYLIST_NAME_CUSTOM", "Mine"},
        {"NP_PLAYLIST_NAME_ADD_SCHEDULED_DETAILS", "no"},
        {"NP_COMPILATION_FLAG", "yes"},
    };
    for (const auto& [key, value] : values) {
        const Result set = run({"preset", "Talk", key, value});
        EXPECT_EQ(set.status, 0) << key << ": " << set.output;
    }
    EXPECT_EQ(run({"preset", "Talk", "NP_GENRE_CUSTOM"}).output, "Talk\n");
    EXPECT_EQ(run({"preset", "Talk", "NP_COMPILATION_FLAG"}).output, "true\n");

    // A list takes its items as arguments; "" alone empties it.
    ASSERT_EQ(run({"preset", "Talk", "NP_STREAMTITLE_CLEAN_LIST", "(live)", "[HD]"}).status, 0);
    const std::string list = run({"preset", "Talk", "NP_STREAMTITLE_CLEAN_LIST"}).output;
    EXPECT_NE(list.find("(live)"), std::string::npos) << list;
    EXPECT_NE(list.find("[HD]"), std::string::npos) << list;
    ASSERT_EQ(run({"preset", "Talk", "NP_STREAMTITLE_IGNORE_LIST", "Ad Break"}).status, 0);
    ASSERT_EQ(run({"preset", "Talk", "NP_STREAMTITLE_CLEAN_LIST", ""}).status, 0);
    EXPECT_EQ(run({"preset", "Talk", "NP_STREAMTITLE_CLEAN_LIST"}).output.find("live"),
              std::string::npos);
    EXPECT_NE(run({"preset", "Talk", "NP_STREAMTITLE_IGNORE_LIST"}).output.find("Ad Break"),
              std::string::npos);

    // A limit below 1 would split on every block: refused, the stored value stays.
    for (const char* key : {"NP_SPLITSIZEMB", "NP_SPLITTIMEMINS"}) {
        for (const char* bad : {"0", "-2"}) {
            const Result refused = run({"preset", "Talk", key, bad});
            EXPECT_EQ(refused.status, 1) << key << " " << bad;
            EXPECT_NE(refused.output.find("must be at least 1"), std::string::npos)
                << refused.output;
        }
    }
    EXPECT_EQ(run({"preset", "Talk", "NP_SPLITSIZEMB"}).output, "3\n");
    EXPECT_EQ(run({"preset", "Talk", "NP_SPLITSIZEMB", "3", "4"}).status, 2);
}

TEST_F(CliTest, SchedulesOfEveryFrequencyAreAddedListedAndEdited)
{
    ASSERT_EQ(run({"add-stream", "Top", "http://top/"}).status, 0);
    EXPECT_EQ(run({"next"}).output, "none\n");
    ASSERT_EQ(
        run({"schedule", "Top", "add", "--name", "Morning", "--daily", "07:00", "08:30"}).status,
        0);
    ASSERT_EQ(run({"schedule", "Top", "add", "--name", "Late", "--weekly", "tue", "22:00", "01:00",
                   "--active"})
                  .status,
              0);
    ASSERT_EQ(
        run({"schedule", "Top", "add", "--name", "Once", "--once", "2099-01-02", "10:00", "11:00"})
            .status,
        0);
    ASSERT_EQ(
        run({"schedule", "Top", "add", "--name", "Work", "--weekdays", "09:00", "10:00"}).status,
        0);
    ASSERT_EQ(
        run({"schedule", "Top", "add", "--name", "Rest", "--weekends", "09:00", "10:00"}).status,
        0);

    const Result listed = run({"schedule", "Top", "list"});
    ASSERT_EQ(listed.status, 0) << listed.output;
    EXPECT_NE(listed.output.find("Morning\tinactive\tDaily, 7AM-8:30AM"), std::string::npos)
        << listed.output;
    EXPECT_NE(listed.output.find("Late\tactive\tEvery Tuesday, 10PM-1AM (next day)"),
              std::string::npos);
    EXPECT_NE(listed.output.find("Once\tinactive\t"), std::string::npos);
    EXPECT_NE(listed.output.find("Work\tinactive\tWeekdays, 9AM-10AM"), std::string::npos);
    EXPECT_NE(listed.output.find("Rest\tinactive\tWeekends, 9AM-10AM"), std::string::npos);
    EXPECT_NE(run({"stations"}).output.find("    schedule: Daily, 7AM-8:30AM"), std::string::npos);

    // The same entry twice, or a second entry of the same name, is refused.
    EXPECT_EQ(
        run({"schedule", "Top", "add", "--name", "Morning", "--daily", "07:00", "08:30"}).status,
        1);
    EXPECT_EQ(run({"schedule", "Top", "add", "--name", "Late", "--daily", "01:00", "02:00"}).status,
              1);

    ASSERT_EQ(run({"schedule", "Top", "deactivate", "Late"}).status, 0);
    EXPECT_EQ(run({"next"}).output, "none\n");
    ASSERT_EQ(run({"schedule", "Top", "activate", "Once"}).status, 0);
    EXPECT_EQ(run({"next"}).output, "2099-01-02 10:00 UTC\n");
    ASSERT_EQ(run({"schedule", "Top", "activate", "Morning"}).status, 0);
    const std::string next = run({"next"}).output;
    EXPECT_TRUE(std::regex_match(next, std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2} 07:00 UTC\n")))
        << next;

    ASSERT_EQ(run({"schedule", "Top", "remove", "Rest"}).status, 0);
    const Result after = run({"schedule", "Top", "list"});
    EXPECT_EQ(after.output.find("Rest"), std::string::npos);
    EXPECT_NE(after.output.find("Morning\tactive"), std::string::npos);
    EXPECT_NE(after.output.find("Late\tinactive"), std::string::npos);
}

TEST_F(CliTest, BadInputLeavesTheLibraryAsItWas)
{
    ASSERT_EQ(run({"add-group", "Jazz"}).status, 0);
    ASSERT_EQ(run({"add-stream", "Top", "http://top/", "--in", "Jazz"}).status, 0);
    const std::string before = readFile(libraryPath());

    const Result unknown = run({"remove", "Jazz/Nope"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.output.find("no station or group \"Jazz/Nope\""), std::string::npos);
    EXPECT_EQ(run({"add-stream", "X", "http://x/", "--in", "Jazz/Top"}).status, 1);
    EXPECT_EQ(run({"history", "Nope"}).status, 1);

    const Result command = run({"frobnicate"});
    EXPECT_EQ(command.status, 2);
    EXPECT_NE(command.output.find("unknown command \"frobnicate\""), std::string::npos);
    EXPECT_NE(command.output.find("usage: orvanta-cli"), std::string::npos);
    EXPECT_EQ(run({"add-stream", "OnlyName"}).status, 2);
    EXPECT_EQ(run({"add-stream", "X", "http://x/", "--user", "ann"}).status, 2);
    EXPECT_EQ(run({"add-group", "X", "--colour", "red"}).status, 2);
    EXPECT_EQ(run({"remove"}).status, 2);

    const Result badTime =
        run({"schedule", "Jazz/Top", "add", "--name", "N", "--daily", "25:00", "26:00"});
    EXPECT_EQ(badTime.status, 2);
    EXPECT_NE(badTime.output.find("\"25:00\" is not a time"), std::string::npos);
    EXPECT_EQ(
        run({"schedule", "Jazz/Top", "add", "--name", "N", "--once", "2030-02-30", "1:00", "2:00"})
            .status,
        2);
    EXPECT_EQ(
        run({"schedule", "Jazz/Top", "add", "--name", "N", "--weekly", "someday", "01:00", "02:00"})
            .status,
        2);
    EXPECT_EQ(run({"schedule", "Jazz/Top", "add", "--daily", "01:00", "02:00"}).status, 2);
    EXPECT_EQ(run({"schedule", "Jazz/Top", "add", "--name", "N", "--daily", "01:00", "02:00",
                   "--weekends", "01:00", "02:00"})
                  .status,
              2);
    EXPECT_EQ(run({"schedule", "Jazz/Top", "frob"}).status, 2);
    EXPECT_EQ(run({"schedule", "Jazz/Top", "remove", "Nope"}).status, 1);
    EXPECT_EQ(run({"schedule", "Jazz", "list"}).status, 1);
    EXPECT_EQ(run({"schedule", "Nope", "list"}).status, 1);

    EXPECT_EQ(readFile(libraryPath()), before);
}

TEST_F(CliTest, AnUnreadableLibraryIsNeverOverwritten)
{
    ASSERT_EQ(run({"add-group", "Jazz"}).status, 0);
    const std::string garbage = "this is not a station library";
    orvanta::test::writeFile(libraryPath(), garbage);

    const Result added = run({"add-group", "Rock"});
    EXPECT_EQ(added.status, 1);
    EXPECT_GT(added.output.size(), 20u) << "the alert text explains the failure";
    EXPECT_EQ(run({"stations"}).status, 1);
    EXPECT_EQ(readFile(libraryPath()), garbage);
}

} // namespace

namespace {

/// A paced endless station: 32000 bytes/s of frames, metadata every 8000 bytes.
orvanta::test::IcyMount loopingMount(std::vector<orvanta::test::IcyTitle> titles)
{
    orvanta::test::IcyMount mount;
    mount.audio = orvanta::test::syntheticFrames(300);
    mount.loop = true;
    mount.metaint = 8000;
    mount.bytesPerSecond = 32000;
    mount.titles = std::move(titles);
    return mount;
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST_F(CliTest, RecordsAStationFromTheServerThenListsItsFilesAndHistory)
{
    orvanta::test::IcyTestServer server;
    server.addMount("/stream",
                    loopingMount({{0, "Artist A - First"}, {32000, "Artist B - Second"}}));
    const std::string music = m_home.file("Music");
    ASSERT_EQ(run({"defaults", "downloadpath", music}).status, 0);
    ASSERT_EQ(run({"add-stream", "Radio", server.url()}).status, 0);

    const Result recorded = run({"record", "Radio", "--for", "2.5"});
    ASSERT_EQ(recorded.status, 0) << recorded.output;
    std::vector<std::string> files;
    for (const std::string& line : linesOf(recorded.output)) {
        if (line.starts_with(music + "/"))
            files.push_back(line);
    }
    ASSERT_GE(files.size(), 2u) << recorded.output;
    for (const std::string& file : files)
        EXPECT_TRUE(fileExists(file)) << file;
    EXPECT_NE(recorded.output.find("Artist A - First"), std::string::npos)
        << "the song line shows the title being recorded";

    // The files are in the station's saved history, in the order they were written.
    const Result history = run({"history", "Radio"});
    ASSERT_EQ(history.status, 0);
    const auto entries = linesOf(history.output);
    ASSERT_EQ(entries.size(), files.size()) << history.output;
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_NE(entries[i].find(files[i]), std::string::npos) << entries[i];

    // The cut before the second song, listed from the session journal, then moved; the
    // station's cut timing takes the correction in.
    const Result cuts = run({"cuts", "Radio"});
    ASSERT_EQ(cuts.status, 0) << cuts.output;
    const auto cutLines = linesOf(cuts.output);
    ASSERT_EQ(cutLines.size(), files.size() - 1) << cuts.output;
    EXPECT_NE(cutLines[0].find(" s\t"), std::string::npos) << cutLines[0];
    EXPECT_NE(cutLines[0].find(files[1]), std::string::npos) << cutLines[0];
    const std::string timingBefore = run({"stations"}).output;
    const auto sizeBefore = std::filesystem::file_size(files[1]);
    const Result moved = run({"recut", files[1], "--by", "-0.5"});
    ASSERT_EQ(moved.status, 0) << moved.output;
    EXPECT_NE(moved.output.find("Moved the cut by -0.50 s"), std::string::npos) << moved.output;
    EXPECT_GT(std::filesystem::file_size(files[1]), sizeBefore + 7000) << "half a second more";
    EXPECT_NE(run({"stations"}).output, timingBefore);

    std::filesystem::remove_all(m_home.file(".cache/Orvanta/sessions"));
    const Result refused = run({"recut", files[1], "--by", "0.5"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("No journal holds the recording of"), std::string::npos)
        << refused.output;
}

TEST_F(CliTest, RecordingsThatCannotStartOrBadArgumentsFailWithTheirReason)
{
    ASSERT_EQ(
        run({"add-stream", "Radio",
             "http://127.0.0.1:" + std::to_string(orvanta::test::unusedLoopbackPort()) + "/stream"})
            .status,
        0);
    ASSERT_EQ(run({"defaults", "AutoReconnect", "false"}).status, 0);
    const std::string libraryBefore = readFile(libraryPath());

    const Result refused = run({"record", "Radio", "--for", "20"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("Connection Failure - Busy station or invalid web address"),
              std::string::npos)
        << refused.output;

    const Result unknown = run({"record", "Nowhere"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.output.find("Nowhere"), std::string::npos);
    EXPECT_EQ(run({"record"}).status, 2);
    EXPECT_EQ(run({"record", "Radio", "--for", "0"}).status, 2);
    EXPECT_EQ(run({"record", "Radio", "--for", "soon"}).status, 2);
    EXPECT_EQ(run({"run", "extra"}).status, 2);

    const Result stations = run({"stations"});
    EXPECT_NE(stations.output.find("Radio"), std::string::npos) << stations.output;
}

TEST_F(CliTest, ErrorStatusesFailTheRecordingAndLeaveNoFile)
{
    orvanta::test::IcyTestServer server;
    const std::string music = m_home.file("Music");
    ASSERT_EQ(run({"defaults", "downloadpath", music}).status, 0);
    ASSERT_EQ(run({"defaults", "AutoReconnectWaitSeconds", "0"}).status, 0);
    const struct
    {
        int code;
        bool body;
        const char* text;
    } cases[] = {
        {404, true, "The server answered 404 Not Found"},
        {403, true, "The server answered 403 Forbidden"},
        {500, false, "The server answered 500 Internal Server Error"},
        {503, true, "The server answered 503 Service Unavailable"},
        {503, false, "The server answered 503 Service Unavailable"},
    };
    for (const bool reconnect : {false, true}) {
        ASSERT_EQ(run({"defaults", "AutoReconnect", reconnect ? "true" : "false"}).status, 0);
        for (const auto& c : cases) {
            orvanta::test::IcyMount mount;
            mount.statusCode = c.code;
            mount.errorBody = c.body;
            const std::string path = "/e" + std::to_string(c.code) + (c.body ? "b" : "");
            server.addMount(path, mount);
            const int before = server.connectionCount();
            const Result result = run({"record", server.url(path), "--for", "1.5"});
            const std::string what = std::to_string(c.code) + (c.body ? " with a body" : "") +
                                     (reconnect ? ", reconnecting" : "");
            EXPECT_EQ(result.status, 1) << what << "\n" << result.output;
            EXPECT_NE(result.output.find(c.text), std::string::npos) << what << "\n"
                                                                     << result.output;
            EXPECT_TRUE(orvanta::test::filesBelow(music).empty()) << what;
            if (reconnect) {
                EXPECT_GT(server.connectionCount(), before + 1) << "retried: " << what;
            }
        }
    }
}

TEST_F(CliTest, AnswersWithoutAudioFailWithTheirReasonAndLeaveNoFile)
{
    orvanta::test::IcyTestServer server;
    server.addFile("/page", "text/html", "<html><body>Welcome to our radio!</body></html>\n");
    orvanta::test::IcyMount noise;
    noise.style = orvanta::test::IcyMount::Style::Icecast;
    noise.audio.assign(300 * 1024, 0x55); // no MP3 frame anywhere
    noise.sendContentLength = true;
    server.addMount("/noise", noise);
    server.addFile("/self.pls", "audio/x-scpls",
                   "[playlist]\nnumberofentries=1\nFile1=" + server.url("/self.pls") + "\n");
    const std::string music = m_home.file("Music");
    ASSERT_EQ(run({"defaults", "downloadpath", music}).status, 0);
    ASSERT_EQ(run({"defaults", "AutoReconnect", "false"}).status, 0);

    const std::pair<std::string, std::string> cases[] = {
        {"/page", "No MP3 audio in the stream"},
        {"/noise", "No MP3 audio in the stream"},
        {"/self.pls", "The playlist refers to itself"},
    };
    for (const auto& [path, reason] : cases) {
        const Result result = run({"record", server.url(path), "--for", "3"});
        EXPECT_EQ(result.status, 1) << path << "\n" << result.output;
        EXPECT_NE(result.output.find(reason), std::string::npos) << path << "\n" << result.output;
        EXPECT_TRUE(orvanta::test::filesBelow(music).empty()) << path;
    }
}

TEST_F(CliTest, RunTidiesUpThenRecordsOnScheduleAndSavesTheHistory)
{
    orvanta::test::IcyTestServer server;
    server.addMount("/stream", loopingMount({{0, "Artist A - First"}}));
    ASSERT_EQ(run({"defaults", "downloadpath", m_home.file("Music")}).status, 0);
    ASSERT_EQ(run({"add-stream", "Radio", server.url()}).status, 0);
    // A window open from this minute to two minutes on (times are UTC in these tests).
    std::time_t now = std::time(nullptr);
    if (now % 86400 >= 86400 - 150) {
        // Keep the window inside one day: wait for midnight (rarely, and never long).
        std::this_thread::sleep_for(std::chrono::seconds(86400 - now % 86400 + 2));
        now = std::time(nullptr);
    }
    auto clock = [](std::time_t t, const char* format) {
        std::tm fields{};
        gmtime_r(&t, &fields);
        char text[32];
        std::strftime(text, sizeof text, format, &fields);
        return std::string(text);
    };
    ASSERT_EQ(run({"schedule", "Radio", "add", "--name", "Now", "--once", clock(now, "%Y-%m-%d"),
                   clock(now, "%H:%M"), clock(now + 120, "%H:%M"), "--active"})
                  .status,
              0);
    // What an interrupted save left behind a day ago goes; a fresh one may still be in use.
    const std::string stale = m_home.file("data/Orvanta/.radiostreams.data.tmp-AbC123");
    const std::string fresh = m_home.file("data/Orvanta/.radiostreams.data.tmp-XyZ789");
    orvanta::test::writeFile(stale, "partial");
    orvanta::test::writeFile(fresh, "partial");
    const timeval old[2] = {{now - 3 * 86400, 0}, {now - 3 * 86400, 0}};
    ASSERT_EQ(::utimes(stale.c_str(), old), 0);

    const Result ran = run({"run", "--for", "9"});
    EXPECT_EQ(ran.status, 0) << ran.output;
    EXPECT_FALSE(fileExists(stale));
    EXPECT_TRUE(fileExists(fresh));
    struct stat folder
    {};
    ASSERT_EQ(::stat(m_home.file("data/Orvanta").c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_NE(ran.output.find("Recording 1 stream..."), std::string::npos) << ran.output;

    // The scheduled recording was stopped at shut-down and its files are in the history.
    const Result history = run({"history", "Radio"});
    ASSERT_EQ(history.status, 0);
    const auto entries = linesOf(history.output);
    ASSERT_FALSE(entries.empty()) << ran.output;
    for (const std::string& entry : entries)
        EXPECT_NE(entry.find(m_home.file("Music")), std::string::npos) << entry;
}

TEST_F(CliTest, RecordWithListenServesTheRecordingToAPlayerOnThisComputer)
{
    orvanta::test::IcyTestServer server;
    server.addMount("/stream", loopingMount({{0, "Artist A - First"}}));
    const std::uint16_t relayPort = orvanta::test::unusedLoopbackPort();
    ASSERT_EQ(run({"defaults", "downloadpath", m_home.file("Music")}).status, 0);
    ASSERT_EQ(run({"defaults", "relayport", std::to_string(relayPort)}).status, 0);

    // The address with its token is known from what the program prints as it records.
    const std::string printed = m_home.file("record.out");
    Result recorded;
    std::thread recorder([&] {
        recorded.status = runCommand("env HOME=" + quoted(m_home.path()) +
                                         " XDG_CONFIG_HOME=" + quoted(m_home.file("config")) +
                                         " XDG_DATA_HOME=" + quoted(m_home.file("data")) +
                                         " LC_ALL=C.UTF-8 LANGUAGE=en " + quoted(ORVANTA_CLI_PATH) +
                                         " record " + quoted(server.url()) +
                                         " --for 4 --listen > " + quoted(printed) + " 2>&1",
                                     nullptr);
    });
    const std::string prefix = "Listen at http://localhost:" + std::to_string(relayPort);
    std::string path;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(6);
    while (path.empty() && std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(printed);
        for (std::string line; std::getline(in, line);)
            if (line.rfind(prefix, 0) == 0)
                path = line.substr(prefix.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_EQ(path.size(), 33u) << "a token of 32 hex digits: " << path;
    // Without the token the relay serves nothing.
    const auto refusedFor = [relayPort](const std::string& request) {
        const int fd = orvanta::test::connectToLoopback(relayPort);
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        char buffer[64] = {};
        timeval timeout{2, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        const ssize_t n = ::recv(fd, buffer, sizeof buffer - 1, 0);
        ::close(fd);
        return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    };
    EXPECT_EQ(refusedFor("GET / HTTP/1.0\r\n\r\n").rfind("HTTP/1.0 404", 0), 0u);
    EXPECT_EQ(refusedFor("GET " + path + " HTTP/1.1\r\nHost: attacker.example\r\n\r\n")
                  .rfind("HTTP/1.0 403", 0),
              0u)
        << "a foreign name for the loopback address";
    EXPECT_EQ(refusedFor("GET " + path +
                         " HTTP/1.1\r\nHost: localhost\r\nOrigin: "
                         "http://page.example\r\n\r\n")
                  .rfind("HTTP/1.0 403", 0),
              0u)
        << "a web page";
    // Play the relay as a player would, once it serves.
    std::string heard;
    while (heard.size() < 20000 && std::chrono::steady_clock::now() < deadline) {
        const int fd = orvanta::test::connectToLoopback(relayPort);
        if (fd >= 0) {
            const std::string request = "GET " + path + " HTTP/1.0\r\n\r\n";
            ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
            timeval timeout{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
            char buffer[8192];
            for (ssize_t n; heard.size() < 20000 && (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
                heard.append(buffer, static_cast<std::size_t>(n));
        }
        if (fd >= 0)
            ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    recorder.join();
    EXPECT_EQ(recorded.status, 0);
    EXPECT_EQ(heard.rfind("ICY 200 OK\r\n", 0), 0u) << heard.substr(0, 200);
    EXPECT_GE(heard.size(), 20000u) << "the player hears the recording's audio";
}

namespace {
constexpr const char* kTestJazz = "a1000000-0000-4000-8000-000000000001";
constexpr const char* kWmaJazz = "a1000000-0000-4000-8000-000000000011";
} // namespace

TEST_F(CliTest, SearchesTheDirectoryAddsItsStationsAndCountsTheirRecordings)
{
    orvanta::test::IcyTestServer server;
    server.addMount("/stream",
                    loopingMount({{0, "Artist A - First"}, {32000, "Artist B - Second"}}));
    orvanta::test::DirectoryStandIn directory(server.url());
    const std::string music = m_home.file("Music");
    ASSERT_EQ(run({"defaults", "downloadpath", music}).status, 0);
    ASSERT_EQ(run({"defaults", "stationdirectory", directory.address()}).status, 0);

    // Only what can be recorded, unless asked for everything.
    Result found = run({"search", "", "--tag", "jazz", "--country", "DE"});
    ASSERT_EQ(found.status, 0) << found.output;
    EXPECT_NE(found.output.find(kTestJazz), std::string::npos) << found.output;
    EXPECT_NE(found.output.find("Berlin Jazz Lounge"), std::string::npos);
    EXPECT_NE(found.output.find("Hamburg Jazz AAC"), std::string::npos) << "AAC is recorded";
    EXPECT_EQ(found.output.find("no ("), std::string::npos) << "HLS is recorded too";
    found = run({"search", "", "--tag", "jazz", "--all", "--limit", "2"});
    ASSERT_EQ(found.status, 0) << found.output;
    EXPECT_NE(found.output.find("Hamburg Jazz AAC"), std::string::npos) << found.output;
    EXPECT_NE(found.output.find("more stations match"), std::string::npos);
    EXPECT_EQ(run({"search", "no such station"}).output, "No stations found.\n");
    EXPECT_EQ(run({"search", "x", "--limit", "0"}).status, 2);

    ASSERT_EQ(run({"add-group", "Jazz"}).status, 0);
    const Result added = run({"add-from-directory", kTestJazz, "--in", "Jazz"});
    ASSERT_EQ(added.status, 0) << added.output;
    EXPECT_NE(added.output.find("Added \"Orvanta Test Jazz\""), std::string::npos);
    const std::string before = readFile(libraryPath());

    // Refusals leave the library as it was.
    Result refused = run({"add-from-directory", kTestJazz, "--in", "Jazz"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("already exists"), std::string::npos) << refused.output;
    refused = run({"add-from-directory", kWmaJazz});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("sends WMA, which Orvanta cannot record"), std::string::npos)
        << refused.output;
    refused = run({"add-from-directory", "00000000-unknown"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("does not know this station"), std::string::npos);
    directory.setFault("status", 503);
    refused = run({"search", "Berlin"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("The server answered 503"), std::string::npos) << refused.output;
    refused = run({"add-from-directory", "a1000000-0000-4000-8000-000000000002"});
    EXPECT_EQ(refused.status, 1);
    directory.setFault("malformed");
    EXPECT_EQ(run({"add-from-directory", "a1000000-0000-4000-8000-000000000002"}).status, 1);
    directory.setFault("none");
    EXPECT_EQ(readFile(libraryPath()), before);

    const Result stations = run({"stations"});
    EXPECT_NE(stations.output.find("Orvanta Test Jazz"), std::string::npos) << stations.output;
    EXPECT_NE(stations.output.find(server.url()), std::string::npos) << stations.output;

    EXPECT_EQ(directory.requestCount("/json/url/"), 0) << "adding is no click";
    const Result recorded = run({"record", "Jazz/Orvanta Test Jazz", "--for", "2.5"});
    ASSERT_EQ(recorded.status, 0) << recorded.output;
    EXPECT_NE(recorded.output.find("Artist A - First"), std::string::npos);
    EXPECT_EQ(directory.requestCount(std::string("/json/url/") + kTestJazz), 1);
}

// The user's language: the usage and the messages in German, the command syntax as it is.
TEST_F(CliTest, SpeaksTheUsersLanguageButKeepsItsCommandSyntax)
{
    const Result english = run({"--help"});
    m_language = "de";
    const Result german = run({"--help"});
    ASSERT_EQ(english.status, 0);
    ASSERT_EQ(german.status, 0);
    std::istringstream englishLines(english.output), germanLines(german.output);
    std::string en, de;
    int descriptions = 0;
    while (std::getline(englishLines, en) && std::getline(germanLines, de)) {
        if (en.starts_with("      ")) { // what a command does
            ++descriptions;
            EXPECT_NE(en, de) << "untranslated: " << en;
        } else if (en.starts_with("  ")) { // its synopsis
            EXPECT_EQ(en, de);
        }
    }
    EXPECT_GT(descriptions, 20);
    EXPECT_NE(german.output.find("Aufruf: orvanta-cli BEFEHL [ARGUMENTE]"), std::string::npos);
    EXPECT_NE(german.output.find("Befehle:"), std::string::npos);
    const Result unknown = run({"nosuch"});
    EXPECT_NE(unknown.output.find("unbekannter Befehl \"nosuch\""), std::string::npos)
        << unknown.output;
}
