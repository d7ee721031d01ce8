#include "PlaylistHelpers.h"

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

using Strings = std::vector<std::string>;

} // namespace

TEST(PLSHelperTest, EntriesAndTitlesComeOutInLineOrder)
{
    struct Case
    {
        const char* name;
        std::string text;
        Strings files;
        Strings titles;
    };
    const Case cases[] = {
        {"CR LF",
         "[playlist]\r\nNumberOfEntries=2\r\nFile1=http://a.example/1\r\nTitle1=One\r\n"
         "Length1=-1\r\nFile2=http://b.example/2\r\nTitle2=Two\r\nVersion=2\r\n",
         {"http://a.example/1", "http://b.example/2"},
         {"One", "Two"}},
        {"bare LF", "[playlist]\nFile1=http://a/1\nTitle1=One\n", {"http://a/1"}, {"One"}},
        {"bare CR", "[playlist]\rFile1=http://a/1\rTitle1=One\r", {"http://a/1"}, {"One"}},
        {"mixed line ends",
         "[playlist]\r\nFile1=http://a/1\nTitle1=One\rFile2=http://b/2\r\n",
         {"http://a/1", "http://b/2"},
         {"One"}},
        {"numbers play no part",
         "File7=http://c/7\nFile2=http://b/2\nTitle9=Nine\n",
         {"http://c/7", "http://b/2"},
         {"Nine"}},
        {"any case; filename= counts",
         "FILE2=http://A/Up\nfile3=http://b/low\nfilename=x\nTITLE1=T\n",
         {"http://A/Up", "http://b/low", "x"},
         {"T"}},
        {"text after the first = unchanged",
         "File1=http://a/?x=1&y=2\nTitle1= Spaced =Title \n",
         {"http://a/?x=1&y=2"},
         {" Spaced =Title "}},
        {"blank lines and garbage",
         "\n\n[playlist]\ngarbage\n\x01\x02\nFile1 has no equals\n"
         "  File2=indented\nNumberOfEntries=1\n\nFile3=http://ok/3\n\n",
         {"http://ok/3"},
         {}},
        {"empty values keep their place",
         "File1=\nTitle1=\nFile2=http://b\n",
         {"", "http://b"},
         {""}},
        {"no final line end", "File1=http://a/1", {"http://a/1"}, {}},
        {"byte-order mark",
         "\xEF\xBB\xBF"
         "File1=http://a/1\n",
         {"http://a/1"},
         {}},
        {"empty text", "", {}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PLSHelper::parse(c.text), c.files) << c.name;
        EXPECT_EQ(PLSHelper::getTitles(c.text), c.titles) << c.name;
    }
}

TEST(M3UHelperTest, FindsTheLiveStreamAsWritten)
{
    struct Case
    {
        const char* name;
        std::string text;
        std::optional<std::string> stream;
    };
    const Case cases[] = {
        {"an MP3 file, then the stream",
         "#EXTM3U\nhttp://files.example/song.mp3\nhttp://Live.Example:8000/Stream\n",
         "http://Live.Example:8000/Stream"},
        {"MP3 files only: a list of files", "#EXTM3U\nhttp://a/1.mp3\nHTTP://a/2.MP3\n",
         std::nullopt},
        {"https", "https://secure.example/Live\n", "https://secure.example/Live"},
        {"upper-case scheme kept", "HTTPS://A.example/Live\n", "HTTPS://A.example/Live"},
        {"trimmed, CR LF", "#EXTM3U\r\n#EXTINF:-1,Station\r\n \thttp://a.example/Live  \r\n",
         "http://a.example/Live"},
        {"bare CR", "#EXTM3U\rhttp://a/live\r", "http://a/live"},
        {"first qualifying line wins", "http://a/first\nhttp://b/second\n", "http://a/first"},
        {".mp3 only counts at the end", "http://a/x.mp3/live\n", "http://a/x.mp3/live"},
        {"no web address",
         "#EXTM3U\n#EXTINF:-1,http://in/a/comment\nrtsp://x/y\nftp://x/y\nlocal.aac\n",
         std::nullopt},
        {"byte-order mark", "\xEF\xBB\xBFhttp://a/live\n", "http://a/live"},
        {"empty text", "", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(M3UHelper::redirectsToRawStream(c.text), c.stream) << c.name;
}

TEST(M3UHelperTest, ListsEveryWebAddressWhateverTheLineEnds)
{
    const std::string playlist = "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:-1,One\r\n  http://a/one \r"
                                 "/local/file.mp3\nHTTPS://b/Two.mp3\n\nftp://c/x\n";
    EXPECT_EQ(M3UHelper::webAddresses(playlist),
              (std::vector<std::string>{"http://a/one", "HTTPS://b/Two.mp3"}));
    EXPECT_TRUE(M3UHelper::webAddresses("#EXTM3U\n").empty());
}
