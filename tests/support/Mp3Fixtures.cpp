#include "Mp3Fixtures.h"

#include <cmath>

#include <gtest/gtest.h>

namespace orvanta::test {

ByteVector syntheticFrames(std::size_t count, std::uint8_t seed)
{
    ByteVector out;
    out.reserve(count * kFrameLength);
    std::uint8_t value = seed;
    for (std::size_t f = 0; f < count; ++f) {
        out.insert(out.end(), kFrameHeader, kFrameHeader + 4);
        for (std::size_t i = 4; i < kFrameLength; ++i) {
            out.push_back(value);
            value = static_cast<std::uint8_t>(value == 0xFE ? 0 : value + 1);
        }
    }
    return out;
}

ByteVector encodeWithLame(const ByteVector& pcm, const TempDir& dir)
{
    const std::string raw = dir.file("songs.raw");
    const std::string mp3 = dir.file("songs.mp3");
    writeFile(raw, std::string(pcm.begin(), pcm.end()));
    std::string output;
    const int status = runCommand("lame --silent -t -r -s 44.1 --bitwidth 16 --signed "
                                  "--little-endian -m m --cbr -b 128 '" +
                                      raw + "' '" + mp3 + "'",
                                  &output);
    EXPECT_EQ(status, 0) << "lame failed: " << output;
    const std::string bytes = readFile(mp3);
    return ByteVector(bytes.begin(), bytes.end());
}

ByteVector encodeWithFfmpeg(const ByteVector& pcm, const TempDir& dir,
                            const std::string& codecArguments, const std::string& metadata)
{
    try {
        return encodeWithFfmpegIn(pcm, dir.path(), codecArguments, metadata);
    } catch (const std::exception& error) {
        ADD_FAILURE() << error.what();
        return {};
    }
}

ByteVector oggLink(const std::string& codec, const std::string& artist, const std::string& title,
                   double seconds)
{
    TempDir dir;
    const std::string arguments =
        codec == "opus" ? "-c:a libopus -b:a 64k -f ogg" : "-c:a libvorbis -b:a 96k -f ogg";
    return encodeWithFfmpeg(pcmSongs({seconds}, 0.0), dir, arguments,
                            "-metadata artist='" + artist + "' -metadata title='" + title + "'");
}

int decodeWithMpg123(const std::string& path, std::string* output)
{
    return runCommand("mpg123 -t -q '" + path + "'", output);
}

} // namespace orvanta::test
