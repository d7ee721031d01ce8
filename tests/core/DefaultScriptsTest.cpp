// The scripts shipped in resources/Scripts and the template of resources/ScriptTemplates,
// run through ScriptRunner in a home of their own.

#include "FileManagerExtensions.h"
#include "PlaylistFiling.h"
#include "ScriptRunner.h"

#include "EnvironmentOverride.h"
#include "Mp3Fixtures.h"
#include "ScriptFixtures.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

using namespace orvanta;
using namespace orvanta::test;

namespace {

namespace fs = std::filesystem;

constexpr const char* kPython = "/usr/bin/python3";

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

std::string hex(const std::string& text)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

std::string bytesOf(const ByteVector& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

class DefaultScriptsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_env.set("HOME", m_home.path());
        m_env.set("XDG_CONFIG_HOME", m_home.file(".config"));
        m_env.set("XDG_DATA_HOME", m_home.file(".local/share"));
        m_env.set("XDG_CACHE_HOME", m_home.file(".cache"));
        m_env.unset("DBUS_SESSION_BUS_ADDRESS");
        fs::create_directories(m_home.file(".config"));
        fs::create_directories(m_tools.file("bin"));
        writeFile(m_tools.file("tag.py"),
                  "import sys\n"
                  "from mutagen.id3 import ID3, TPE1, TALB\n"
                  "path = sys.argv[1]\n"
                  "artist, album = (bytes.fromhex(a[1:]).decode() for a in sys.argv[2:4])\n"
                  "tags = ID3()\n"
                  "if artist: tags.add(TPE1(encoding=3, text=[artist]))\n"
                  "if album: tags.add(TALB(encoding=3, text=[album]))\n"
                  "tags.save(path, v2_version=3)\n");
        writeFile(m_tools.file("frame.py"),
                  "import sys\n"
                  "from mutagen.id3 import ID3\n"
                  "tags = ID3(sys.argv[1])\n"
                  "frame = tags.get(sys.argv[2])\n"
                  "sys.stdout.write('/'.join(map(str, frame.text)) if frame else '-')\n");
    }

    std::string music(const std::string& relative = "") const
    {
        return m_home.file("Music") + (relative.empty() ? "" : "/" + relative);
    }

    // A small MP3 of synthetic frames at path, with ID3v2.3 artist and album when given.
    void makeMp3(const std::string& path, const std::string& artist, const std::string& album)
    {
        fs::create_directories(fs::path(path).parent_path());
        writeFile(path, bytesOf(syntheticFrames(12)));
        m_tags[path] = Dictionary{{"TPE1", artist}, {"TALB", album}};
        if (artist.empty() && album.empty())
            return;
        std::string output;
        // Labels hold quotes and dollars; hex keeps them away from the shell.
        ASSERT_EQ(runCommand(std::string(kPython) + " '" + m_tools.file("tag.py") + "' '" + path +
                                 "' x" + hex(artist) + " x" + hex(album),
                             &output),
                  0)
            << output;
    }

    // The text of one ID3 frame, "-" when the file has none.
    std::string frame(const std::string& path, const std::string& id)
    {
        std::string output;
        EXPECT_EQ(runCommand(std::string(kPython) + " '" + m_tools.file("frame.py") + "' '" + path +
                                 "' " + id,
                             &output),
                  0)
            << output;
        return output;
    }

    // An executable bash script in the tools folder that is the whole PATH of the scripts.
    void fakeTool(const std::string& name, const std::string& body)
    {
        writeScript(m_tools.file("bin"), name, body);
    }
    void onlyFakeToolsOnPath() { m_env.set("PATH", m_tools.file("bin")); }

    ScriptResult run(const std::string& script, const std::string& handler,
                     const std::vector<std::string>& arguments)
    {
        // The playlist hand-over is built in; its script ships as a template for users.
        if (script == "addToUserPlaylist")
            return m_builtInPlaylist ? fileAsTheBuiltInHandOverDoes(arguments)
                                     : m_templates.runHandler(script, handler, arguments);
        return m_runner.runHandler(script, handler, arguments);
    }

