// The station directory client against a local stand-in of the directory's API: the API's
// answer shapes, searching and paging, the click count, the cache, and every way an answer
// can go wrong.

#include "StationDirectory.h"
#include "DirectoryStandIn.h"
#include "HttpFetch.h"
#include "NodePropertyKeys.h"
#include "PrefsController.h"
#include "PrefsKeys.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace orvanta {
namespace {

using test::DirectoryStandIn;
using test::TempDir;

std::vector<std::string> namesOf(const std::vector<DirectoryStation>& stations)
{
    std::vector<std::string> names;
    for (const DirectoryStation& station : stations)
        names.push_back(station.name);
    return names;
}

std::string recordedStations()
{
    std::ifstream file(std::string(ORVANTA_TEST_DATA_DIR) + "/support/directory-stations.json");
    std::stringstream read;
    read << file.rdbuf();
    std::string text = read.str();
    for (auto at = text.find("@STATION@"); at != std::string::npos; at = text.find("@STATION@"))
        text.replace(at, 9, "http://127.0.0.1:8000/stream");
    return text;
}

TEST(DirectoryStationTest, ReadsTheApiShapesAndLeavesOutWhatCannotBeUsed)
{
    std::string error;
    std::size_t entries = 0;
    const auto stations = parseDirectoryStations(recordedStations(), error, &entries);
    ASSERT_TRUE(stations) << error;
    EXPECT_EQ(entries, 11u);
    // No address at all, and an ftp address, are left out.
    ASSERT_EQ(stations->size(), 9u);
    const DirectoryStation& berlin = (*stations)[1];
    EXPECT_EQ(berlin.uuid, "a1000000-0000-4000-8000-000000000002");
    EXPECT_EQ(berlin.name, "Berlin Jazz Lounge");
    EXPECT_EQ(berlin.streamAddress(), "http://127.0.0.1:9/berlin.mp3");
    EXPECT_EQ(berlin.countryCode, "DE");
    EXPECT_EQ(berlin.codec, "MP3");
    EXPECT_EQ(berlin.bitrate, 192);
    EXPECT_EQ(berlin.votes, 300);
    EXPECT_EQ(berlin.clickCount, 900);
    EXPECT_EQ(berlin.homepage, "https://example.org/berlin-jazz-lounge");
    EXPECT_EQ(berlin.genre(), "Jazz, Lounge");
    EXPECT_TRUE(berlin.isRecordable());
    EXPECT_TRUE((*stations)[2].isRecordable()) << "AAC";
    EXPECT_TRUE((*stations)[6].isRecordable()) << "Ogg";
    EXPECT_TRUE((*stations)[7].isRecordable()) << "an MP3 over HTTP Live Streaming";
    EXPECT_TRUE((*stations)[7].hls);
    EXPECT_FALSE((*stations)[8].isRecordable()) << "WMA";
    for (const char* codec : {"aac+", "OPUS", "Vorbis", "", "UNKNOWN"}) {
        DirectoryStation station;
        station.codec = codec;
        EXPECT_TRUE(station.isRecordable()) << codec;
    }
    for (const char* codec : {"FLAC", "WMA", "MP4"}) {
        DirectoryStation station;
        station.codec = codec;
        EXPECT_FALSE(station.isRecordable()) << codec;
    }
    EXPECT_FALSE((*stations)[5].lastCheckOk);
}

TEST(DirectoryStationTest, OddValuesAreReadSafely)
{
    std::string error;
    const auto stations = parseDirectoryStations(
        R"json([1, "text", null, [], {"stationuuid": "u", "name": " Name ", "url": "HTTPS://x/y",
            "bitrate": "128", "votes": -5, "clickcount": 1e300, "hls": true,
            "favicon": "javascript:alert(1)", "homepage": "file:///etc/passwd",
            "tags": " , rock ,pop,indie, punk"},
           {"stationuuid": "v", "name": "No address", "url": 7}])json",
        error);
    ASSERT_TRUE(stations) << error;
    ASSERT_EQ(stations->size(), 1u);
    const DirectoryStation& station = stations->front();
    EXPECT_EQ(station.name, "Name");
    EXPECT_EQ(station.bitrate, 128);
    EXPECT_EQ(station.votes, 0);
    EXPECT_EQ(station.clickCount, 0);
    EXPECT_TRUE(station.hls);
    EXPECT_TRUE(station.favicon.empty());
    EXPECT_TRUE(station.homepage.empty());
    EXPECT_EQ(station.genre(), "Rock, Pop, Indie");

    for (const char* text : {"", "{}", "[", "null", "\"x\"", "[{\"a\": }]"}) {
        error.clear();
        EXPECT_FALSE(parseDirectoryStations(text, error)) << text;
        EXPECT_FALSE(error.empty());
    }
}

