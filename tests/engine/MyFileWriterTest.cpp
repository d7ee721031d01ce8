#include "MyFileWriter.h"
#include "AdtsFrames.h"

#include "Mp3Fixtures.h"
#include "MyMP3Util.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "TempDir.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>

#include <sys/resource.h>

#include <gtest/gtest.h>

using namespace orvanta;
namespace fs = std::filesystem;

namespace {

struct Relay : RawDataWriter
{
    test::ByteVector received;
    bool writeRawData(const std::uint8_t* data, std::size_t length) override
    {
        received.insert(received.end(), data, data + length);
        return true;
    }
};

class MyFileWriterTest : public ::testing::Test
{
protected:
    test::TempDir dir;
    NotificationCenter center;
    std::mutex postedMutex; // observers run on whichever thread posts
    std::vector<Notification> posted;
    MyFileWriter writer{center};

    void SetUp() override
    {
        center.addObserver("", [this](const Notification& n) {
            std::lock_guard lock(postedMutex);
            posted.push_back(n);
        });
        writer.setTag(3);
    }

    Dictionary info(const std::string& filename, const std::string& folder = "Station")
    {
        return Dictionary{{"completeBaseDir", dir.file(folder)},
                          {"filename", filename},
                          {"ID3TAGS", Dictionary{{"TPE1", "Artist"}, {"TIT2", filename}}},
                          {"STREAMTITLE", "Artist - " + filename}};
    }

    void write(const test::ByteVector& bytes) { writer.writeData(bytes.data(), bytes.size()); }

    std::vector<Dictionary> reports() const
    {
        std::vector<Dictionary> result;
        for (const auto& n : posted) {
            if (n.name == OVRecordingFileCompleted) {
                EXPECT_EQ(n.object.toInteger(), 3);
                result.push_back(n.userInfo.toDictionary());
            }
        }
        return result;
    }

    std::vector<std::string> alerts() const
    {
        std::vector<std::string> result;
        for (const auto& n : posted) {
            if (n.name == OVFatalErrorAlertNotification)
                result.push_back(
                    n.userInfo.toDictionary().get(OVErrorAlertNotificationMessage).toString());
        }
        return result;
    }

    // Records one file named filename holding frames, and finishes it.
    void recordFile(const std::string& filename, bool move = true, std::size_t frames = 5)
    {
        writer.addNewFileTags(info(filename));
        ASSERT_TRUE(writer.createNewFile());
        write(test::syntheticFrames(frames));
        ASSERT_TRUE(writer.finishCurrentFileAndMove(move));
    }
};

test::ByteVector fileBytes(const std::string& path)
{
    const std::string s = test::readFile(path);
    return test::ByteVector(s.begin(), s.end());
}

} // namespace

TEST_F(MyFileWriterTest, AudioStartsOnTheFirstFrameRunAndEveryBlockReachesTheRelay)
{
    auto relay = std::make_shared<Relay>();
    writer.setCallbackWriter(relay);
    writer.addNewFileTags(info("Song"));
    ASSERT_TRUE(writer.createNewFile());
    EXPECT_EQ(writer.incompleteFilePath(), dir.file("Station/incomplete/Song.mp3"));

    test::ByteVector stream = {0x01, 0xFF, 0xFB, 0x02}; // leading noise with a false sync
    const test::ByteVector frames = test::syntheticFrames(6, 17);
    stream.insert(stream.end(), frames.begin(), frames.end());
    for (std::size_t at = 0; at < stream.size(); at += 100)
        writer.writeData(stream.data() + at, std::min<std::size_t>(100, stream.size() - at));
    EXPECT_EQ(relay->received, stream);
    ASSERT_TRUE(writer.finishCurrentFileAndMove(true));

    EXPECT_EQ(fileBytes(dir.file("Station/Song.mp3")), frames);
    EXPECT_FALSE(test::fileExists(dir.file("Station/incomplete/Song.mp3")));
    const auto done = reports();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].get("location").toString(), dir.file("Station/Song.mp3"));
    EXPECT_TRUE(done[0].get("dateCompleted").isDate());
    EXPECT_EQ(done[0].get("STREAMTITLE").toString(), "Artist - Song");
    EXPECT_FALSE(done[0].contains("incomplete"));
    // The stream's bitrate and channels are announced once for the file.
    ASSERT_EQ(posted.size(), 3u);
    EXPECT_EQ(posted[0].name, OVStreamBitrateNotification);
    EXPECT_EQ(posted[0].userInfo.toInteger(), 128);
    EXPECT_EQ(posted[1].name, OVStreamStereoNotification);
}