    // The built-in hand-over, answering like the script: its location, or its error. The
    // tags are those makeMp3 wrote into the file, as the history entry carries them.
    ScriptResult fileAsTheBuiltInHandOverDoes(const std::vector<std::string>& arguments)
    {
        EXPECT_EQ(arguments.size(), 3u);
        const auto tags = m_tags.find(arguments.at(0));
        const PlaylistFilingResult filed =
            fileIntoPlaylist(arguments.at(0), arguments.at(1), arguments.at(2) == "1",
                             tags == m_tags.end() ? Dictionary{} : tags->second, userMusicFolder());
        ScriptResult result;
        result.status =
            filed.listed ? ScriptResult::Status::Success : ScriptResult::Status::ScriptError;
        result.exitStatus = filed.listed ? 0 : 1;
        result.output = filed.listed ? filed.location + "\n" : std::string();
        result.errorMessage = filed.error;
        return result;
    }

    bool m_builtInPlaylist = false;
    std::map<std::string, Dictionary> m_tags;

    TempDir m_home;
    TempDir m_tools;
    EnvironmentOverride m_env;
    ScriptRunner m_runner{ORVANTA_SHIPPED_SCRIPTS_DIR, std::nullopt};
    ScriptRunner m_templates{ORVANTA_SCRIPT_TEMPLATES_DIR, std::nullopt};
};

// --- addToUserPlaylist: the template script and the built-in hand-over --------------------

class PlaylistHandOverTest : public DefaultScriptsTest, public ::testing::WithParamInterface<bool>
{
protected:
    void SetUp() override
    {
        DefaultScriptsTest::SetUp();
        m_builtInPlaylist = GetParam();
    }
};

INSTANTIATE_TEST_SUITE_P(ScriptAndBuiltIn, PlaylistHandOverTest, ::testing::Values(false, true),
                         [](const auto& param) { return param.param ? "BuiltIn" : "Script"; });

TEST_P(PlaylistHandOverTest, PlaylistGetsEachFileOnceAndTheFileStaysWhereItIs)
{
    const std::string first = m_home.file("Recordings/First Song – é.mp3");
    const std::string second = m_home.file("Recordings/Second $(date) 'quoted'.mp3");
    makeMp3(first, "", "");
    makeMp3(second, "", "");

    ScriptResult result =
        run("addToUserPlaylist", "addtouserplaylist", {first, "Morning/Show ü", "0"});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    EXPECT_EQ(result.resultText(), first);
    EXPECT_TRUE(fileExists(first));

    const std::string playlist = music("Playlists/Morning-Show ü.m3u");
    ASSERT_TRUE(fileExists(playlist)) << "the name keeps its UTF-8 and loses its slash";
    EXPECT_EQ(readFile(playlist), "#EXTM3U\n" + first + "\n");

    result = run("addToUserPlaylist", "addtouserplaylist", {first, "Morning/Show ü", "0"});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    EXPECT_EQ(readFile(playlist), "#EXTM3U\n" + first + "\n") << "no duplicate line";

    result = run("addToUserPlaylist", "addtouserplaylist", {second, "Morning/Show ü", "0"});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    EXPECT_EQ(result.resultText(), second);
    EXPECT_EQ(readFile(playlist), "#EXTM3U\n" + first + "\n" + second + "\n");
}

TEST_P(PlaylistHandOverTest, PlaylistNamesThatAreNotFileNamesStillGiveAPlaylist)
{
    const std::string file = m_home.file("song.mp3");
    makeMp3(file, "", "");
    for (const std::string& name : {std::string(""), std::string(".."), std::string("/")}) {
        const ScriptResult result =
            run("addToUserPlaylist", "addtouserplaylist", {file, name, "0"});
        ASSERT_TRUE(result.ok()) << name << ": " << result.errorMessage;
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(music()))
        names.push_back(fs::relative(entry.path(), music()).string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"Playlists", "Playlists/-.m3u", "Playlists/Orvanta.m3u"}));
    EXPECT_EQ(readFile(music("Playlists/Orvanta.m3u")), "#EXTM3U\n" + file + "\n");
}

TEST_P(PlaylistHandOverTest, PlaylistAppendsToAnExistingPlaylistWithoutFinalLineEnd)
{
    const std::string file = m_home.file("song.mp3");
    makeMp3(file, "", "");
    fs::create_directories(music("Playlists"));
    writeFile(music("Playlists/Mine.m3u"), "#EXTM3U\n/somewhere/else.mp3");
    const ScriptResult result = run("addToUserPlaylist", "addtouserplaylist", {file, "Mine", "0"});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    EXPECT_EQ(readFile(music("Playlists/Mine.m3u")),
              "#EXTM3U\n/somewhere/else.mp3\n" + file + "\n");
}

