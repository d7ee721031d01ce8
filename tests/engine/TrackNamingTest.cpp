#include "TrackNaming.h"

#include "StreamTitle.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

struct FakePrefs : PreferencesReader
{
    Dictionary values{{"downloadpath", "/music"},
                      {"DirLayout", 26},
                      {"ScheduledDirLayout", 38},
                      {"MilitaryTimeInFilenames", false}};
    Value getPrefsForKey(std::string_view key) const override { return values.get(key); }
};

class TrackNamingTest : public ::testing::Test
{
protected:
    FakePrefs prefs;
    QDateTime now{QDate(2026, 12, 8), QTime(12, 30, 0)};
    TrackNaming naming{prefs, [this] { return now; }};

    void SetUp() override
    {
        QLocale::setDefault(QLocale::c());
        naming.icy_name = "Jazz FM";
        naming.icy_genre = "Jazz";
        naming.icy_br = 128;
        naming.metaint = 16000;
        naming._properties.set("NP_STREAMTITLE_PATTERN", 2);
    }

    static std::unique_ptr<StreamTitle> title(const std::string& text)
    {
        const std::string block = "StreamTitle='" + text + "';";
        return StreamTitle::initWithMetadata(reinterpret_cast<const std::uint8_t*>(block.data()),
                                             block.size(), 4);
    }

    static std::string tag(const Dictionary& info, const char* key)
    {
        return info.get("ID3TAGS").toDictionary().get(key).toString();
    }
};

} // namespace

TEST_F(TrackNamingTest, AParsedTitleNamesTagsAndFilesTheTrack)
{
    auto t = title("Miles Davis - So What");
    const Dictionary info = naming.tagsForStreamTitle(t.get());
    EXPECT_EQ(tag(info, "TPE1"), "Miles Davis");
    EXPECT_EQ(tag(info, "TIT2"), "So What");
    EXPECT_EQ(tag(info, "TALB"), "Unknown Album");
    EXPECT_EQ(info.get("STREAMTITLE").toString(), "Miles Davis - So What");
    EXPECT_EQ(info.get("filename").toString(), "Miles Davis - So What");
    EXPECT_EQ(info.get("completeBaseDir").toString(),
              "/music/Jazz FM [128 Kbps]/Miles Davis/Unknown Album");
    EXPECT_FALSE(info.contains("duplicate"));
    EXPECT_FALSE(info.get("ID3TAGS").toDictionary().contains("TRCK")) << "ID3v1 files carry none";
    EXPECT_FALSE(info.get("ID3TAGS").toDictionary().contains("TCON"));
}

TEST_F(TrackNamingTest, AnUnmatchedPatternFallsBackAndIsRestored)
{
    naming._properties.set("NP_STREAMTITLE_PATTERN", 1);
    auto t = title("NoSeparatorHere");
    t->setPredefinedPattern(1);
    const Dictionary info = naming.tagsForStreamTitle(t.get());
    EXPECT_EQ(tag(info, "TIT2"), "NoSeparatorHere");
    EXPECT_EQ(tag(info, "TPE1"), "Unknown Artist");
    t->setStreamTitle("Song - Singer");
    EXPECT_EQ(t->artist(), "Singer") << "the preset's pattern 1 (title, artist) is back";
}

