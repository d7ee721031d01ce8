// Where songs are cut when a station announces its titles early or late: the gap choice over
// a loudness curve, what is learned of a station's offset, and whole recordings of a
// programme whose gaps are known to the sample, served by the test ICY server with the
// titles seconds off.

#include "AdtsFrames.h"
#include "GapSearch.h"
#include "Global.h"
#include "IcyTestServer.h"
#include "NotificationNames.h"
#include "RecordingHarness.h"
#include "SongProgramme.h"
#include "SplitOffsetLearner.h"

#include <cmath>
#include <map>
#include <random>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

const curl::Global g_curl;

constexpr int kMetaint = 8192;
constexpr double kBytesPerSecond = 16000; // 128 kbit/s
// LAME delays its output by 1105 samples.
constexpr double kEncoderDelay = 1105.0 / 44100.0;
// A cut lies on a frame boundary: up to a frame from the exact moment.
constexpr double kFrameSeconds = 1152.0 / 44100.0;

// ---- the choice over a loudness curve --------------------------------------------------

std::vector<float> music(std::size_t windows, float level = -14.0f)
{
    std::vector<float> levels(windows);
    for (std::size_t i = 0; i < windows; ++i)
        levels[i] = level + static_cast<float>(i % 7) - 3.0f;
    return levels;
}

void setRange(std::vector<float>& levels, std::size_t from, std::size_t to, float level)
{
    for (std::size_t i = from; i < to; ++i)
        levels[i] = level;
}

TEST(GapSearchTest, AFadeIntoAShortSilenceBeatsALongerQuietPassageNearer)
{
    std::vector<float> levels = music(1600);
    // A quiet passage of 1.5 s right at the expected point, 30 dB down.
    setRange(levels, 750, 900, -44.0f);
    // Three seconds away: a fade-out over two seconds into 0.3 s of digital silence.
    for (std::size_t i = 0; i < 200; ++i)
        levels[1000 + i] = -14.0f - 0.25f * static_cast<float>(i);
    setRange(levels, 1200, 1230, -100.0f);
    const GapChoice choice = chooseGap(levels, 800, 800);
    ASSERT_TRUE(choice.found);
    EXPECT_GE(choice.cutWindow, 1200u);
    EXPECT_LT(choice.cutWindow, 1230u);
    EXPECT_TRUE(choice.clear);
}

TEST(GapSearchTest, OfTwoLikeGapsTheNearerWinsAndNoGapCutsAtTheExpectedPoint)
{
    std::vector<float> levels = music(1600);
    setRange(levels, 300, 350, -100.0f);
    setRange(levels, 1000, 1050, -100.0f);
    const GapChoice far = chooseGap(levels, 950, 800);
    EXPECT_EQ(far.cutWindow, 1025u);
    EXPECT_TRUE(far.clear) << "the other gap lies much farther";
    const GapChoice near = chooseGap(levels, 690, 800);
    EXPECT_EQ(near.cutWindow, 1025u);
    EXPECT_FALSE(near.clear) << "the other gap scores almost as well";

    // A crossfade or talk: nothing deep enough anywhere.
    std::vector<float> talk = music(1600);
    setRange(talk, 400, 450, -30.0f);
    const GapChoice none = chooseGap(talk, 640, 800);
    EXPECT_FALSE(none.found);
    EXPECT_EQ(none.cutWindow, 640u);
}

TEST(SplitOffsetLearnerTest, AgreeingSplitsNarrowTheSearchAndAnOutlierDoesNotMoveIt)
{
    SplitOffsetLearner learner(8);
    learner.add(-7.9);
    learner.add(-8.1);
    EXPECT_FALSE(learner.estimate().learned) << "two splits are too few";
    learner.add(3.0); // a quiet passage taken for a gap once
    learner.add(-8.0);
    const SplitOffsetLearner::Estimate estimate = learner.estimate();
    ASSERT_TRUE(estimate.learned);
    EXPECT_NEAR(estimate.centreSeconds, -7.95, 0.06);
    EXPECT_LT(estimate.radiusSeconds, 4.0);
    EXPECT_EQ(learner.describe(), "Titles change 8.0 s after the gap between songs (learned "
                                  "from 4 songs)");

    SplitOffsetLearner scattered(8, {-4, 3, 0.5, -2, 4, -3.5});
    EXPECT_FALSE(scattered.estimate().learned);
    EXPECT_DOUBLE_EQ(scattered.estimate().radiusSeconds, 8);
    for (int i = 0; i < 20; ++i)
        scattered.add(1.0);
    EXPECT_EQ(scattered.offsets().size(), SplitOffsetLearner::kKept);
}

