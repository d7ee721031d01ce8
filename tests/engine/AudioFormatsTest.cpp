// The pieces that let a recording take AAC and Ogg stations: telling the format, ADTS frame
// runs, Ogg pages and comments, and the chained-stream splitter, checked against audio that
// ffmpeg encodes and files that ffprobe, ffmpeg and mutagen read back.

#include "AdtsFrames.h"
#include "AudioCheck.h"
#include "AudioFormat.h"
#include "Mp3Fixtures.h"
#include "OggChainSplitter.h"
#include "OggComments.h"
#include "OggPages.h"
#include "QuietGap.h"

#include <random>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

ByteVector concat(const ByteVector& a, const ByteVector& b)
{
    ByteVector out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

const ByteVector& aacSongs()
{
    static const ByteVector bytes = [] {
        TempDir dir;
        return encodeWithFfmpeg(pcmSongs({3.0, 3.0}, 1.0), dir, "-c:a aac -b:a 128k -f adts");
    }();
    return bytes;
}

const ByteVector& mp3Songs()
{
    static const ByteVector bytes = [] {
        TempDir dir;
        return encodeWithLame(pcmSongs({1.0}, 0.0), dir);
    }();
    return bytes;
}

/// Feeds bytes to a splitter in pieces of the given size and collects the files it makes.
struct SplitterRun
{
    std::vector<ByteVector> files;
    std::vector<std::optional<VorbisComments>> starts;
    OggChainSplitter splitter{
        [this](const OggStreamInfo&, const std::optional<VorbisComments>& comments) {
            starts.push_back(comments);
            files.emplace_back();
            return Dictionary{{"TPE1", "Tagged Artist"}, {"TCON", "Orvanta"}, {"TRCK", "0"}};
        },
        [this](const std::uint8_t* data, std::size_t length) {
            files.back().insert(files.back().end(), data, data + length);
        }};

    void feed(const ByteVector& bytes, std::size_t piece)
    {
        for (std::size_t at = 0; at < bytes.size(); at += piece)
            splitter.feed(bytes.data() + at, std::min(piece, bytes.size() - at));
    }
};

} // namespace

TEST(AudioFormatTest, ContentTypesAndFirstBytesTellTheFormat)
{
    EXPECT_EQ(formatForContentType("audio/mpeg"), AudioFormat::MP3);
    EXPECT_EQ(formatForContentType(" Audio/AACP ; charset=x"), AudioFormat::AAC);
    EXPECT_EQ(formatForContentType("audio/aac"), AudioFormat::AAC);
    EXPECT_EQ(formatForContentType("application/ogg"), AudioFormat::Ogg);
    EXPECT_EQ(formatForContentType("audio/ogg"), AudioFormat::Ogg);
    EXPECT_EQ(formatForContentType("audio/flac"), std::nullopt);
    EXPECT_EQ(formatForContentType(""), std::nullopt);

    const ByteVector& aac = aacSongs();
    const ByteVector& mp3 = mp3Songs();
    const ByteVector ogg = oggLink("vorbis", "A", "B", 0.5);
    const ByteVector head(aac.begin(), aac.begin() + 4096);
    // A station that says MP3 but sends AAC is found out, and the other way round.
    EXPECT_EQ(sniffFormat(head.data(), head.size(), AudioFormat::MP3), AudioFormat::AAC);
    EXPECT_EQ(sniffFormat(mp3.data(), 4096, AudioFormat::AAC), AudioFormat::MP3);
    EXPECT_EQ(sniffFormat(mp3.data(), 4096, std::nullopt), AudioFormat::MP3);
    EXPECT_EQ(sniffFormat(ogg.data(), ogg.size(), AudioFormat::MP3), AudioFormat::Ogg);
    // Joined in the middle of a frame: the next run is found.
    EXPECT_EQ(sniffFormat(head.data() + 100, head.size() - 100, std::nullopt), AudioFormat::AAC);
    std::mt19937 random(7);
    ByteVector noise(16384);
    for (auto& b : noise)
        b = static_cast<std::uint8_t>(random());
    EXPECT_EQ(sniffFormat(noise.data(), noise.size(), std::nullopt), std::nullopt);
}