TEST_P(PlaylistHandOverTest, FileNameWithLineBreakBecomesOneUriLine)
{
    const std::string file = m_home.file("two\nlines.mp3");
    makeMp3(file, "", "");
    const ScriptResult result = run("addToUserPlaylist", "addtouserplaylist", {file, "P", "0"});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    const auto entries = lines(readFile(music("Playlists/P.m3u")));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1], "file://" + m_home.path() + "/two%0Alines.mp3");
}

TEST_P(PlaylistHandOverTest, DeletingTheSourceMovesTheFileIntoTheLibraryWithoutOverwriting)
{
    // The music folder comes from user-dirs.dirs when it names one.
    writeFile(m_home.file(".config/user-dirs.dirs"),
              "# written by xdg-user-dirs-update\nXDG_MUSIC_DIR=\"$HOME/Tunes\"\n");
    const std::string source = m_home.file("Recordings/Live Set.mp3");
    makeMp3(source, "AC/DC", "..");
    const std::string audio = readFile(source);
    // Tags must not lead outside the library: "/" is no folder, ".." is no album.
    const std::string folder = m_home.file("Tunes/Orvanta Library/AC-DC/Unknown Album");
    fs::create_directories(folder);
    writeFile(folder + "/Live Set.mp3", "an older recording");

    const ScriptResult result =
        run("addToUserPlaylist", "addtouserplaylist", {source, "Live", "1"});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    const std::string moved = folder + "/Live Set 2.mp3";
    EXPECT_EQ(result.resultText(), moved);
    EXPECT_FALSE(fileExists(source));
    EXPECT_EQ(readFile(moved), audio);
    EXPECT_EQ(readFile(folder + "/Live Set.mp3"), "an older recording");
    EXPECT_EQ(readFile(m_home.file("Tunes/Playlists/Live.m3u")), "#EXTM3U\n" + moved + "\n");
    EXPECT_FALSE(fileExists(music()));
}

TEST_P(PlaylistHandOverTest, DeletingTheSourceOfAnUntaggedFileFilesItAsUnknown)
{
    const std::string source = m_home.file("untagged.mp3");
    makeMp3(source, "", "");
    const ScriptResult result = run("addToUserPlaylist", "addtouserplaylist", {source, "X", "1"});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    const std::string moved = music("Orvanta Library/Unknown Artist/Unknown Album/untagged.mp3");
    EXPECT_EQ(result.resultText(), moved);
    EXPECT_TRUE(fileExists(moved));
    EXPECT_FALSE(fileExists(source));

    // A file that is already in its library folder stays put and is not listed twice.
    const ScriptResult again = run("addToUserPlaylist", "addtouserplaylist", {moved, "X", "1"});
    ASSERT_TRUE(again.ok()) << again.errorMessage;
    EXPECT_EQ(again.resultText(), moved);
    EXPECT_TRUE(fileExists(moved));
    EXPECT_EQ(readFile(music("Playlists/X.m3u")), "#EXTM3U\n" + moved + "\n");
}

TEST_P(PlaylistHandOverTest, AMissingFileIsRefusedAndNothingListed)
{
    const std::string missing = m_home.file("gone.mp3");
    const ScriptResult result = run("addToUserPlaylist", "addtouserplaylist", {missing, "P", "0"});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);
    std::string message = result.errorMessage;
    std::transform(message.begin(), message.end(), message.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_NE(message.find("no such file"), std::string::npos) << result.errorMessage;
    EXPECT_NE(result.errorMessage.find(missing), std::string::npos) << result.errorMessage;
    EXPECT_FALSE(fileExists(music("Playlists/P.m3u")));
}

TEST_F(DefaultScriptsTest, PlaylistScriptRefusesBadArguments)
{
    ScriptResult result;
    const std::string file = m_home.file("song.mp3");
    makeMp3(file, "", "");
    result = run("addToUserPlaylist", "addtouserplaylist", {file, "P", "yes"});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);
    EXPECT_TRUE(fileExists(file));
    result = run("addToUserPlaylist", "addtouserplaylist", {file, "P"});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);
    EXPECT_FALSE(fileExists(music("Playlists/P.m3u")));

    result = run("addToUserPlaylist", "addToUserPlaylist", {file, "P", "0"});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);
    EXPECT_NE(result.errorMessage.find("unknown handler addToUserPlaylist"), std::string::npos)
        << result.errorMessage;
}