TEST(DirectoryStationTest, TheSearchPathEncodesItsValues)
{
    DirectoryQuery query;
    query.name = "Jazz & Blues/FM";
    query.countryCode = "DE";
    query.minBitrate = 128;
    query.order = DirectoryQuery::Order::Clicks;
    query.offset = 40;
    query.limit = 10000;
    EXPECT_EQ(query.path(), "/json/stations/search?name=Jazz%20%26%20Blues%2FFM&countrycode=DE"
                            "&bitrateMin=128&order=clickcount&reverse=true&hidebroken=true"
                            "&offset=40&limit=500");
    EXPECT_EQ(DirectoryQuery().path(), "/json/stations/search?order=votes&reverse=true"
                                       "&hidebroken=true&offset=0&limit=50");
}

TEST(DirectoryStationTest, AStreamNodeCarriesWhatTheDirectoryKnows)
{
    DirectoryStation station;
    station.uuid = "u-1";
    station.name = "Radio";
    station.url = "http://radio.example/live.pls";
    station.tags = "jazz,blues";
    station.homepage = "https://radio.example/";
    station.bitrate = 128;
    station.favicon = "https://radio.example/logo.png";
    const NodePtr node = directoryStreamNode(station);
    EXPECT_EQ(node->name(), "Radio");
    EXPECT_EQ(node->nodeType(), Node::kStream);
    EXPECT_EQ(node->propertyForKey(np::NP_URLS)->toArray().at(0).toString(),
              "http://radio.example/live.pls");
    EXPECT_EQ(node->propertyForKey(np::NP_GENRE)->toString(), "Jazz, Blues");
    EXPECT_EQ(node->propertyForKey(np::NP_COMMENT)->toString(), "https://radio.example/");
    EXPECT_EQ(node->propertyForKey(np::NP_BITRATE)->toInteger(), 128);
    EXPECT_EQ(node->propertyForKey(np::NP_DIRECTORY_UUID)->toString(), "u-1");
    EXPECT_EQ(node->propertyForKey(np::NP_LOGO_URL)->toString(), "https://radio.example/logo.png");
}

class StationDirectoryTest : public ::testing::Test
{
protected:
    StationDirectoryTest() { prefs.setPrefs(Value(standIn.address()), prefs::kStationDirectory); }

    DirectorySearchResult searchJazzInGermany(int offset, int limit)
    {
        DirectoryQuery query;
        query.tag = "jazz";
        query.countryCode = "DE";
        query.offset = offset;
        query.limit = limit;
        return directory.search(query);
    }

    TempDir dir;
    PrefsController prefs{dir.file("prefs.plist")};
    DirectoryStandIn standIn;
    StationDirectory directory{prefs, [] { return std::vector<std::string>(); }};
};

TEST_F(StationDirectoryTest, SearchesAreSortedPagedAndNamedByTheProgram)
{
    auto page = searchJazzInGermany(0, 2);
    ASSERT_TRUE(page.ok()) << page.error;
    // Most voted first; the broken station is left out.
    EXPECT_EQ(namesOf(page.stations),
              (std::vector<std::string>{"Hamburg Jazz AAC", "Orvanta Test Jazz"}));
    EXPECT_TRUE(page.more);
    page = searchJazzInGermany(2, 2);
    EXPECT_EQ(namesOf(page.stations),
              (std::vector<std::string>{"Berlin Jazz Lounge", "Opus Jazz Stream"}));
    EXPECT_TRUE(page.more);
    // The last page holds two entries without an address: they are left out, and the page
    // was full, so it may go on.
    page = searchJazzInGermany(4, 3);
    EXPECT_EQ(namesOf(page.stations), (std::vector<std::string>{"HLS Jazz"}));
    EXPECT_TRUE(page.more);
    page = searchJazzInGermany(7, 3);
    EXPECT_TRUE(page.ok());
    EXPECT_TRUE(page.stations.empty());
    EXPECT_FALSE(page.more);

    DirectoryQuery mp3;
    mp3.name = "jazz";
    mp3.codec = "MP3";
    mp3.minBitrate = 150;
    EXPECT_EQ(namesOf(directory.search(mp3).stations),
              (std::vector<std::string>{"Berlin Jazz Lounge"}));

    const std::string requests = standIn.requests();
    EXPECT_NE(requests.find("\"agent\": \"" + StationDirectory::userAgent() + "\""),
              std::string::npos)
        << requests;
    EXPECT_EQ(StationDirectory::userAgent().rfind("Orvanta/", 0), 0u);
}

TEST_F(StationDirectoryTest, NothingFoundIsNoError)
{
    DirectoryQuery query;
    query.name = "no such station anywhere";
    const auto found = directory.search(query);
    EXPECT_TRUE(found.ok()) << found.error;
    EXPECT_TRUE(found.stations.empty());
    EXPECT_FALSE(found.more);
}