// ---- whole recordings ------------------------------------------------------------------

struct ProgrammeStream
{
    Programme programme;
    ByteVector audio;
};

/// Eight songs of 20 to 25 s: gaps of 0.3 to 2 s, two fade-outs into short silences, a
/// crossfade, and quiet passages inside the last songs where titles 8 s late arrive.
const ProgrammeStream& programmeStream()
{
    static const ProgrammeStream stream = [] {
        std::vector<ProgrammeSong> songs(8);
        const double lengths[] = {21, 24, 20, 23, 22, 25, 21, 24};
        const double gaps[] = {1.2, 0.3, 2.0, 0.4, 0.8, 0.6, 1.5, 0};
        for (std::size_t i = 0; i < songs.size(); ++i) {
            songs[i].seconds = lengths[i];
            songs[i].gapAfter = gaps[i];
        }
        songs[1].fadeOut = true;
        songs[3].fadeOut = true;
        songs[2].crossfadeIntoNext = true;
        for (std::size_t i = 5; i < 8; ++i)
            songs[i].quietPassages = {{6.5, 9.0}, {songs[i].seconds - 5, songs[i].seconds - 3.5}};
        ProgrammeStream s;
        s.programme = renderProgramme(songs);
        TempDir dir;
        s.audio = encodeWithLame(s.programme.pcm, dir);
        return s;
    }();
    return stream;
}

std::uint64_t byteAt(double seconds)
{
    return static_cast<std::uint64_t>(std::max(0.0, (seconds + kEncoderDelay) * kBytesPerSecond));
}

/// The titles of the programme's songs, each announced offset(n) seconds from the middle of
/// the gap before it (positive: late).
std::vector<IcyTitle> titlesOffBy(const std::function<double(std::size_t)>& offset)
{
    const auto& boundaries = programmeStream().programme.boundaries;
    std::vector<IcyTitle> titles{{0, "Artist 1 - Song 1"}};
    for (std::size_t n = 0; n < boundaries.size(); ++n) {
        const std::string number = std::to_string(n + 2);
        titles.push_back(IcyTitle{byteAt(boundaries[n].centre() + offset(n)),
                                  "Artist " + number + " - Song " + number});
    }
    return titles;
}

struct Cuts
{
    std::vector<double> arrivals; // where each title after the first reached the recorder
    std::vector<double> seconds;  // where each file after the first begins
    std::vector<std::string> names;
    std::vector<double> learned; // the offsets the recording reported to keep
};

Cuts recordProgramme(TestPrefs& prefs, IcyTestServer& server, std::vector<IcyTitle> titles,
                     Dictionary extra = {})
{
    Cuts cuts;
    // A title goes out in the first metadata block at or after its byte.
    for (std::size_t n = 1; n < titles.size(); ++n)
        cuts.arrivals.push_back(
            static_cast<double>((titles[n].atAudioByte + kMetaint - 1) / kMetaint * kMetaint) /
                kBytesPerSecond -
            kEncoderDelay);
    IcyMount mount;
    mount.audio = programmeStream().audio;
    mount.metaint = kMetaint;
    mount.titles = std::move(titles);
    mount.sendContentLength = true;
    server.addMount("/programme", mount);
    Dictionary properties{{"NP_URLS_TO_VISIT", Array{Value(server.url("/programme"))}},
                          {"NP_STREAMTITLE_SEPARATOR", "-"},
                          {"NP_STREAMTITLE_PATTERN", 2},
                          {"NP_LANGUAGE_ENCODING", 4}};
    for (const auto& [key, value] : extra)
        properties.set(key, value);
    Recording recording(prefs, properties);
    recording.start();
    EXPECT_TRUE(recording.waitFinished(60s));
    EXPECT_TRUE(recording.alerts().empty());
    std::uint64_t position = 0;
    for (const Dictionary& file : recording.completedFiles()) {
        if (!file.contains("location"))
            continue;
        if (position > 0)
            cuts.seconds.push_back(static_cast<double>(position) / kBytesPerSecond - kEncoderDelay);
        position += audioOfFile(file.get("location").toString()).size();
        cuts.names.push_back(file.get("STREAMTITLE").toString());
    }
    EXPECT_EQ(position, programmeStream().audio.size()) << "every byte once";
    for (const Notification& n : recording.notifications())
        if (n.name == OVSplitOffsetNotification)
            cuts.learned.push_back(n.userInfo.toReal());
    return cuts;
}