// --- setAlbumAsCompilation --------------------------------------------------------------

TEST_F(DefaultScriptsTest, CompilationMarksTheAlbumsTracksInMusicAndRecordingsFolders)
{
    const std::string label = "Compilation (2026-12-08 20:00:00) \"$HOME\" 'x'";
    const std::string recordings = m_home.file("Recordings");
    fs::create_directories(m_home.file(".config/Orvanta"));
    writeFile(m_home.file(".config/Orvanta/Orvanta.plist"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
              "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
              "<plist version=\"1.0\"><dict><key>downloadpath</key><string>" +
                  recordings + "</string></dict></plist>\n");

    const std::string inMusic = music("A/one.mp3");
    const std::string inRecordings = recordings + "/Station/two.MP3";
    const std::string otherAlbum = music("A/three.mp3");
    const std::string longerLabel = recordings + "/four.mp3";
    const std::string untagged = recordings + "/five.mp3";
    const std::string notMp3 = recordings + "/six.txt";
    makeMp3(inMusic, "Artist", label);
    makeMp3(inRecordings, "", label);
    makeMp3(otherAlbum, "Artist", "Another Album");
    makeMp3(longerLabel, "Artist", label + " 2");
    makeMp3(untagged, "", "");
    makeMp3(notMp3, "", label);
    const std::string untaggedBytes = readFile(untagged);
    const std::string notMp3Bytes = readFile(notMp3);

    const ScriptResult result = run("setAlbumAsCompilation", "setalbumascompilation", {label});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    EXPECT_EQ(frame(inMusic, "TCMP"), "1");
    EXPECT_EQ(frame(inRecordings, "TCMP"), "1");
    EXPECT_EQ(frame(inMusic, "TPE1"), "Artist") << "other frames are kept";
    EXPECT_EQ(frame(otherAlbum, "TCMP"), "-");
    EXPECT_EQ(frame(longerLabel, "TCMP"), "-");
    EXPECT_EQ(readFile(untagged), untaggedBytes);
    EXPECT_EQ(readFile(notMp3), notMp3Bytes);

    // The tag stays ID3v2.3, the version the recorder writes, and the audio is untouched.
    const std::string marked = readFile(inMusic);
    ASSERT_GT(marked.size(), 4u);
    EXPECT_EQ(marked.substr(0, 4), std::string("ID3\x03", 4));
    const std::string audio = bytesOf(syntheticFrames(12));
    EXPECT_EQ(marked.substr(marked.size() - audio.size()), audio);
}

TEST_F(DefaultScriptsTest, CompilationWithoutFoldersSucceedsAndEmptyLabelFails)
{
    ScriptResult result = run("setAlbumAsCompilation", "setalbumascompilation", {"Nothing"});
    EXPECT_TRUE(result.ok()) << result.errorMessage;
    result = run("setAlbumAsCompilation", "setalbumascompilation", {""});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);
    EXPECT_FALSE(result.errorMessage.empty());
    result = run("setAlbumAsCompilation", "setalbumascompilations", {"Nothing"});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);
    EXPECT_NE(result.errorMessage.find("unknown handler"), std::string::npos);
}

// --- importITunesRadio and pleaseOpenRadioTuner -----------------------------------------

