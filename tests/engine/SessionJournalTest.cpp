// The session journal: what it writes reads back as written (a line cut off by a crash is
// passed over), its budget removes the oldest and the too old sessions but never one being
// written, and a recording's cut moved afterwards from it; the listening buffer keeps the
// last bytes heard with the title changes among them.

#include "SessionJournal.h"
#include "CutCorrection.h"
#include "EnvironmentOverride.h"
#include "Global.h"
#include "IcyTestServer.h"
#include "ListeningBuffer.h"
#include "RecordingHarness.h"
#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

const double kNow = 1'800'000'000;

std::vector<std::uint8_t> bytes(std::size_t count, std::uint8_t seed)
{
    std::vector<std::uint8_t> data(count);
    for (std::size_t i = 0; i < count; ++i)
        data[i] = static_cast<std::uint8_t>(seed + i * 7);
    return data;
}

void age(const std::string& folder, double days)
{
    const auto when = static_cast<time_t>(SessionJournal::clock() - days * 86400);
    const timespec times[2] = {{when, 0}, {when, 0}};
    for (const char* name : {"audio", "index"})
        ::utimensat(AT_FDCWD, (folder + "/" + name).c_str(), times, 0);
}

} // namespace

TEST(SessionJournalTest, ASessionReadsBackAsWrittenAndALineCutOffByACrashIsPassedOver)
{
    TempDir dir;
    std::string folder;
    const auto first = bytes(3000, 1);
    const auto second = bytes(5000, 9);
    {
        auto journal = SessionJournal::open(dir.path(), "Radio\tOne", {}, kNow);
        ASSERT_NE(journal, nullptr);
        folder = journal->folder();
        journal->connected(AudioFormat::MP3, "http://host/live", kNow);
        journal->audio(first.data(), first.size(), kNow);
        journal->title("Artist - Song", kNow + 0.5, 200);
        journal->audio(second.data(), second.size(), kNow + 2);
        journal->cut(1000, -1.25, true, 0.4, "Artist - Song", kNow + 2.5);
        journal->fileCompleted("/music/Artist - Song.mp3", kNow + 3);
        journal->dropped("Connection reset", kNow + 3);
        EXPECT_EQ(journal->audioBytes(), 8000u);
    }
    std::ofstream(folder + "/index", std::ios::app) << "title\t7999\t1800000004.0\tcut off";

    const auto session = JournalSession::read(folder);
    ASSERT_TRUE(session.has_value());
    EXPECT_EQ(session->station, "Radio One") << "a tab cannot split the line";
    EXPECT_EQ(session->audioBytes, 8000u);
    std::vector<std::string> kinds;
    for (const auto& event : session->events)
        kinds.push_back(event.kind);
    EXPECT_EQ(kinds, (std::vector<std::string>{"connect", "time", "title", "time", "cut", "file",
                                               "drop"}));
    const auto& title = session->events[2];
    EXPECT_EQ(title.offset, 3200u);
    EXPECT_EQ(title.fields, std::vector<std::string>{"Artist - Song"});
    const auto& cut = session->events[4];
    EXPECT_EQ(cut.offset, 7000u) << "carried bytes before the audio so far";
    EXPECT_EQ(cut.fields, (std::vector<std::string>{"-1.250", "1", "0.400", "Artist - Song"}));
    EXPECT_EQ(session->events[5].fields[0], "/music/Artist - Song.mp3");
    EXPECT_EQ(session->formatAt(5000), AudioFormat::MP3);
    EXPECT_DOUBLE_EQ(session->timeAt(3000), kNow + 2);
    EXPECT_DOUBLE_EQ(session->timeAt(1500), kNow + 1);
    auto expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(session->audioAt(0, 100000), expected);
    EXPECT_EQ(session->audioAt(2990, 20),
              std::vector<std::uint8_t>(expected.begin() + 2990, expected.begin() + 3010));
}