TEST_F(MyFileWriterTest, TagsGoAtTheStartOrAtTheEnd)
{
    MyFileWriter v2(center);
    v2.setUseID3v2();
    v2.addNewFileTags(info("Tagged"));
    ASSERT_TRUE(v2.createNewFile());
    const test::ByteVector frames = test::syntheticFrames(3);
    v2.writeData(frames.data(), frames.size());
    v2.finishCurrentFileAndMove(true);
    const test::ByteVector withV2 = fileBytes(dir.file("Station/Tagged.mp3"));
    const Bytes tag =
        MyFileWriter::createID3v2TagFromDictionary(info("Tagged").get("ID3TAGS").toDictionary());
    ASSERT_EQ(withV2.size(), tag.size() + frames.size());
    EXPECT_TRUE(std::equal(tag.begin(), tag.end(), withV2.begin()));

    MyFileWriter v1(center);
    v1.setUseID3v1();
    v1.addNewFileTags(info("Old style"));
    ASSERT_TRUE(v1.createNewFile());
    v1.writeData(frames.data(), frames.size());
    v1.finishCurrentFileAndMove(true);
    const test::ByteVector withV1 = fileBytes(dir.file("Station/Old style.mp3"));
    ASSERT_EQ(withV1.size(), frames.size() + 128);
    EXPECT_EQ(std::string(withV1.end() - 128, withV1.end() - 125), "TAG");
}

TEST_F(MyFileWriterTest, NamesAreStrippedNumberedAndNeverReplaceAFile)
{
    EXPECT_EQ(MyFileWriter::stripInvalidFilenameCharacters("..Song:Mix?"), "SongMix");
    EXPECT_EQ(MyFileWriter::stripInvalidFilenameCharacters("a/b\\c*d\"e<f>g|h~i"), "abcdefghi");
    EXPECT_EQ(MyFileWriter::stripInvalidFilenameCharacters("..."), "");
    EXPECT_EQ(MyFileWriter::stripInvalidFilenameCharacters("tab\there\x01\x7F"), "tabhere");
    EXPECT_EQ(MyFileWriter::stripInvalidFilenameCharacters("../../etc/passwd"), "etcpasswd");

    recordFile("Song");
    recordFile("Song");
    recordFile("Song");
    EXPECT_TRUE(test::fileExists(dir.file("Station/Song.mp3")));
    EXPECT_TRUE(test::fileExists(dir.file("Station/Song 1.mp3")));
    EXPECT_TRUE(test::fileExists(dir.file("Station/Song 2.mp3")));
    const auto done = reports();
    ASSERT_EQ(done.size(), 3u);
    EXPECT_EQ(done[2].get("location").toString(), dir.file("Station/Song 2.mp3"))
        << "the report says where the file really went";

    // A foreign file in the incomplete folder is left alone as well.
    test::writeFile(dir.file("Station/incomplete/Other.mp3"), "not ours");
    recordFile("Other");
    EXPECT_EQ(test::readFile(dir.file("Station/incomplete/Other.mp3")), "not ours");
    EXPECT_TRUE(test::fileExists(dir.file("Station/Other 1.mp3")));

    writer.setUseFileCounter();
    recordFile("..Song:Mix?");
    recordFile("Next");
    EXPECT_TRUE(test::fileExists(dir.file("Station/001 - SongMix.mp3")));
    EXPECT_TRUE(test::fileExists(dir.file("Station/002 - Next.mp3")));
    writer.decFileCounter();
    recordFile("Again");
    EXPECT_TRUE(test::fileExists(dir.file("Station/002 - Again.mp3")));

    recordFile("...");
    EXPECT_TRUE(test::fileExists(dir.file("Station/003 - Unknown Track.mp3")));
}