TEST_F(DefaultScriptsTest, ImportListsTheRadioStationsInGroupsOfFour)
{
    fs::create_directories(m_home.file(".local/share/rhythmbox"));
    writeFile(m_home.file(".local/share/rhythmbox/rhythmdb.xml"),
              "<?xml version=\"1.0\" standalone=\"yes\"?>\n"
              "<rhythmdb version=\"2.0\">\n"
              "  <entry type=\"song\"><title>A song</title><genre>Pop</genre>"
              "<location>file:///music/a.mp3</location><bitrate>320</bitrate></entry>\n"
              "  <entry type=\"iradio\">\n"
              "    <title>Jazz &amp; Blues\n  Radio</title>\n"
              "    <genre>Jazz</genre>\n"
              "    <location>http://jazz.example:8000/live</location>\n"
              "    <bitrate>128</bitrate>\n"
              "  </entry>\n"
              "  <entry type=\"iradio\"><title>No Location</title><genre>X</genre></entry>\n"
              "  <entry type=\"iradio\"><title>Talk</title><genre>News</genre>"
              "<comment>Talk all day</comment><location>http://talk.example/</location>"
              "<bitrate>unknown</bitrate></entry>\n"
              "  <entry type=\"iradio\"><location>http://nameless.example/</location></entry>\n"
              "</rhythmdb>\n");
    const ScriptResult result = run("importITunesRadio", "", {});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    const std::vector<std::string> expected{"Jazz & Blues Radio",
                                            "128",
                                            "Jazz",
                                            "http://jazz.example:8000/live",
                                            "Talk",
                                            "0",
                                            "Talk all day",
                                            "http://talk.example/",
                                            "http://nameless.example/",
                                            "0",
                                            "",
                                            "http://nameless.example/"};
    EXPECT_EQ(lines(result.output), expected);
}

TEST_F(DefaultScriptsTest, ImportWithoutDatabaseIsEmptyAndABrokenOneFails)
{
    ScriptResult result = run("importITunesRadio", "", {});
    EXPECT_TRUE(result.ok()) << result.errorMessage;
    EXPECT_EQ(result.output, "");

    fs::create_directories(m_home.file(".local/share/rhythmbox"));
    const std::string database = m_home.file(".local/share/rhythmbox/rhythmdb.xml");
    writeFile(database, "<rhythmdb version=\"2.0\"><entry type=\"song\"/></rhythmdb>");
    result = run("importITunesRadio", "run", {});
    EXPECT_TRUE(result.ok()) << result.errorMessage;
    EXPECT_EQ(result.output, "");

    writeFile(database, "<rhythmdb><entry type=\"iradio\"><title>cut");
    result = run("importITunesRadio", "", {});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);
    EXPECT_NE(result.errorMessage.find(database), std::string::npos) << result.errorMessage;

    // Entity declarations are refused rather than expanded.
    writeFile(database, "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaa\">"
                        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
                        "<rhythmdb><entry type=\"iradio\"><title>&b;</title>"
                        "<location>http://x/</location></entry></rhythmdb>");
    result = run("importITunesRadio", "", {});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);
    EXPECT_EQ(result.output, "");

    result = run("importITunesRadio", "listen", {});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);
}

TEST_F(DefaultScriptsTest, OpenRadioTunerNotifiesAndSucceedsWithoutNotifier)
{
    const std::string log = m_tools.file("notify.log");
    fakeTool("notify-send", recordArgumentsBody(log));
    onlyFakeToolsOnPath();
    ScriptResult result = run("pleaseOpenRadioTuner", "", {});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    const auto words = readRecordedArguments(log);
    ASSERT_GE(words.size(), 2u);
    EXPECT_NE(words[words.size() - 2].find("radio stations"), std::string::npos);

    m_env.set("PATH", m_home.file("nothing-here"));
    result = run("pleaseOpenRadioTuner", "", {});
    EXPECT_TRUE(result.ok()) << result.errorMessage;
}

// --- listenToStream and listenToStreamAudion --------------------------------------------

TEST_F(DefaultScriptsTest, ListeningWithoutPlayerOrOpenerFailsClearly)
{
    onlyFakeToolsOnPath();
    const std::vector<std::pair<std::string, std::vector<std::string>>> calls{
        {"listenwithitunes", {m_home.file("relay.pls"), "1"}},
        {"listenwithitunes", {"http://radio.example/stream", "0"}},
    };
    for (const auto& [handler, arguments] : calls) {
        const ScriptResult result = run("listenToStream", handler, arguments);
        EXPECT_EQ(result.status, ScriptResult::Status::ScriptError) << handler;
        EXPECT_NE(result.errorMessage.find("Cannot play"), std::string::npos)
            << result.errorMessage;
        EXPECT_NE(result.errorMessage.find("xdg-open"), std::string::npos) << result.errorMessage;
    }
    ScriptResult result =
        run("listenToStreamAudion", "listenwithaudion", {"http://localhost:50505"});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);
    EXPECT_NE(result.errorMessage.find("Cannot play"), std::string::npos) << result.errorMessage;

    result = run("listenToStream", "stoplisteningwithitunes", {"http://localhost:50505"});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);
    EXPECT_NE(result.errorMessage.find("gdbus"), std::string::npos) << result.errorMessage;
    result = run("listenToStreamAudion", "stoplisteneningwithaudion", {"http://localhost:50505"});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);

    // Each script offers its own player's handlers only.
    result = run("listenToStreamAudion", "listenwithitunes", {"http://x/", "0"});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);
    EXPECT_NE(result.errorMessage.find("unknown handler"), std::string::npos);
    result = run("listenToStream", "listenwithitunes", {"http://x/", "true"});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);
}