/// Which cuts lie inside their song's gap. A crossfade has none: its cut is right when it
/// lies at the expected point (the title's arrival plus what was learned) on a frame.
std::vector<bool> insideGaps(const Cuts& cuts, double learnedOffset = 0)
{
    const auto& boundaries = programmeStream().programme.boundaries;
    std::vector<bool> inside;
    for (std::size_t n = 0; n < boundaries.size() && n < cuts.seconds.size(); ++n) {
        const double cut = cuts.seconds[n];
        if (boundaries[n].crossfade)
            inside.push_back(std::abs(cut - (cuts.arrivals[n] + learnedOffset)) <=
                             2 * kFrameSeconds);
        else
            inside.push_back(cut >= boundaries[n].start - kFrameSeconds &&
                             cut <= boundaries[n].end + kFrameSeconds);
    }
    return inside;
}

std::string describe(const Cuts& cuts)
{
    std::string text;
    const auto& boundaries = programmeStream().programme.boundaries;
    for (std::size_t n = 0; n < cuts.seconds.size() && n < boundaries.size(); ++n)
        text += "\n  cut " + std::to_string(cuts.seconds[n]) + " s, gap " +
                std::to_string(boundaries[n].start) + " to " + std::to_string(boundaries[n].end);
    return text;
}

class SplitSearchTest : public ::testing::Test
{
protected:
    TempDir dir;
    TestPrefs prefs{dir.path()};
    IcyTestServer server;
};

TEST_F(SplitSearchTest, TitlesOnTimeEarlyLateOrScatteredAreCutInTheGaps)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> scatter(-4.0, 4.0);
    std::vector<double> scattered(8);
    for (double& offset : scattered)
        offset = scatter(random);
    const std::map<std::string, std::function<double(std::size_t)>> offsets = {
        {"on time", [](std::size_t) { return 0.0; }},
        {"2 s late", [](std::size_t) { return 2.0; }},
        {"2 s early", [](std::size_t) { return -2.0; }},
        {"within 4 s", [&](std::size_t n) { return scattered[n]; }},
    };
    for (const auto& [name, offset] : offsets) {
        const Cuts cuts = recordProgramme(prefs, server, titlesOffBy(offset));
        ASSERT_EQ(cuts.seconds.size(), 7u) << name;
        const std::vector<bool> inside = insideGaps(cuts);
        for (std::size_t n = 0; n < inside.size(); ++n)
            EXPECT_TRUE(inside[n]) << name << ": cut " << n << describe(cuts);
    }
}

TEST_F(SplitSearchTest, AStationEightSecondsLateIsLearnedAndCutInItsGapsFromTheFourthSongOn)
{
    const Cuts cuts = recordProgramme(prefs, server, titlesOffBy([](std::size_t) { return 8.0; }));
    ASSERT_EQ(cuts.seconds.size(), 7u);
    // The last three songs have quiet passages where the titles arrive: only the learned
    // offset keeps the cut out of them.
    const std::vector<bool> inside = insideGaps(cuts);
    for (std::size_t n = 3; n < inside.size(); ++n)
        EXPECT_TRUE(inside[n]) << "cut " << n << describe(cuts);
    ASSERT_GE(cuts.learned.size(), 3u);
    EXPECT_NEAR(SplitOffsetLearner::median(cuts.learned), -8.3, 0.5);

    // What the station's node kept is where the next recording starts from: its first cut
    // already avoids the quiet passage.
    Array kept;
    for (double offset : cuts.learned)
        kept.append(offset);
    const Cuts again = recordProgramme(prefs, server, titlesOffBy([](std::size_t) { return 8.0; }),
                                       Dictionary{{"NP_SPLIT_OFFSETS", kept}});
    const std::vector<bool> insideAgain =
        insideGaps(again, SplitOffsetLearner::median(cuts.learned));
    EXPECT_TRUE(std::all_of(insideAgain.begin(), insideAgain.end(), [](bool b) { return b; }))
        << describe(again);
}