TEST_F(MyFileWriterTest, OverLongNamesAreShortenedOnACharacterBoundary)
{
    std::string longName;
    for (int i = 0; i < 100; ++i)
        longName += "日"; // three bytes each
    const std::string name = MyFileWriter::fileNameFor("001 - ", longName, 12);
    EXPECT_LE(name.size(), 255u);
    EXPECT_EQ(name.rfind("001 - ", 0), 0u);
    EXPECT_EQ(name.substr(name.size() - 7), " 12.mp3");
    const std::string stem = name.substr(6, name.size() - 6 - 7);
    EXPECT_EQ(stem.size() % 3, 0u) << "no character is cut in half";

    writer.setUseFileCounter();
    recordFile(longName);
    recordFile(longName);
    const auto done = reports();
    ASSERT_EQ(done.size(), 2u);
    for (const auto& report : done) {
        const std::string location = report.get("location").toString();
        ASSERT_FALSE(location.empty());
        EXPECT_TRUE(test::fileExists(location));
        EXPECT_LE(fs::path(location).filename().string().size(), 255u);
    }
}

TEST_F(MyFileWriterTest, FinishedFilesAreDisposedOfByTheFirstRuleThatApplies)
{
    writer.setIgnoreFileSizeBytes(4 * 417);
    recordFile("Tiny", false, 3); // too small wins over being left incomplete
    recordFile("Kept incomplete", false);
    writer.setIgnoreDuplicateRecordings(true);
    Dictionary duplicate = info("Heard before");
    duplicate.set("duplicate", 1);
    writer.addNewFileTags(duplicate);
    writer.createNewFile();
    write(test::syntheticFrames(5));
    writer.finishCurrentFileAndMove(true);

    const auto done = reports();
    ASSERT_EQ(done.size(), 3u);
    EXPECT_TRUE(done[0].contains("tooSmall"));
    EXPECT_TRUE(done[0].contains("ignored"));
    EXPECT_FALSE(done[0].contains("location"));
    EXPECT_FALSE(test::fileExists(dir.file("Station/incomplete/Tiny.mp3")));

    EXPECT_TRUE(done[1].contains("incomplete"));
    EXPECT_EQ(done[1].get("location").toString(),
              dir.file("Station/incomplete/Kept incomplete.mp3"));
    EXPECT_FALSE(done[1].contains("dateCompleted"));
    EXPECT_TRUE(test::fileExists(dir.file("Station/incomplete/Kept incomplete.mp3")));

    EXPECT_TRUE(done[2].contains("ignored"));
    EXPECT_FALSE(test::fileExists(dir.file("Station/incomplete/Heard before.mp3")));
    EXPECT_FALSE(test::fileExists(dir.file("Station/Heard before.mp3")));

    posted.clear();
    EXPECT_TRUE(writer.finishCurrentFileAndMove(true)) << "no open file: nothing to report";
    EXPECT_TRUE(posted.empty());
}