TEST_F(DefaultScriptsTest, ListeningFallsBackToTheDesktopOpener)
{
    const std::string log = m_tools.file("open.log");
    fakeTool("xdg-open", recordArgumentsBody(log));
    onlyFakeToolsOnPath();
    const std::string playlist = m_home.file("Orvanta/relay.pls");
    ScriptResult result = run("listenToStream", "listenwithitunes", {playlist, "1"});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    EXPECT_EQ(readRecordedArguments(log), std::vector<std::string>{playlist});

    result = run("listenToStreamAudion", "listenwithaudion", {"http://localhost:50505"});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    EXPECT_EQ(readRecordedArguments(log), std::vector<std::string>{"http://localhost:50505"});

    fakeTool("xdg-open", "echo 'no handler for this type' >&2; exit 3");
    result = run("listenToStream", "listenwithitunes", {"http://radio.example/", "0"});
    EXPECT_EQ(result.status, ScriptResult::Status::ScriptError);
    EXPECT_NE(result.errorMessage.find("no handler for this type"), std::string::npos)
        << result.errorMessage;
}

// A session bus with two media players, as gdbus shows it. Every call is logged as
// "destination|method|arguments"; FAKE_BUS_HIDE_METADATA hides what the players play.
class SessionBusTest : public DefaultScriptsTest
{
protected:
    void SetUp() override
    {
        DefaultScriptsTest::SetUp();
        fakeTool("gdbus", R"sh(
dest= method= args=()
shift
while [ $# -gt 0 ]; do
    case "$1" in
        --session) shift ;;
        --timeout|--object-path) shift 2 ;;
        --dest) dest=$2; shift 2 ;;
        --method) method=$2; shift 2 ;;
        *) args+=("$1"); shift ;;
    esac
done
printf '%s|%s|%s\n' "$dest" "$method" "${args[*]}" >> ')sh" +
                              log() + R"sh('
case "$method|${args[1]}" in
    org.freedesktop.DBus.ListNames*)
        echo "(['org.freedesktop.DBus', ':1.7', 'org.mpris.MediaPlayer2.alpha', 'org.mpris.MediaPlayer2.beta.instance42'],)" ;;
    *"|'Metadata'")
        [ -n "$FAKE_BUS_HIDE_METADATA" ] && exit 1
        if [ "$dest" = org.mpris.MediaPlayer2.alpha ]; then
            echo "(<{'mpris:trackid': <objectpath '/t/1'>, 'xesam:title': <'xesam:url'>, 'xesam:url': <'http://radio.example/stream'>}>,)"
        else
            echo "(<{'mpris:trackid': <objectpath '/t/2'>, 'xesam:url': <'http://127.0.0.1:50505/'>}>,)"
        fi ;;
    *"|'SupportedUriSchemes'")
        echo "(<['file', 'http']>,)" ;;
    org.mpris.MediaPlayer2.Player.*)
        echo "()" ;;
    *) exit 1 ;;
esac
)sh");
        fakeTool("xdg-open", "echo opener used >> '" + log() + "'");
        onlyFakeToolsOnPath();
    }

    std::string log() const { return m_tools.file("bus.log"); }
    std::vector<std::string> playerCalls(const std::string& method)
    {
        std::vector<std::string> found;
        for (const auto& line : lines(readFile(log())))
            if (line.find("|org.mpris.MediaPlayer2.Player." + method + "|") != std::string::npos)
                found.push_back(line);
        return found;
    }
};