TEST_F(StationDirectoryTest, ARepeatedSearchIsAnsweredFromTheCache)
{
    ASSERT_TRUE(searchJazzInGermany(0, 5).ok());
    ASSERT_TRUE(searchJazzInGermany(0, 5).ok());
    EXPECT_EQ(standIn.requestCount("/json/stations/search"), 1);
    ASSERT_TRUE(searchJazzInGermany(5, 5).ok());
    EXPECT_EQ(standIn.requestCount("/json/stations/search"), 2);
}

TEST_F(StationDirectoryTest, LookupAndClickCount)
{
    std::string error;
    const auto station = directory.stationByUuid("a1000000-0000-4000-8000-000000000004", error);
    ASSERT_TRUE(station) << error;
    EXPECT_EQ(station->name, "Paris Jazz Club");
    EXPECT_FALSE(directory.stationByUuid("00000000-no-such-station", error));
    EXPECT_EQ(error, "The station directory does not know this station");

    EXPECT_TRUE(directory.countClick("a1000000-0000-4000-8000-000000000004"));
    EXPECT_EQ(standIn.requestCount("/json/url/a1000000-0000-4000-8000-000000000004"), 1);
    error.clear();
    EXPECT_FALSE(directory.countClick("unknown", &error));
    EXPECT_NE(error.find("404"), std::string::npos) << error;
}

TEST_F(StationDirectoryTest, FailingAnswersGiveAClearErrorAndNoStations)
{
    struct Case
    {
        const char* mode;
        int code;
        const char* error;
    };
    for (const Case& fault :
         {Case{"status", 503, "The server answered 503 Service Unavailable"},
          Case{"status", 500, "The server answered 500 Internal Server Error"},
          Case{"status", 404, "The server answered 404 Not Found"},
          Case{"status", 403, "The server answered 403 Forbidden"},
          Case{"malformed", 0, "cannot be read"}, Case{"huge", 0, "too large"}}) {
        standIn.setFault(fault.mode, fault.code);
        DirectoryQuery query;
        query.name = std::string("fault ") + fault.mode + std::to_string(fault.code);
        const auto found = directory.search(query);
        EXPECT_FALSE(found.ok()) << fault.mode;
        EXPECT_NE(found.error.find(fault.error), std::string::npos) << found.error;
        EXPECT_TRUE(found.stations.empty());
        // A failure is not kept: once the directory answers again, so does the search.
        standIn.setFault("none");
        EXPECT_TRUE(directory.search(query).ok()) << fault.mode;
    }
}

TEST_F(StationDirectoryTest, ASlowAnswerCanBeCancelled)
{
    standIn.setFault("none", 0, 30);
    std::atomic<bool> cancelled{false};
    std::thread canceller([&cancelled] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancelled = true;
    });
    const auto began = std::chrono::steady_clock::now();
    const auto found = directory.search(DirectoryQuery(), &cancelled);
    const auto took = std::chrono::steady_clock::now() - began;
    canceller.join();
    EXPECT_FALSE(found.ok());
    EXPECT_EQ(found.error, "Cancelled");
    EXPECT_LT(took, std::chrono::seconds(5));
}

TEST(StationDirectoryServersTest, UnreachableServersAreFollowedByTheNext)
{
    TempDir dir;
    PrefsController prefs{dir.file("prefs.plist")};
    DirectoryStandIn standIn;
    int discoveries = 0;
    StationDirectory directory(prefs, [&] {
        ++discoveries;
        return std::vector<std::string>{"http://127.0.0.1:1", standIn.address() + "/"};
    });
    DirectoryQuery query;
    query.name = "Paris";
    auto found = directory.search(query);
    ASSERT_TRUE(found.ok()) << found.error;
    EXPECT_EQ(namesOf(found.stations), (std::vector<std::string>{"Paris Jazz Club"}));
    query.name = "Berlin";
    EXPECT_TRUE(directory.search(query).ok());
    EXPECT_EQ(discoveries, 1) << "the servers are found once";

    StationDirectory none(prefs, [] { return std::vector<std::string>(); });
    EXPECT_EQ(none.search(query).error, "No station directory server could be found");
}

TEST(StationDirectoryServersTest, ThePublicServersAreFoundOrKnown)
{
    // Without a network the known list stands in; with one, the names behind the
    // round-robin name. Either way only https addresses of the directory come back.
    const auto servers = StationDirectory::discoverPublicServers();
    ASSERT_FALSE(servers.empty());
    for (const std::string& server : servers)
        EXPECT_EQ(server.rfind("https://", 0), 0u) << server;
}

} // namespace
} // namespace orvanta