TEST_F(TrackNamingTest, GenreAndTrackNumberFollowThePresetForID3v2)
{
    naming._useID3v2 = true;
    struct Case
    {
        int genreType;
        const char* custom;
        const char* icyGenre;
        const char* expected;
    };
    const Case cases[] = {
        {0, "", "Jazz", "Jazz"},           {0, "", "", "Orvanta"},
        {1, "", "Jazz", "Orvanta - Jazz"}, {1, "", "", "Orvanta"},
        {2, "Bebop", "Jazz", "Bebop"},     {2, "", "Jazz", "Orvanta"},
        {7, "Bebop", "Jazz", "Orvanta"},
    };
    for (const auto& c : cases) {
        naming._properties.set("NP_GENRE_TYPE", c.genreType);
        naming._properties.set("NP_GENRE_CUSTOM", c.custom);
        naming.icy_genre = c.icyGenre;
        EXPECT_EQ(tag(naming.tagsForStreamTitle(nullptr), "TCON"), c.expected) << c.genreType;
    }
    naming.trackCounter = 5;
    EXPECT_EQ(tag(naming.tagsForStreamTitle(nullptr), "TRCK"), "5");
    EXPECT_EQ(tag(naming.tagsForStreamTitle(nullptr), "TRCK"), "6");
    naming.trackCounter = 0;
    EXPECT_EQ(tag(naming.tagsForStreamTitle(nullptr), "TRCK"), "0");
    EXPECT_EQ(naming.trackCounter, 0);
}

TEST_F(TrackNamingTest, AlbumFallbacksAndTheCompilationLabel)
{
    naming._properties.set("NP_STREAM_IF_NO_ALBUM", true);
    EXPECT_EQ(tag(naming.tagsForStreamTitle(title("A - B").get()), "TALB"), "Jazz FM");
    naming._properties.set("NP_COMPILATION_FLAG", true);
    naming._properties.set("NP_COMPILATION_ALBUM_LABEL", "Best of 2026");
    auto withAlbum = title("A - B - Album");
    withAlbum->setPredefinedPattern(6);
    EXPECT_EQ(tag(naming.tagsForStreamTitle(withAlbum.get()), "TALB"), "Best of 2026");
}

TEST_F(TrackNamingTest, UntitledTracksAreNamedByScheduleDateAndTime)
{
    naming.metaint = 0;
    struct Case
    {
        int hour, minute;
        bool military;
        const char* expected;
    };
    const Case cases[] = {
        {12, 30, false, "Unknown Track - 2026-12-08 12.30PM"},
        {0, 5, false, "Unknown Track - 2026-12-08 0.05AM"},
        {9, 0, false, "Unknown Track - 2026-12-08 9AM"},
        {13, 0, false, "Unknown Track - 2026-12-08 1PM"},
        {23, 59, false, "Unknown Track - 2026-12-08 11.59PM"},
        {12, 30, true, "Unknown Track - 2026-12-08 12.30"},
        {7, 0, true, "Unknown Track - 2026-12-08 07"},
    };
    for (const auto& c : cases) {
        now = QDateTime(QDate(2026, 12, 8), QTime(c.hour, c.minute, 0));
        prefs.values.set("MilitaryTimeInFilenames", c.military);
        const Dictionary info = naming.tagsForStreamTitle(nullptr);
        EXPECT_EQ(info.get("filename").toString(), c.expected);
        EXPECT_FALSE(info.contains("STREAMTITLE")) << "streams without titles have none";
    }
    prefs.values.set("MilitaryTimeInFilenames", false);
    now = QDateTime(QDate(2026, 12, 8), QTime(12, 30, 0));
    naming.scheduledRecordingPath = Array{"Morning Show"};
    EXPECT_EQ(naming.tagsForStreamTitle(nullptr).get("filename").toString(),
              "Morning Show - 2026-12-08 12.30PM");
}

TEST_F(TrackNamingTest, SessionNamesUseTheirOwnDial)
{
    struct Case
    {
        int hour, minute, second;
        bool military;
        const char* expected;
    };
    const Case cases[] = {
        {12, 30, 0, false, "session 0.30PM "},      {0, 0, 0, false, "session 0AM "},
        {23, 5, 9, false, "session 11.05PM 9secs"}, {12, 30, 7, true, "session 12.30 7secs"},
        {8, 0, 0, true, "session 08.00 "},
    };
    for (const auto& c : cases) {
        now = QDateTime(QDate(2026, 12, 8), QTime(c.hour, c.minute, c.second));
        prefs.values.set("MilitaryTimeInFilenames", c.military);
        EXPECT_EQ(naming.computeSessionName(), c.expected);
    }
}

