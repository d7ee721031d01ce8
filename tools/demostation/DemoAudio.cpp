#include "DemoAudio.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <sys/wait.h>

namespace orvanta::test {

ByteVector pcmSongs(const std::vector<double>& toneSeconds, double gapSeconds)
{
    constexpr double kRate = 44100.0;
    ByteVector out;
    auto sample = [&out](int v) {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    };
    for (std::size_t song = 0; song < toneSeconds.size(); ++song) {
        if (song > 0) {
            for (int i = 0; i < static_cast<int>(gapSeconds * kRate); ++i)
                sample(0);
        }
        const double frequency = 330.0 + 110.0 * static_cast<double>(song % 4);
        for (int i = 0; i < static_cast<int>(toneSeconds[song] * kRate); ++i)
            sample(static_cast<int>(12000.0 * std::sin(2 * M_PI * frequency * i / kRate)));
    }
    return out;
}

namespace {

void writePcm(const ByteVector& pcm, const std::string& raw)
{
    std::ofstream out(raw, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size()));
    if (!out.good())
        throw std::runtime_error("cannot write " + raw);
}

/// Runs an encoder's command line, which reads raw and writes encoded; the encoded bytes.
ByteVector runEncoder(const std::string& name, const std::string& raw, const std::string& encoded,
                      const std::string& command)
{
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot start " + name);
    std::string output;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    const int status = ::pclose(pipe);
    std::remove(raw.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(name + " failed (is it installed?): " + output);
    std::ifstream in(encoded, std::ios::binary);
    ByteVector bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(encoded.c_str());
    if (bytes.empty())
        throw std::runtime_error(name + " produced no audio");
    return bytes;
}

} // namespace

ByteVector encodeWithLameIn(const ByteVector& pcm, const std::string& folder)
{
    const std::string raw = folder + "/songs.raw";
    const std::string mp3 = folder + "/songs.mp3";
    writePcm(pcm, raw);
    return runEncoder(
        "lame", raw, mp3,
        "lame --silent -t -r -s 44.1 --bitwidth 16 --signed --little-endian -m m --cbr -b 128 '" +
            raw + "' '" + mp3 + "' 2>&1");
}

ByteVector encodeWithFfmpegIn(const ByteVector& pcm, const std::string& folder,
                              const std::string& codecArguments, const std::string& metadata)
{
    const std::string raw = folder + "/songs.raw";
    const std::string encoded = folder + "/songs.encoded";
    writePcm(pcm, raw);
    return runEncoder("ffmpeg", raw, encoded,
                      "ffmpeg -nostdin -hide_banner -loglevel error -y -f s16le -ar 44100 -ac 1 "
                      "-i '" +
                          raw + "' " + metadata + " " + codecArguments + " '" + encoded + "' 2>&1");
}

} // namespace orvanta::test