TEST_F(SplitSearchTest, TheFirstTitleNamesTheOpeningAudioAndTheSearchOfZeroLooksOnlyAtTheChange)
{
    const Cuts cuts = recordProgramme(prefs, server, titlesOffBy([](std::size_t) { return 2.0; }),
                                      Dictionary{{"NP_SPLIT_SEARCH_SECONDS", 0.0}});
    ASSERT_EQ(cuts.names.size(), 8u) << "no file of its own for the audio before the first title";
    EXPECT_EQ(cuts.names.front(), "Artist 1 - Song 1");
    EXPECT_TRUE(cuts.learned.empty());
    // Two seconds late, the gap lies outside the metadata periods around the change.
    const auto& boundaries = programmeStream().programme.boundaries;
    for (std::size_t n = 0; n < cuts.seconds.size(); ++n)
        EXPECT_GT(cuts.seconds[n], boundaries[n].end) << "cut " << n << describe(cuts);
}

TEST_F(SplitSearchTest, AnAacStationTwoSecondsLateIsCutInItsGapsToo)
{
    // The programme's first four songs as AAC, and where each of its frames starts.
    static const std::vector<ProgrammeSong> songs = [] {
        std::vector<ProgrammeSong> s(4);
        s[1].fadeOut = true;
        s[1].gapAfter = 0.4;
        s[2].gapAfter = 0.7;
        return s;
    }();
    const Programme programme = renderProgramme(songs);
    TempDir encoding;
    const ByteVector aac = encodeWithFfmpeg(programme.pcm, encoding, "-c:a aac -b:a 128k -f adts");
    std::vector<std::uint64_t> frameStarts;
    for (std::uint64_t at = 0; at + AdtsFrames::kHeaderLength <= aac.size();) {
        frameStarts.push_back(at);
        at += AdtsFrames::decodeHeader(aac.data() + at)->frameLength;
    }
    // The encoder puts one frame of 1024 samples before the audio.
    const auto frameAt = [](double seconds) {
        return static_cast<std::size_t>(std::max(0.0, seconds * 44100 / 1024)) + 1;
    };
    IcyMount mount;
    mount.audio = aac;
    mount.metaint = kMetaint;
    mount.sendContentLength = true;
    mount.contentType = "audio/aacp";
    mount.titles = {{0, "Artist 1 - Song 1"}};
    for (std::size_t n = 0; n < programme.boundaries.size(); ++n)
        mount.titles.push_back(
            {frameStarts[frameAt(programme.boundaries[n].centre() + 2.0)],
             "Artist " + std::to_string(n + 2) + " - Song " + std::to_string(n + 2)});
    server.addMount("/aac", mount);
    Recording recording(prefs, Dictionary{{"NP_URLS_TO_VISIT", Array{Value(server.url("/aac"))}},
                                          {"NP_STREAMTITLE_SEPARATOR", "-"},
                                          {"NP_STREAMTITLE_PATTERN", 2}});
    recording.start();
    ASSERT_TRUE(recording.waitFinished(30s));
    std::vector<double> cuts;
    std::size_t frames = 0;
    for (const Dictionary& file : recording.completedFiles()) {
        if (!file.contains("location"))
            continue;
        if (frames > 0)
            cuts.push_back(static_cast<double>(frames - 1) * 1024 / 44100);
        const ByteVector audio = audioOfFile(file.get("location").toString());
        for (std::size_t at = 0; at + AdtsFrames::kHeaderLength <= audio.size(); ++frames)
            at += AdtsFrames::decodeHeader(audio.data() + at)->frameLength;
    }
    EXPECT_EQ(frames, frameStarts.size()) << "every frame once";
    ASSERT_EQ(cuts.size(), programme.boundaries.size());
    for (std::size_t n = 0; n < cuts.size(); ++n) {
        EXPECT_GE(cuts[n], programme.boundaries[n].start - 0.03) << "cut " << n;
        EXPECT_LE(cuts[n], programme.boundaries[n].end + 0.03) << "cut " << n;
    }
}

} // namespace