TEST(AdtsFramesTest, RunsAreFoundWhereverTheBytesAreCut)
{
    const ByteVector& aac = aacSongs();
    // Every frame follows the one before, to the last byte.
    std::size_t position = 0;
    std::size_t frames = 0;
    while (position < aac.size()) {
        const auto header = AdtsFrames::decodeHeader(aac.data() + position);
        ASSERT_TRUE(header) << "frame " << frames << " at " << position;
        EXPECT_EQ(header->sampleRate, 44100);
        EXPECT_EQ(header->channelConfig, 1);
        position += header->frameLength;
        ++frames;
    }
    EXPECT_EQ(position, aac.size());
    EXPECT_NEAR(static_cast<double>(frames) * 1024 / 44100, 7.0, 0.1);

    ByteVector shifted = concat(ByteVector{0xFF, 0xF1, 0x00, 0x12, 0x34}, aac);
    EXPECT_EQ(AdtsFrames::findFirstRun(shifted.data(), shifted.size()).location, 5);

    // Searching a growing buffer from the resume point finds what a search of it all finds.
    const std::size_t firstLength = AdtsFrames::decodeHeader(aac.data())->frameLength;
    for (std::size_t cut = 1; cut < 3 * firstLength; cut += 37) {
        std::size_t resume = 0;
        const FrameRange partial = AdtsFrames::findFirstRun(shifted.data(), cut, &resume);
        ASSERT_LE(resume, cut);
        const FrameRange rest =
            AdtsFrames::findFirstRun(shifted.data() + resume, shifted.size() - resume);
        const std::int64_t found =
            partial.found() ? partial.location : static_cast<std::int64_t>(resume) + rest.location;
        EXPECT_EQ(found, 5) << "cut at " << cut;
    }
    // MPEG audio frames are never taken for ADTS ones.
    EXPECT_FALSE(AdtsFrames::findFirstRun(mp3Songs().data(), mp3Songs().size()).found());
}

TEST(AdtsFramesTest, TheQuietGapLiesInTheSilenceOnAFrame)
{
    const ByteVector& aac = aacSongs(); // 3 s, 1 s of silence, 3 s
    // Two seconds around the silence, starting in the middle of a frame.
    const std::size_t from = aac.size() * 2 / 7 + 11;
    const std::size_t to = aac.size() * 5 / 7;
    const ByteVector window(aac.begin() + static_cast<long>(from),
                            aac.begin() + static_cast<long>(to));
    const std::int64_t gap = findAacQuietGap(window.data(), window.size());
    ASSERT_GE(gap, 0);
    EXPECT_TRUE(AdtsFrames::decodeHeader(window.data() + gap)) << "a frame starts there";
    // The silence is the stream's fourth second (its bytes are few: silence costs little).
    std::size_t position = 0;
    std::size_t frame = 0;
    while (position < from + static_cast<std::size_t>(gap)) {
        position += AdtsFrames::decodeHeader(aac.data() + position)->frameLength;
        ++frame;
    }
    const double seconds = static_cast<double>(frame) * 1024 / 44100;
    EXPECT_GT(seconds, 3.0);
    EXPECT_LT(seconds, 4.0);
    EXPECT_EQ(findQuietGap(AudioFormat::AAC, window.data(), window.size()), gap);
    EXPECT_EQ(findAacQuietGap(window.data(), 100), -1);
}

TEST(OggPagesTest, PagesOfARealStreamAreReadAndDamageIsRefused)
{
    const ByteVector ogg = oggLink("vorbis", "A", "B");
    std::size_t position = 0;
    std::size_t pages = 0;
    std::uint32_t serial = 0;
    while (position < ogg.size()) {
        OggPage page;
        ASSERT_EQ(OggPages::pageAt(ogg.data() + position, ogg.size() - position, page),
                  OggPages::Check::Page)
            << "page " << pages;
        EXPECT_EQ(page.firstOfStream(), pages == 0);
        if (pages == 0)
            serial = page.serial;
        EXPECT_EQ(page.serial, serial);
        EXPECT_EQ(page.sequence, pages);
        position += page.length;
        ++pages;
    }
    EXPECT_GT(pages, 3u);

    OggPage page;
    EXPECT_EQ(OggPages::pageAt(ogg.data(), 20, page), OggPages::Check::NeedMore);
    ByteVector damaged = ogg;
    damaged[40] ^= 0x01;
    EXPECT_EQ(OggPages::pageAt(damaged.data(), damaged.size(), page), OggPages::Check::NoPage);
    // The search skips the damaged page and finds the next.
    const FrameRange next = OggPages::findFirstPage(damaged.data(), damaged.size());
    ASSERT_TRUE(next.found());
    EXPECT_GT(next.location, 0);
    EXPECT_EQ(OggPages::pageAt(damaged.data() + next.location,
                               damaged.size() - static_cast<std::size_t>(next.location), page),
              OggPages::Check::Page);
}