TEST_F(TrackNamingTest, EveryLayoutLevelWithItsFallback)
{
    naming.icy_genre = "";
    naming.icy_name = "";
    naming._sessionName = "session 0.30PM ";
    prefs.values.set("DirLayout", 1 | 2 | 4 | 8 | 16 | 32 | 64);
    const Dictionary info = naming.tagsForStreamTitle(nullptr);
    EXPECT_EQ(info.get("completeBaseDir").toString(),
              "/music/Unknown Genre/Unknown Stream [128 Kbps]/Unknown Artist/Unknown Album/"
              "Tuesday, 08 Dec 2026/session 0.30PM ")
        << "the schedule level belongs to scheduled recordings only";

    naming.scheduledRecordingPath = Array{"Late Show"};
    prefs.values.set("ScheduledDirLayout", 4 | 32);
    EXPECT_EQ(naming.tagsForStreamTitle(nullptr).get("completeBaseDir").toString(),
              "/music/Late Show/Tuesday, 08 Dec 2026");
    naming.scheduledRecordingPath = Array{};
    EXPECT_EQ(naming.tagsForStreamTitle(nullptr).get("completeBaseDir").toString(),
              "/music/Unknown Scheduled Recording/Tuesday, 08 Dec 2026");
    prefs.values.set("ScheduledDirLayout", 0);
    EXPECT_EQ(naming.tagsForStreamTitle(nullptr).get("completeBaseDir").toString(), "/music");
}

TEST_F(TrackNamingTest, StreamDataNeverLeavesTheDownloadFolder)
{
    naming.icy_genre = "..";
    naming.icy_name = "../../etc";
    prefs.values.set("DirLayout", 1 | 2 | 8 | 16);
    auto t = title("/ - ../..");
    t->setPredefinedPattern(2);
    const Dictionary info = naming.tagsForStreamTitle(t.get());
    EXPECT_EQ(info.get("completeBaseDir").toString(),
              "/music/Unknown Genre/etc [128 Kbps]/Unknown Artist/Unknown Album");

    std::string longName(400, 'x');
    const std::string level = TrackNaming::folderLevel(longName, "Unknown Stream", " [128 Kbps]");
    EXPECT_EQ(level.size(), 255u);
    EXPECT_EQ(level.substr(level.size() - 11), " [128 Kbps]");
    EXPECT_EQ(TrackNaming::folderLevel("...", "Unknown Artist"), "Unknown Artist");
}

TEST_F(TrackNamingTest, OnlyCompletedFilesOfTheSameTitleAreDuplicates)
{
    Array history{
        Dictionary{{"STREAMTITLE", "A - Done"}, {"dateCompleted", Date{1000}}},
        Dictionary{{"STREAMTITLE", "A - Unfinished"}},
        Dictionary{{"STREAMTITLE", 42}, {"dateCompleted", Date{1000}}},
    };
    naming._properties.set("NP_HISTORY", history);
    EXPECT_TRUE(naming.historyContainsStreamTitle("A - Done"));
    EXPECT_FALSE(naming.historyContainsStreamTitle("a - done"));
    EXPECT_FALSE(naming.historyContainsStreamTitle("A - Unfinished"));
    EXPECT_TRUE(naming.tagsForStreamTitle(title("A - Done").get()).contains("duplicate"));
    EXPECT_FALSE(naming.tagsForStreamTitle(title("A - Unfinished").get()).contains("duplicate"));

    naming.historySnapshot = [] { return Array{}; };
    EXPECT_FALSE(naming.historyContainsStreamTitle("A - Done")) << "the snapshot is what counts";
}

TEST_F(TrackNamingTest, WithoutATitleObjectTheStreamNameIsTheTitleText)
{
    const Dictionary info = naming.tagsForStreamTitle(nullptr);
    EXPECT_EQ(info.get("STREAMTITLE").toString(), "Jazz FM");
    EXPECT_EQ(info.get("filename").toString(),
              "Unknown Artist - Unknown Track - 2026-12-08 12.30PM");
}