TEST(SessionJournalTest, TheBudgetRemovesTheTooOldThenTheOldestButNeverASessionBeingWritten)
{
    TempDir dir;
    const double now = SessionJournal::clock();
    auto session = [&](double daysOld, std::size_t size) {
        auto journal = SessionJournal::open(dir.path(), "s" + std::to_string(daysOld), {}, now);
        const auto audio = bytes(size, 3);
        journal->audio(audio.data(), audio.size(), now);
        const std::string folder = journal->folder();
        journal.reset();
        age(folder, daysOld);
        return folder;
    };
    const std::string tooOld = session(5, 1 << 20);
    const std::string older = session(2, 3 << 20);
    const std::string newer = session(1, 3 << 20);
    auto open = SessionJournal::open(dir.path(), "open", {}, now);
    ASSERT_NE(open, nullptr);
    age(open->folder(), 4); // too old, but being written

    SessionJournal::enforceBudget(dir.path(), {3, std::uint64_t{4} << 20}, SessionJournal::clock());
    EXPECT_FALSE(std::filesystem::exists(tooOld));
    EXPECT_FALSE(std::filesystem::exists(older)) << "the oldest goes until the rest fit";
    EXPECT_TRUE(std::filesystem::exists(newer));
    EXPECT_TRUE(std::filesystem::exists(open->folder()));

    const auto one = SessionJournal::open(dir.path(), "", {}, now);
    const auto two = SessionJournal::open(dir.path(), "", {}, now);
    ASSERT_TRUE(one && two) << "two unnamed stations starting in the same second";
    EXPECT_NE(one->folder(), two->folder());
    EXPECT_EQ(SessionJournal::open(dir.path(), "off", {0, 100}, now), nullptr);
    EXPECT_EQ(SessionJournal::open(dir.path(), "off", {3, 0}, now), nullptr);
}

// ---- a cut moved afterwards -------------------------------------------------------------

namespace {

constexpr int kMetaint = 16000; // a second at 128 kbit/s
const curl::Global g_curl;

std::vector<std::uint8_t> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// Records three songs of audio, moves the cut before the second by 1.5 s either way and
/// back, and checks every step against the journal; returns the second file.
/// constantRate: the stream's bytes per second, when constant, for the span moved.
std::string recordAndMoveTheCutBackAndForth(const ByteVector& audio, const std::string& type,
                                            std::optional<double> constantRate, TestPrefs& prefs,
                                            const std::string& sessions)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = audio;
    mount.contentType = type;
    mount.metaint = kMetaint;
    mount.titles = {{0, "Artist A - One"},
                    {5 * kMetaint, "Artist B - Two"},
                    {10 * kMetaint, "Artist C - Three"}};
    server.addMount("/stream", mount);
    Recording recording(prefs, Dictionary{{"NP_URLS_TO_VISIT", Array{Value(server.url())}},
                                          {"NP_STREAMTITLE_SEPARATOR", "-"},
                                          {"NP_STREAMTITLE_PATTERN", 2}});
    recording.start();
    EXPECT_TRUE(recording.waitFinished(std::chrono::seconds(10)));
    const auto files = recording.completedFiles();
    if (files.size() != 3u) {
        ADD_FAILURE() << files.size() << " files";
        return {};
    }
    const std::string first = files[0].get("location").toString();
    const std::string second = files[1].get("location").toString();
    const auto originalFirst = fileBytes(first);
    const auto originalSecond = fileBytes(second);

