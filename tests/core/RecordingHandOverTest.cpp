#include "RecordingHandOver.h"

#include "NodePropertyKeys.h"
#include "PrefsKeys.h"
#include "ScriptFixtures.h"
#include "TempDir.h"

#include "EventLoopWait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include <QCoreApplication>
#include <QThread>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

class FakePrefs : public PreferencesReader
{
public:
    Value getPrefsForKey(std::string_view key) const override { return values.get(key); }
    Dictionary values;
};

class RecordingHandOverTest : public ::testing::Test
{
protected:
    // The player keeps the track under its own library folder.
    void playerCopies(const std::string& playerLocation)
    {
        // Read from a file, so locations with quotes need no shell quoting in the fixture.
        writeFile(m_answerFile, playerLocation + "\n");
        writeScript(m_scripts.path(), std::string(handover::kPlaylistScript),
                    recordArgumentsBody(m_argsFile) + "\ncat '" + m_answerFile + "'");
    }
    Dictionary entryFor(const std::string& location)
    {
        return Dictionary{{fileinfo::kLocation, Value(location)},
                          {fileinfo::kFilename, Value("Song.mp3")}};
    }

    TempDir m_scripts;
    TempDir m_work;
    std::string m_argsFile = m_work.file("args");
    std::string m_answerFile = m_work.file("answer");
    ScriptRunner m_runner{m_scripts.path(), std::nullopt};
    FakePrefs m_prefs;
    RecordingHandOver m_handOver{m_runner, m_prefs};
    const std::string m_file = "/home/me/Music/Orvanta/Radio One/It's \"Live\".mp3";
};

} // namespace

// --- Playlist hand-over: the script part ---------------------------------------------------

TEST_F(RecordingHandOverTest, PlaylistScriptGetsFileNameAndDeleteSourceChoice)
{
    playerCopies("/library/Song.mp3");
    const std::vector<std::pair<Value, std::string>> cases{
        {Value(), "0"}, {Value(false), "0"}, {Value(true), "1"}};
    for (const auto& [preference, flag] : cases) {
        if (preference.isNull())
            m_prefs.values.remove(prefs::kPlaylistDeleteSource);
        else
            m_prefs.values.set(prefs::kPlaylistDeleteSource, preference);
        ASSERT_TRUE(m_handOver.addCompletedFileToPlaylistSync(m_file, "Radio One 2024"));
        EXPECT_EQ(readRecordedArguments(m_argsFile),
                  (std::vector<std::string>{"addtouserplaylist", m_file, "Radio One 2024", flag}));
    }
}

TEST_F(RecordingHandOverTest, ItunesCopyTellsWhetherThePlayerKeepsTheTrackElsewhere)
{
    playerCopies("/home/me/Music/Player/Artist/Song.mp3");
    EXPECT_EQ(m_handOver.addCompletedFileToPlaylistSync(m_file, "List"),
              (PlaylistUpdate{"/home/me/Music/Player/Artist/Song.mp3", "List", true}));

    // The player kept the file where it was; only the case of its answer differs.
    const std::string file = "/home/me/Music/Grüße/Song.mp3";
    playerCopies("/HOME/ME/music/GRÜßE/song.MP3");
    EXPECT_EQ(m_handOver.addCompletedFileToPlaylistSync(file, "List"),
              (PlaylistUpdate{"/HOME/ME/music/GRÜßE/song.MP3", "List", false}));
}

TEST_F(RecordingHandOverTest, ScriptFailureOrEmptyAnswerGivesNoUpdate)
{
    EXPECT_FALSE(m_handOver.addCompletedFileToPlaylistSync(m_file, "List")) << "no script";
    writeScript(m_scripts.path(), std::string(handover::kPlaylistScript),
                "echo /library/Song.mp3; echo 'no such playlist' >&2; exit 1");
    EXPECT_FALSE(m_handOver.addCompletedFileToPlaylistSync(m_file, "List"));
    writeScript(m_scripts.path(), std::string(handover::kPlaylistScript), "echo");
    EXPECT_FALSE(m_handOver.addCompletedFileToPlaylistSync(m_file, "List"));
}

// --- Playlist hand-over on its own thread ----------------------------------------------------

TEST_F(RecordingHandOverTest, EntryIsUpdatedOnTheMainThreadOnly)
{
    playerCopies("/library/Song.mp3");
    Dictionary entry = entryFor(m_file);
    bool called = false;
    QThread* calledOn = nullptr;

    m_handOver.addCompletedFileToPlaylist(Array{Value(m_file), Value("List"), Value(entry)},
                                          [&](const Dictionary& updated) {
                                              called = true;
                                              calledOn = QThread::currentThread();
                                              EXPECT_TRUE(updated.isSameObject(entry));
                                          });
    m_handOver.waitForAll();
    ASSERT_EQ(readRecordedArguments(m_argsFile).size(), 4u) << "the script has run";
    EXPECT_EQ(entry.get(fileinfo::kLocation), Value(m_file)) << "changed off the main thread";
    EXPECT_FALSE(entry.contains(handover::kPlaylist));

    ASSERT_TRUE(spinUntil([&] { return called; }));
    EXPECT_EQ(calledOn, QCoreApplication::instance()->thread());
    EXPECT_EQ(entry.get(fileinfo::kLocation), Value("/library/Song.mp3"));
    EXPECT_EQ(entry.get(handover::kPlaylist), Value("List"));
    EXPECT_EQ(entry.get(handover::kItunesCopy), Value(true));
    EXPECT_EQ(entry.get(fileinfo::kFilename), Value("Song.mp3"));
}