TEST(OggPagesTest, PacketsOfAnySizeSurvivePagingAndReadingBack)
{
    std::vector<Bytes> packets;
    for (std::size_t size : {0u, 1u, 254u, 255u, 256u, 510u, 70000u, 65025u}) {
        Bytes packet(size);
        for (std::size_t i = 0; i < size; ++i)
            packet[i] = static_cast<std::uint8_t>(i * 7 + size);
        packets.push_back(packet);
    }
    std::size_t pageCount = 0;
    const Bytes pages =
        OggPages::pagesForPackets(packets, 1234, 5, OggPage::kFirstOfStream, &pageCount);
    OggPacketReader reader;
    std::size_t position = 0;
    std::uint32_t expectedSequence = 5;
    while (position < pages.size()) {
        OggPage page;
        ASSERT_EQ(OggPages::pageAt(pages.data() + position, pages.size() - position, page),
                  OggPages::Check::Page);
        EXPECT_EQ(page.serial, 1234u);
        EXPECT_EQ(page.sequence, expectedSequence++);
        EXPECT_EQ(page.firstOfStream(), position == 0);
        reader.addPage(page);
        position += page.length;
    }
    EXPECT_EQ(expectedSequence - 5, pageCount);
    EXPECT_EQ(reader.packets(), packets);

    // A page that continues a packet whose start was lost gives no packet of it.
    OggPacketReader late;
    std::size_t second = 0;
    OggPage first;
    OggPages::pageAt(pages.data(), pages.size(), first);
    for (std::size_t at = 0, index = 0; at < pages.size(); ++index) {
        OggPage page;
        OggPages::pageAt(pages.data() + at, pages.size() - at, page);
        if (page.continued() && second == 0) {
            second = index;
            late.addPage(page);
        } else if (second != 0) {
            late.addPage(page);
        }
        at += page.length;
    }
    ASSERT_GT(second, 0u);
    for (const Bytes& packet : late.packets())
        EXPECT_NE(packet.size(), 70000u);
}