    std::string error;
    const auto cut = findRecordedCut(sessions, second, error);
    EXPECT_TRUE(cut.has_value()) << error;
    if (!cut)
        return {};
    EXPECT_EQ(cut->previousPath, first);
    EXPECT_TRUE(cut->fromTitleSeconds.has_value());
    for (const double by : {1.5, -1.5}) {
        const auto before = findRecordedCut(sessions, second, error);
        EXPECT_TRUE(before.has_value()) << error;
        const auto moved = before ? moveRecordedCut(*before, by, error) : std::nullopt;
        EXPECT_TRUE(moved.has_value()) << error;
        const auto after = findRecordedCut(sessions, second, error);
        EXPECT_TRUE(after.has_value()) << error;
        if (!moved || !after)
            return {};
        EXPECT_NEAR(*moved, by, 0.03) << "to the nearest frame";
        const auto span = after->fileStart > before->fileStart
                              ? after->fileStart - before->fileStart
                              : before->fileStart - after->fileStart;
        EXPECT_GT(span, 0u);
        if (constantRate) {
            EXPECT_NEAR(static_cast<double>(span), 1.5 * *constantRate, 420) << "moved by " << by;
        }
        EXPECT_EQ(after->previousStart, before->previousStart);
        EXPECT_EQ(after->fileEnd, before->fileEnd);
        // The pair holds the journal's audio over the same span: no frame lost or doubled.
        auto pair = audioOfFile(first);
        const auto rest = audioOfFile(second);
        pair.insert(pair.end(), rest.begin(), rest.end());
        const auto journal =
            after->session.audioAt(after->previousStart, after->fileEnd - after->previousStart);
        EXPECT_TRUE(pair == ByteVector(journal.begin(), journal.end()));
    }
    EXPECT_TRUE(fileBytes(first) == originalFirst) << "moved back, both are as they were";
    EXPECT_TRUE(fileBytes(second) == originalSecond) << "tags, names and audio";
    return second;
}

} // namespace

TEST(CutCorrectionTest, AMovedCutRewritesBothSongsFromTheJournalFrameExactWithTheirTags)
{
    TempDir dir;
    TestPrefs prefs{dir.path()};
    prefs.set("JournalDays", 3);
    prefs.set("JournalBudgetMB", 64);
    EnvironmentOverride environment;
    environment.set("XDG_CACHE_HOME", dir.file("cache"));
    const std::string sessions = dir.file("cache/Orvanta/sessions");
    {
        SCOPED_TRACE("AAC");
        TempDir encoding;
        const ByteVector aac = encodeWithFfmpeg(pcmSongs({4.0, 4.0, 4.0}, 1.0), encoding,
                                                "-c:a aac -b:a 128k -f adts");
        EXPECT_NE(recordAndMoveTheCutBackAndForth(aac, "audio/aac", std::nullopt, prefs, sessions),
                  "");
    }
    const std::string second = recordAndMoveTheCutBackAndForth(
        songStream({4.0, 4.0, 4.0}).audio, "audio/mpeg", kMetaint, prefs, sessions);
    ASSERT_FALSE(second.empty());

    // Without the journal nothing can be moved, and nothing is changed.
    const auto originalSecond = fileBytes(second);
    std::string error;
    std::filesystem::remove_all(sessions);
    EXPECT_FALSE(findRecordedCut(sessions, second, error).has_value());
    EXPECT_NE(error.find("No journal holds the recording of \"Artist B - Two.mp3\""),
              std::string::npos)
        << error;
    EXPECT_TRUE(fileBytes(second) == originalSecond);
}

TEST(ListeningBufferTest, KeepsTheLastBytesAndTheTitleChangesAmongThem)
{
    ListeningBuffer buffer(10);
    const Bytes first{1, 2, 3, 4, 5, 6}, second{7, 8, 9, 10, 11, 12}, third{13, 14, 15, 16};
    buffer.append(first.data(), first.size());
    buffer.titleChanged(Bytes{'T'});
    buffer.append(second.data(), second.size());
    EXPECT_EQ(buffer.size(), 12u) << "a block goes only when the rest still fills the capacity";
    buffer.append(third.data(), third.size());
    ListeningBuffer::Snapshot kept = buffer.snapshot();
    EXPECT_EQ(kept.audio, (Bytes{7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
    ASSERT_EQ(kept.titles.size(), 1u) << "a change at the first byte kept still names it";
    EXPECT_EQ(kept.titles[0].position, 0u);
    EXPECT_EQ(kept.titles[0].metadata, Bytes{'T'});

    const Bytes fourth(10, 0);
    buffer.append(fourth.data(), fourth.size());
    kept = buffer.take();
    EXPECT_EQ(kept.audio, fourth);
    EXPECT_TRUE(kept.titles.empty()) << "the change went with its audio";
    EXPECT_EQ(buffer.size(), 0u);

    EXPECT_EQ(ListeningBuffer::bytesFor(60, 128), 960000u);
    EXPECT_EQ(ListeningBuffer::bytesFor(60, 0), 60u * 320u * 125u) << "unknown: the highest rate";
}