TEST_F(MyFileWriterTest, AFileThatNeverGotAnMP3FrameLeavesNothingBehind)
{
    // A web page, a playlist, two lone frames: no run of frames, so no audio to keep.
    const std::string page = "<html><body>Not Found</body></html>";
    const test::ByteVector twoFrames = test::syntheticFrames(2);
    const std::vector<test::ByteVector> bodies = {test::ByteVector(page.begin(), page.end()),
                                                  twoFrames};
    int number = 0;
    for (const auto& body : bodies) {
        for (const char* how : {"finish", "stop", "skip"}) {
            const std::string name = "Empty " + std::to_string(++number);
            writer.addNewFileTags(info(name));
            ASSERT_TRUE(writer.createNewFile());
            write(body);
            EXPECT_GT(writer.bytesSearchedWithoutFrames(), 0u) << name;
            posted.clear();
            if (std::string(how) == "finish")
                writer.finishCurrentFileAndMove(true);
            else if (std::string(how) == "stop")
                writer.stopCurrentFile();
            else
                writer.skipCurrentFile();
            EXPECT_FALSE(test::fileExists(dir.file("Station/incomplete/" + name + ".mp3"))) << how;
            EXPECT_FALSE(test::fileExists(dir.file("Station/" + name + ".mp3"))) << how;
            // Only the user's skip is worth a history entry; it names no file.
            const auto done = reports();
            if (std::string(how) == "skip") {
                ASSERT_EQ(done.size(), 1u) << how;
                EXPECT_TRUE(done[0].contains("skipped"));
                EXPECT_FALSE(done[0].contains("location"));
            } else {
                EXPECT_TRUE(done.empty()) << how;
            }
        }
    }
    EXPECT_EQ(writer.audioBytesWritten(), 0u);
}

TEST_F(MyFileWriterTest, ASkippedFileStaysIncompleteAndLaterAudioGoesToTheRelayOnly)
{
    auto relay = std::make_shared<Relay>();
    writer.setCallbackWriter(relay);
    writer.addNewFileTags(info("Skipped"));
    writer.addNewFileTags(info("Following"));
    writer.createNewFile();
    write(test::syntheticFrames(4));
    writer.skipCurrentFile();
    const test::ByteVector more = test::syntheticFrames(4, 9);
    EXPECT_FALSE(writer.writeData(more.data(), more.size()));
    EXPECT_EQ(relay->received.size(), 8 * 417u);

    const auto done = reports();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_TRUE(done[0].contains("skipped"));
    EXPECT_TRUE(done[0].contains("ignored"));
    EXPECT_EQ(fileBytes(dir.file("Station/incomplete/Skipped.mp3")).size(), 4 * 417u);
    EXPECT_EQ(writer.pendingFileTagsCount(), 1u);

    posted.clear();
    writer.skipCurrentFile(); // nothing open: the queued entry is not reported as skipped
    EXPECT_TRUE(posted.empty());
    EXPECT_EQ(writer.pendingFileTagsCount(), 1u);
}

TEST_F(MyFileWriterTest, RewindMovesTheLastSecondsIntoTheNextFileFromAFrameBoundary)
{
    writer.setRewindSeconds(2.0f, 128);
    EXPECT_EQ(writer.rewindSplitNumBytes(), 32000u);
    writer.setRewindSeconds(-1.0f, 128);
    EXPECT_EQ(writer.rewindSplitNumBytes(), 0u);
    writer.setRewindSeconds(0.01f, 128); // 160 bytes: less than a frame
    EXPECT_EQ(writer.rewindSplitNumBytes(), 160u);

    writer.setUseID3v2();
    writer.setRewindSeconds(1.0f, 128); // 16000 bytes
    writer.addNewFileTags(info("First"));
    writer.createNewFile();
    const test::ByteVector frames = test::syntheticFrames(100, 5);
    write(frames);
    const std::uint64_t before = writer.currentFileSize();
    writer.rewind();
    const std::uint64_t cut = writer.currentFileSize();
    const std::uint64_t position = before - 16000;
    // The cut lands on the first frame boundary at or after size - 16000.
    const std::uint64_t tagSize = before - frames.size();
    const std::uint64_t intoAudio = position - tagSize;
    const std::uint64_t boundary = (intoAudio + 416) / 417 * 417;
    EXPECT_EQ(cut, tagSize + boundary);

    writer.addNewFileTags(info("Second"));
    writer.createNewFile();
    write(test::syntheticFrames(3, 7));
    writer.finishCurrentFileAndMove(true);
    const test::ByteVector first = fileBytes(dir.file("Station/First.mp3"));
    const test::ByteVector second = fileBytes(dir.file("Station/Second.mp3"));
    EXPECT_EQ(first.size(), cut);
    const test::ByteVector moved(frames.begin() + static_cast<long>(boundary), frames.end());
    const std::uint64_t secondTag = second.size() - moved.size() - 3 * 417;
    EXPECT_TRUE(
        std::equal(moved.begin(), moved.end(), second.begin() + static_cast<long>(secondTag)))
        << "the moved audio opens the next file, in order";
}