TEST_F(SessionBusTest, ListeningOpensTheStreamInTheFirstPlayer)
{
    // The relay playlist is handed over as the stream it names: every player plays HTTP.
    const std::string playlist = m_home.file("relay.pls");
    writeFile(playlist, "[playlist]\nnumberofentries=1\nFile1=http://localhost:50505\n"
                        "Title1=[ORVANTA RELAY RADIO]\nLength1=-1\n");
    ScriptResult result = run("listenToStream", "listenwithitunes", {playlist, "1"});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    EXPECT_EQ(playerCalls("OpenUri"),
              std::vector<std::string>{"org.mpris.MediaPlayer2.alpha|"
                                       "org.mpris.MediaPlayer2.Player.OpenUri|"
                                       "'http://localhost:50505'"});

    // Other files go as file URIs; quotes in a station address are escaped for gdbus.
    fs::remove(log());
    const std::string other = m_home.file("my list's.pls");
    result = run("listenToStream", "listenwithitunes", {other, "0"});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    result = run("listenToStream", "listenwithitunes", {"http://radio.example/it's", "0"});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    const auto calls = playerCalls("OpenUri");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_NE(calls[0].find("'file://" + m_home.path() + "/my%20list%27s.pls'"), std::string::npos)
        << calls[0];
    EXPECT_NE(calls[1].find(R"('http://radio.example/it\'s')"), std::string::npos) << calls[1];
    EXPECT_EQ(readFile(log()).find("opener used"), std::string::npos);
}

TEST_F(SessionBusTest, StoppingStopsOnlyThePlayerOfTheRelay)
{
    ScriptResult result =
        run("listenToStream", "stoplisteningwithitunes", {"http://localhost:50505"});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    EXPECT_EQ(playerCalls("Stop"),
              std::vector<std::string>{"org.mpris.MediaPlayer2.beta.instance42|"
                                       "org.mpris.MediaPlayer2.Player.Stop|"});

    // Players that do not say what they play are all stopped.
    fs::remove(log());
    m_env.set("FAKE_BUS_HIDE_METADATA", "1");
    result = run("listenToStreamAudion", "stoplisteneningwithaudion", {"http://localhost:50505"});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    EXPECT_EQ(playerCalls("Stop").size(), 2u);
}

// The same bus reached through busctl, with the JSON it prints.
TEST_F(DefaultScriptsTest, SessionBusThroughBusctl)
{
    const std::string log = m_tools.file("busctl.log");
    fakeTool("busctl", R"sh(
while [ "${1#--}" != "$1" ]; do shift; done
shift
dest=$1 iface=$3 method=$4
shift 4
printf '%s|%s.%s|%s\n' "$dest" "$iface" "$method" "$*" >> ')sh" +
                           log + R"sh('
case "$method|$3" in
    ListNames*)
        echo '{"type":"as","data":[["org.freedesktop.DBus","org.mpris.MediaPlayer2.one","org.mpris.MediaPlayer2.two"]]}' ;;
    "Get|Metadata")
        [ "$dest" = org.mpris.MediaPlayer2.two ] && url=http://localhost:50505 || url=file:///x.mp3
        echo '{"type":"v","data":[{"type":"a{sv}","data":{"xesam:title":{"type":"s","data":"T"},"xesam:url":{"type":"s","data":"'$url'"}}}]}' ;;
    "Get|SupportedUriSchemes")
        [ "$dest" = org.mpris.MediaPlayer2.one ] && schemes='"file"' || schemes='"file","http"'
        echo '{"type":"v","data":[{"type":"as","data":['$schemes']}]}' ;;
    OpenUri*|Stop*) ;;
    *) exit 1 ;;
esac
)sh");
    onlyFakeToolsOnPath();

    // The first player takes files only, so the stream goes to the second.
    ScriptResult result = run("listenToStream", "listenwithitunes", {"http://radio.example/", "0"});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    result = run("listenToStream", "stoplisteningwithitunes", {"http://localhost:50505"});
    ASSERT_TRUE(result.ok()) << result.errorMessage;
    std::vector<std::string> playerCalls;
    for (const auto& line : lines(readFile(log)))
        if (line.find("MediaPlayer2.Player.OpenUri") != std::string::npos ||
            line.find("MediaPlayer2.Player.Stop") != std::string::npos)
            playerCalls.push_back(line);
    EXPECT_EQ(playerCalls, (std::vector<std::string>{
                               "org.mpris.MediaPlayer2.two|org.mpris.MediaPlayer2.Player.OpenUri|s "
                               "http://radio.example/",
                               "org.mpris.MediaPlayer2.two|org.mpris.MediaPlayer2.Player.Stop|"}));
}

} // namespace
