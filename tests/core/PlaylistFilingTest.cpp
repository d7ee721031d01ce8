// What the built-in hand-over adds beyond what the playlist tests of the template script and
// the built-in share (DefaultScriptsTest): its pure rules, concurrent additions to one
// playlist, and the hand-over choosing between the user's script and the built-in.

#include "PlaylistFiling.h"

#include "NodePropertyKeys.h"
#include "PrefsKeys.h"
#include "RecordingHandOver.h"
#include "ScriptFixtures.h"
#include "TempDir.h"

#include <filesystem>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

class FixedPrefs : public PreferencesReader
{
public:
    Value getPrefsForKey(std::string_view key) const override { return values.get(key); }
    Dictionary values;
};

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(PlaylistFilingTest, NamesAreOneSafeComponentOnACharacterBoundary)
{
    EXPECT_EQ(safePathComponent("AC/DC", "x"), "AC-DC");
    EXPECT_EQ(safePathComponent(" tab\there\x7f ", "x"), "tab here");
    EXPECT_EQ(safePathComponent("..", "Unknown"), "Unknown");
    EXPECT_EQ(safePathComponent("", "Unknown"), "Unknown");
    EXPECT_EQ(safePathComponent("...x", "Unknown"), "...x");
    // 199 ASCII bytes and then a two-byte letter that would straddle the 200-byte limit.
    const std::string cut = safePathComponent(std::string(199, 'a') + "é" + "tail", "x");
    EXPECT_EQ(cut, std::string(199, 'a'));
    EXPECT_EQ(playlistLineForLocation("/music/a b.mp3"), "/music/a b.mp3");
    EXPECT_EQ(playlistLineForLocation("/m/x\r\ny é.mp3"), "file:///m/x%0D%0Ay%20%C3%A9.mp3");
}

TEST(PlaylistFilingTest, ConcurrentAdditionsToOnePlaylistLoseNoLine)
{
    TempDir dir;
    const std::string music = dir.file("Music");
    std::vector<std::string> files;
    for (int i = 0; i < 40; ++i) {
        files.push_back(dir.file("song " + std::to_string(i) + ".mp3"));
        writeFile(files.back(), "audio");
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = t; i < 40; i += 4)
                EXPECT_TRUE(
                    fileIntoPlaylist(files[static_cast<std::size_t>(i)], "Shared", false, {}, music)
                        .listed);
        });
    }
    for (auto& thread : threads)
        thread.join();
    const auto lines = linesOf(readFile(music + "/Playlists/Shared.m3u"));
    ASSERT_EQ(lines.size(), 41u);
    EXPECT_EQ(lines[0], "#EXTM3U");
    std::vector<std::string> listed(lines.begin() + 1, lines.end());
    std::sort(listed.begin(), listed.end());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(listed, files);
}

TEST(PlaylistFilingTest, TheHandOverFilesItselfUnlessTheUserHasAScript)
{
    TempDir dir;
    const std::string music = dir.file("Music");
    const std::string shipped = dir.file("shipped");
    const std::string user = dir.file("user");
    std::filesystem::create_directories(shipped);
    std::filesystem::create_directories(user);
    const std::string file = dir.file("Recorded/Song.mp3");
    std::filesystem::create_directories(dir.file("Recorded"));
    writeFile(file, "audio");

    FixedPrefs prefs;
    prefs.values.set(prefs::kPlaylistDeleteSource, true);
    const ScriptRunner runner(shipped, user);
    RecordingHandOver handOver(runner, prefs);
    handOver.setMusicFolder(music);

    // No script anywhere: filed in the process, into the library folders of its tags.
    const auto built = handOver.addCompletedFileToPlaylistSync(
        file, "Evening", Dictionary{{"TPE1", "The Band"}, {"TALB", "Live"}});
    ASSERT_TRUE(built);
    const std::string moved = music + "/Orvanta Library/The Band/Live/Song.mp3";
    EXPECT_EQ(*built, (PlaylistUpdate{moved, "Evening", true}));
    EXPECT_EQ(readFile(music + "/Playlists/Evening.m3u"), "#EXTM3U\n" + moved + "\n");

    // The user's own script replaces the built-in hand-over.
    const std::string args = dir.file("args");
    writeScript(user, "addToUserPlaylist", recordArgumentsBody(args) + "\necho /elsewhere.mp3");
    const auto scripted = handOver.addCompletedFileToPlaylistSync(moved, "Evening", {});
    ASSERT_TRUE(scripted);
    EXPECT_EQ(scripted->location, "/elsewhere.mp3");
    EXPECT_EQ(readRecordedArguments(args),
              (std::vector<std::string>{"addtouserplaylist", moved, "Evening", "1"}));

    // Quitting: the built-in hand-over does not start either.
    std::filesystem::remove(user + "/addToUserPlaylist");
    runner.cancelAll();
    EXPECT_FALSE(handOver.addCompletedFileToPlaylistSync(moved, "Evening", {}));
}