TEST_F(MyFileWriterTest, RewindNeverTakesTheTagOrMoreThanTheFileHolds)
{
    writer.setUseID3v2();
    writer.setRewindSeconds(1.0f, 128);
    writer.addNewFileTags(info("Short"));
    writer.createNewFile();
    write(test::syntheticFrames(30)); // 12510 bytes of audio, less than 16000
    const std::uint64_t size = writer.currentFileSize();
    writer.rewind();
    EXPECT_EQ(writer.currentFileSize(), size);
    writer.addNewFileTags(info("After"));
    writer.createNewFile();
    EXPECT_EQ(writer.bufferedBytes(), 0u) << "nothing was moved";
}

TEST_F(MyFileWriterTest, FrameSearchKeepsOnlyAFewFramesOfGarbage)
{
    writer.addNewFileTags(info("Noise"));
    writer.createNewFile();
    std::mt19937 random(42);
    test::ByteVector block(4096);
    for (int i = 0; i < 256; ++i) { // a megabyte that never holds three frames in a row
        for (auto& b : block)
            b = static_cast<std::uint8_t>(random() % 0xFF);
        block[100] = 0xFF;
        block[101] = 0xFB;
        block[102] = 0x90;
        write(block);
        EXPECT_LT(writer.bufferedBytes(), block.size() + 3 * 1441 + 4);
    }
    EXPECT_EQ(writer.currentFileSize(), 0u);
    const test::ByteVector frames = test::syntheticFrames(3);
    write(frames);
    writer.finishCurrentFileAndMove(true);
    EXPECT_EQ(fileBytes(dir.file("Station/Noise.mp3")), frames);
}

TEST_F(MyFileWriterTest, TheDiskSpaceSafetyStopsBeforeTheDiscIsFull)
{
    writer.setDiskSpaceSafety(true);
    writer.setFreeSpaceProbe([](int) { return std::optional<std::uint64_t>(50u << 20); });
    writer.addNewFileTags(info("Big"));
    writer.createNewFile();
    write(test::syntheticFrames(3));
    write(test::syntheticFrames(3));
    EXPECT_EQ(writer.currentFileSize(), 0u);
    const auto messages = alerts();
    ASSERT_EQ(messages.size(), 1u) << "one alert, not one per block";
    EXPECT_NE(messages[0].find(" - Out of disk space, reached safety limit"), std::string::npos);
    EXPECT_EQ(messages[0].front(), '/') << "names the mount point: " << messages[0];

    writer.setFreeSpaceProbe([](int) { return std::optional<std::uint64_t>(); }); // unknown
    writer.stopCurrentFile();
    writer.addNewFileTags(info("Unknown space"));
    writer.createNewFile();
    write(test::syntheticFrames(3));
    EXPECT_EQ(writer.currentFileSize(), 3 * 417u);
}

TEST_F(MyFileWriterTest, AFailedWriteIsReportedAsAFullDisc)
{
    writer.addNewFileTags(info("Limited"));
    writer.createNewFile();
    // The file-size limit makes the kernel refuse the write as a full disc would.
    struct rlimit old
    {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = old;
    limit.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const test::ByteVector frames = test::syntheticFrames(5);
    const bool result = writer.writeData(frames.data(), frames.size());
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(result);
    EXPECT_EQ(alerts(), std::vector<std::string>{"Out of disk space!"});
}

TEST_F(MyFileWriterTest, AFileThatCannotBeCreatedRaisesAnAlert)
{
    test::writeFile(dir.file("blocked"), "a file where a folder should be");
    writer.addNewFileTags(info("Song", "blocked/Station"));
    EXPECT_FALSE(writer.createNewFile());
    EXPECT_EQ(writer.currentFileSize(), 0u);
    const test::ByteVector frames = test::syntheticFrames(3);
    EXPECT_FALSE(writer.writeData(frames.data(), frames.size()));
    const auto messages = alerts();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("blocked/Station/incomplete"), std::string::npos) << messages[0];
}