TEST(OggCommentsTest, CommentsAreReadChangedAndWrittenBackForBothCodecs)
{
    for (const std::string codec : {"vorbis", "opus"}) {
        const ByteVector ogg = oggLink(codec, "Some Artist", "Some Title", 0.5);
        OggPacketReader reader;
        for (std::size_t at = 0; at < ogg.size();) {
            OggPage page;
            ASSERT_EQ(OggPages::pageAt(ogg.data() + at, ogg.size() - at, page),
                      OggPages::Check::Page);
            reader.addPage(page);
            at += page.length;
        }
        ASSERT_GE(reader.packets().size(), 3u);
        const auto info = OggComments::identify(reader.packets()[0]);
        ASSERT_TRUE(info) << codec;
        EXPECT_EQ(info->codec, codec == "opus" ? OggCodec::Opus : OggCodec::Vorbis);
        EXPECT_EQ(info->channels, 1);
        const auto comments = OggComments::parse(info->codec, reader.packets()[1]);
        ASSERT_TRUE(comments) << codec;
        EXPECT_EQ(comments->value("artist"), "Some Artist");
        EXPECT_EQ(comments->value("TITLE"), "Some Title");
        // Written back unchanged, byte for byte.
        EXPECT_EQ(OggComments::build(info->codec, *comments), reader.packets()[1]) << codec;

        const VorbisComments tagged = OggComments::withTags(
            *comments, Dictionary{{"TPE1", "New"}, {"TALB", "Album"}, {"TRCK", "0"}});
        EXPECT_EQ(tagged.value("ARTIST"), "New");
        EXPECT_EQ(tagged.value("ALBUM"), "Album");
        EXPECT_EQ(tagged.value("TITLE"), "Some Title");
        EXPECT_EQ(tagged.value("TRACKNUMBER"), std::nullopt) << "track 0 is no number";
        const auto again = OggComments::parse(info->codec, OggComments::build(info->codec, tagged));
        ASSERT_TRUE(again);
        EXPECT_EQ(again->fields, tagged.fields);
    }
    // Lengths that point past the packet are refused, not followed.
    Bytes lying = {'\x03', 'v', 'o', 'r', 'b', 'i', 's', 0xFF, 0xFF, 0xFF, 0x7F};
    EXPECT_FALSE(OggComments::parse(OggCodec::Vorbis, lying));
    Bytes manyFields = {'O', 'p', 'u', 's', 'T', 'a', 'g', 's', 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(OggComments::parse(OggCodec::Opus, manyFields));
    EXPECT_FALSE(OggComments::identify(Bytes{'\x7f', 'F', 'L', 'A', 'C'}));
}

TEST(OggChainSplitterTest, EachLinkOfAChainBecomesAWholeTaggedFile)
{
    for (const std::string codec : {"vorbis", "opus"}) {
        const ByteVector first = oggLink(codec, "Artist A", "Song One");
        const ByteVector second = oggLink(codec, "Artist B", "Song Two");
        // Garbage between the links is skipped.
        ByteVector chain = concat(concat(first, ByteVector{'O', 'g', 'g', 'S', 0, 9, 9}), second);
        std::vector<std::vector<ByteVector>> results;
        for (std::size_t piece : {1u, 333u, 65536u}) {
            SplitterRun run;
            run.feed(chain, piece);
            ASSERT_EQ(run.files.size(), 2u) << codec << " in pieces of " << piece;
            ASSERT_TRUE(run.starts[0] && run.starts[1]);
            EXPECT_EQ(run.starts[0]->value("TITLE"), "Song One");
            EXPECT_EQ(run.starts[1]->value("ARTIST"), "Artist B");
            EXPECT_EQ(run.splitter.bytesWithoutAudio(), 0u);
            results.push_back(run.files);
        }
        EXPECT_EQ(results[0], results[1]) << codec;
        EXPECT_EQ(results[1], results[2]) << codec;

        TempDir dir;
        for (std::size_t i = 0; i < 2; ++i) {
            const std::string path = dir.file("link" + std::to_string(i) + ".ogg");
            writeFile(path, std::string(results[0][i].begin(), results[0][i].end()));
            AudioCheck check = checkAudio(path);
            EXPECT_EQ(check.codec, codec);
            EXPECT_EQ(check.errors, "") << codec << " link " << i;
            EXPECT_NEAR(check.decoded, 2.0, check.frame) << codec << " link " << i;
            EXPECT_NEAR(check.container, check.decoded, check.frame) << codec << " link " << i;
            // The file's tags replace the stream's own; the rest of its comments stay.
            EXPECT_EQ(check.tags["ARTIST"], "Tagged Artist");
            EXPECT_EQ(check.tags["TITLE"], i == 0 ? "Song One" : "Song Two");
            EXPECT_EQ(check.tags["GENRE"], "Orvanta");
            EXPECT_EQ(check.tags.count("TRACKNUMBER"), 0u);
            EXPECT_EQ(check.tags.count("ENCODER"), 1u);
        }
    }
}

TEST(OggChainSplitterTest, JoiningMidStreamAndSplitsOnRequest)
{
    const ByteVector first = oggLink("vorbis", "Artist A", "Song One");
    const ByteVector second = oggLink("vorbis", "Artist B", "Song Two");
    // Joined after the first link's headers: nothing of it can be decoded, so nothing of it
    // is written; the second link records whole.
    SplitterRun joined;
    joined.feed(concat(ByteVector(first.begin() + 6000, first.end()), second), 4096);
    ASSERT_EQ(joined.files.size(), 1u);
    ASSERT_TRUE(joined.starts[0]);
    EXPECT_EQ(joined.starts[0]->value("TITLE"), "Song Two");

    // A split asked for inside a link starts at the next page, with the link's headers.
    SplitterRun requested;
    requested.splitter.requestNewFile(); // before any audio: not yet
    const auto middle = first.begin() + static_cast<long>(first.size() * 3 / 4);
    requested.feed(ByteVector(first.begin(), middle), 5000);
    requested.splitter.requestNewFile();
    requested.feed(ByteVector(middle, first.end()), 5000);
    ASSERT_EQ(requested.files.size(), 2u);
    EXPECT_FALSE(requested.starts[1]) << "no new comments: the owner names the file";
    TempDir dir;
    double total = 0;
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string path = dir.file("part" + std::to_string(i) + ".ogg");
        writeFile(path, std::string(requested.files[i].begin(), requested.files[i].end()));
        const AudioCheck check = checkAudio(path);
        EXPECT_EQ(check.errors, "") << "part " << i;
        total += check.decoded;
    }
    EXPECT_NEAR(total, 2.0, 0.1);

    // A codec this recorder does not know is said, and nothing is written.
    const Bytes flacIdentification = {'\x7f', 'F', 'L', 'A', 'C', 1, 0, 0, 1};
    SplitterRun unknown;
    const Bytes page =
        OggPages::pagesForPackets({flacIdentification}, 99, 0, OggPage::kFirstOfStream);
    unknown.feed(ByteVector(page.begin(), page.end()), 100);
    EXPECT_TRUE(unknown.splitter.unsupportedCodec());
    EXPECT_TRUE(unknown.files.empty());
}