TEST_F(RecordingHandOverTest, DefaultCompletionStillUpdatesTheEntry)
{
    playerCopies(m_file);
    Dictionary entry = entryFor(m_file);
    m_handOver.addCompletedFileToPlaylist(Array{Value(m_file), Value("List"), Value(entry)});
    ASSERT_TRUE(spinUntil([&] { return entry.contains(handover::kItunesCopy); }));
    EXPECT_EQ(entry.get(handover::kItunesCopy), Value(false));
    EXPECT_EQ(entry.get(handover::kPlaylist), Value("List"));
}

TEST_F(RecordingHandOverTest, FailedScriptLeavesEntryUntouched)
{
    writeScript(m_scripts.path(), std::string(handover::kPlaylistScript),
                "touch '" + m_argsFile + "'; exit 2");
    Dictionary entry = entryFor(m_file);
    const Dictionary before = Value(entry).deepCopy().toDictionary();
    bool called = false;
    m_handOver.addCompletedFileToPlaylist(Array{Value(m_file), Value("List"), Value(entry)},
                                          [&](const Dictionary&) { called = true; });
    m_handOver.waitForAll();
    ASSERT_TRUE(fileExists(m_argsFile));
    spinUntil([] { return false; }, 200ms);
    EXPECT_FALSE(called);
    EXPECT_EQ(entry, before);
}

TEST_F(RecordingHandOverTest, MalformedArgumentListIsIgnored)
{
    playerCopies("/library/Song.mp3");
    const Dictionary entry = entryFor(m_file);
    for (const Array& arguments :
         {Array{}, Array{Value(m_file), Value("List")},
          Array{Value(m_file), Value(3), Value(entry)},
          Array{Value(m_file), Value("List"), Value("not an entry")},
          Array{Value(m_file), Value("List"), Value(entry), Value("extra")}})
        m_handOver.addCompletedFileToPlaylist(arguments, [](const Dictionary&) {});
    EXPECT_EQ(m_handOver.runningCount(), 0u);
    m_handOver.waitForAll();
    EXPECT_FALSE(fileExists(m_argsFile));
}

TEST_F(RecordingHandOverTest, UpdatesNotYetAppliedAreDroppedWithTheHandOver)
{
    playerCopies("/library/Song.mp3");
    Dictionary entry = entryFor(m_file);
    bool called = false;
    {
        RecordingHandOver shortLived(m_runner, m_prefs);
        shortLived.addCompletedFileToPlaylist(Array{Value(m_file), Value("L"), Value(entry)},
                                              [&](const Dictionary&) { called = true; });
    }
    ASSERT_TRUE(fileExists(m_argsFile)) << "destruction waits for the script";
    spinUntil([] { return false; }, 200ms);
    EXPECT_FALSE(called);
    EXPECT_EQ(entry.get(fileinfo::kLocation), Value(m_file));
}

// --- Compilation ----------------------------------------------------------------------------

TEST_F(RecordingHandOverTest, CompilationScriptGetsTheAlbumLabel)
{
    writeScript(m_scripts.path(), std::string(handover::kCompilationScript),
                recordArgumentsBody(m_argsFile));
    const std::string label = "Compilation (2007-05-01 20:00:00)";
    EXPECT_TRUE(m_handOver.setCompletedTracksAsCompilationSync(label).ok());
    EXPECT_EQ(readRecordedArguments(m_argsFile),
              (std::vector<std::string>{"setalbumascompilation", label}));
}

TEST_F(RecordingHandOverTest, CompilationOnItsOwnThreadReportsOnTheMainThread)
{
    writeScript(m_scripts.path(), std::string(handover::kCompilationScript),
                recordArgumentsBody(m_argsFile) + "\necho 'no tracks' >&2; exit 1");
    std::optional<ScriptResult> outcome;
    QThread* calledOn = nullptr;
    m_handOver.setCompletedTracksAsCompilation("Compilation (x)", [&](const ScriptResult& r) {
        outcome = r;
        calledOn = QThread::currentThread();
    });
    ASSERT_TRUE(spinUntil([&] { return outcome.has_value(); }));
    EXPECT_EQ(calledOn, QCoreApplication::instance()->thread());
    EXPECT_EQ(outcome->status, ScriptResult::Status::ScriptError);
    EXPECT_EQ(outcome->errorMessage, "no tracks");
    EXPECT_EQ(readRecordedArguments(m_argsFile),
              (std::vector<std::string>{"setalbumascompilation", "Compilation (x)"}));
}