TEST_F(MyFileWriterTest, RealAudioInRandomBlocksDecodesCleanly)
{
    const test::ByteVector mp3 = test::encodeWithLame(test::pcmSongs({3.0}, 0.0), dir);
    ASSERT_GT(mp3.size(), 10000u);
    writer.setUseID3v2();
    writer.addNewFileTags(info("Tone"));
    writer.createNewFile();
    std::mt19937 random(7);
    for (std::size_t at = 0; at < mp3.size();) {
        const std::size_t n = std::min<std::size_t>(1 + random() % 16384, mp3.size() - at);
        writer.writeData(mp3.data() + at, n);
        at += n;
    }
    writer.finishCurrentFileAndMove(true);
    const test::ByteVector file = fileBytes(dir.file("Station/Tone.mp3"));
    const FrameRange first = MyMP3Util::findFirstHeaderInBuffer(mp3.data(), mp3.size());
    ASSERT_TRUE(first.found());
    const test::ByteVector audio(mp3.begin() + first.location, mp3.end());
    ASSERT_GE(file.size(), audio.size());
    EXPECT_TRUE(
        std::equal(audio.begin(), audio.end(), file.end() - static_cast<long>(audio.size())))
        << "every audio byte from the first frame run on, in order";
    const std::size_t tagSize = file.size() - audio.size();
    EXPECT_TRUE(MyMP3Util::isMPEG1Layer3(file.data() + tagSize));
    std::string output;
    EXPECT_EQ(test::decodeWithMpg123(dir.file("Station/Tone.mp3"), &output), 0) << output;
    EXPECT_EQ(output.find("sync"), std::string::npos) << output;
}

TEST_F(MyFileWriterTest, SkippingFromAnotherThreadWhileAudioIsWrittenIsSafe)
{
    for (int i = 0; i < 20; ++i)
        writer.addNewFileTags(info("Track " + std::to_string(i)));
    writer.createNewFile();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        const test::ByteVector frames = test::syntheticFrames(4);
        for (int i = 0; i < 400; ++i) {
            writer.writeData(frames.data(), frames.size());
            if (i % 40 == 39)
                writer.createNewFile();
        }
        done = true;
    });
    while (!done) {
        writer.skipCurrentFile();
        std::this_thread::yield();
    }
    worker.join();
    writer.finishCurrentFileAndMove(true);
    EXPECT_LE(reports().size(), 20u);
    EXPECT_GE(reports().size(), 10u);
}

TEST_F(MyFileWriterTest, FinishedFilesAreReadBackByAnIndependentReader)
{
    const test::ByteVector mp3 = test::encodeWithLame(test::pcmSongs({2.0}, 0.0), dir);
    const Bytes picture = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46};
    Dictionary tags{{"TPE1", "Кино"}, {"TIT2", "夜の歌"},   {"TALB", "Live"}, {"TCON", "Rock"},
                    {"TRCK", "7"},    {"COMM", "Recorded"}, {"POPM", 196},    {"APIC", picture}};
    auto record = [&](MyFileWriter& w, const std::string& name) {
        w.addNewFileTags(Dictionary{
            {"completeBaseDir", dir.file("Read")}, {"filename", name}, {"ID3TAGS", tags}});
        ASSERT_TRUE(w.createNewFile());
        for (std::size_t at = 0; at < mp3.size(); at += 3000)
            w.writeData(mp3.data() + at, std::min<std::size_t>(3000, mp3.size() - at));
        w.finishCurrentFileAndMove(true);
    };
    MyFileWriter v2(center);
    v2.setUseID3v2();
    record(v2, "v2");
    MyFileWriter v1(center);
    v1.setUseID3v1();
    record(v1, "v1");

    const std::string reader =
        "/usr/bin/python3 " + std::string(ORVANTA_TEST_DATA_DIR) + "/engine/id3_readback.py ";
    std::string output;
    ASSERT_EQ(test::runCommand(reader + "v2 '" + dir.file("Read/v2.mp3") + "'", &output), 0)
        << output;
    for (const char* expected :
         {"TPE1\t1|Кино\n", "TIT2\t1|夜の歌\n", "TALB\t1|Live\n", "TCON\t1|Rock\n", "TRCK\t1|7\n",
          "COMM\t1|eng||Recorded\n", "POPM\t|196|0\n",
          "APIC\t0|image/jpeg|3||FF D8 FF E0 00 10 4A 46\n", "audio\t3|128000|44100|"})
        EXPECT_NE(output.find(expected), std::string::npos) << expected << " in\n" << output;

    ASSERT_EQ(test::runCommand(reader + "v1 '" + dir.file("Read/v1.mp3") + "'", &output), 0)
        << output;
    for (const char* expected : {"TPE1\t0|????\n", "TIT2\t0|???\n", "TALB\t0|Live\n"})
        EXPECT_NE(output.find(expected), std::string::npos) << expected << " in\n" << output;
    EXPECT_EQ(test::decodeWithMpg123(dir.file("Read/v2.mp3"), &output), 0) << output;
}

TEST_F(MyFileWriterTest, AnAacFileEndsOnItsLastWholeFrameWithItsTagInFront)
{
    test::TempDir encodeDir;
    const test::ByteVector aac =
        test::encodeWithFfmpeg(test::pcmSongs({1.0}, 0.0), encodeDir, "-c:a aac -b:a 96k -f adts");
    writer.setAudioFormat(AudioFormat::AAC, ".aac");
    writer.setUseID3v2();
    for (const bool finished : {true, false}) {
        const std::string name = finished ? "finished" : "stopped";
        writer.addNewFileTags(info(name));
        ASSERT_TRUE(writer.createNewFile());
        // Joined in the middle of a frame, ended in the middle of another.
        write(test::ByteVector(aac.begin() + 100, aac.end() - 50));
        const std::string incomplete = writer.incompleteFilePath();
        EXPECT_EQ(fs::path(incomplete).extension(), ".aac");
        if (finished)
            writer.finishCurrentFileAndMove(true);
        else
            writer.stopCurrentFile();
        const std::string path =
            finished ? reports().back().get("location").toString() : incomplete;
        const std::string bytes = test::readFile(path);
        ASSERT_EQ(bytes.compare(0, 3, "ID3"), 0) << name << ": the tag comes first";
        const auto b = [&bytes](std::size_t i) {
            return static_cast<std::size_t>(static_cast<unsigned char>(bytes[i]));
        };
        const std::size_t tagEnd = 10 + ((b(6) << 21) | (b(7) << 14) | (b(8) << 7) | b(9));
        const test::ByteVector audio(bytes.begin() + static_cast<long>(tagEnd), bytes.end());
        ASSERT_FALSE(audio.empty()) << name;
        // Whole frames from the first run on, and not one byte of the cut one.
        std::size_t position = 0;
        while (position + AdtsFrames::kHeaderLength <= audio.size()) {
            const auto header = AdtsFrames::decodeHeader(audio.data() + position);
            ASSERT_TRUE(header) << name << " at " << position;
            position += header->frameLength;
        }
        EXPECT_EQ(position, audio.size()) << name;
        const auto start = std::search(aac.begin(), aac.end(), audio.begin(), audio.begin() + 16);
        ASSERT_NE(start, aac.end());
        EXPECT_TRUE(std::equal(audio.begin(), audio.end(), start)) << name;
        EXPECT_GT(aac.end() - 50 - (start + static_cast<long>(audio.size())), 0) << name;
    }
}
