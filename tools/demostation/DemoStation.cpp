// orvanta-demo-station: the test ICY server on a fixed port with real audio, for trying
// Orvanta by hand.
//
//   orvanta-demo-station [--port N] [--metaint N] [--song-seconds S] [--songs N] [--for SECONDS]
//                        [--speed X]   (X times real time, for soak runs)
//                        [--format mp3|aac|vorbis|opus] [--hls ts|packed|mp4]
//
// With --format aac the songs are AAC (ffmpeg, 128 kbit/s, ADTS) with titles as for MP3; with
// vorbis or opus each song is a link of a chained Ogg stream (ffmpeg) whose comments name it,
// served Icecast style without ICY metadata, paced at the stream's average rate. With --hls
// (AAC only) the same programme is also an HLS station at /hls/master.m3u8: segments of 4 s
// of that kind, a live window that slides on in (sped-up) real time over the programme
// repeated for as long as the station runs (an hour when it runs until stopped), then ends.
//
// Songs are PCM tones separated by one second of digital silence, encoded with `lame` at
// 128 kbit/s mono. The stream is served at /stream in Shoutcast style, looped and paced at
// 16000 bytes/s, with the title "Orvanta Demo - Song N" changing in the middle of the silence
// before song N and repeated in every metadata block. Half a second of silence at both ends
// makes the loop join a one-second gap too, with song 1's title starting at byte 0.

#include "DemoAudio.h"
#include "HlsTestStation.h"
#include "IcyTestServer.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>

namespace {

using orvanta::test::ByteVector;

constexpr std::uint64_t kBytesPerSecond = 16000; // 128 kbit/s
constexpr int kSampleRate = 44100;

struct Options
{
    int port = 8765;
    int metaint = 16000;
    double songSeconds = 20;
    int songs = 5;
    double forSeconds = 0; // 0: until SIGINT or SIGTERM
    double speed = 1;      // times real time
    std::string format = "mp3";
    std::string hls; // segment kind, or empty for no HLS station
};

void usage()
{
    std::cerr
        << "usage: orvanta-demo-station [--port N] [--metaint N] [--song-seconds S] [--songs N]"
           " [--for SECONDS] [--speed X] [--format mp3|aac|vorbis|opus] [--hls ts|packed|mp4]\n";
}

bool parseNumber(const char* text, double min, double max, double* out)
{
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value >= min && value <= max))
        return false;
    *out = value;
    return true;
}

bool parseOptions(int argc, char** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--format" && i + 1 < argc) {
            options->format = argv[++i];
            if (options->format != "mp3" && options->format != "aac" &&
                options->format != "vorbis" && options->format != "opus") {
                std::cerr << "unknown format: " << options->format << "\n";
                return false;
            }
            continue;
        }
        if (name == "--hls" && i + 1 < argc) {
            options->hls = argv[++i];
            if (options->hls != "ts" && options->hls != "packed" && options->hls != "mp4") {
                std::cerr << "unknown HLS segment kind: " << options->hls << "\n";
                return false;
            }
            continue;
        }
        if (name == "--help" || name == "-h")
            return false;
        if (i + 1 >= argc) {
            std::cerr << "missing value for " << name << "\n";
            return false;
        }
        double value = 0;
        const char* text = argv[++i];
        if (name == "--port" && parseNumber(text, 1, 65535, &value))
            options->port = static_cast<int>(value);
        else if (name == "--metaint" && parseNumber(text, 0, 1 << 20, &value))
            options->metaint = static_cast<int>(value);
        else if (name == "--song-seconds" && parseNumber(text, 1, 3600, &value))
            options->songSeconds = value;
        else if (name == "--songs" && parseNumber(text, 1, 100, &value))
            options->songs = static_cast<int>(value);
        else if (name == "--for" && parseNumber(text, 0, 1e9, &value))
            options->forSeconds = value;
        else if (name == "--speed" && parseNumber(text, 0.1, 1000, &value))
            options->speed = value;
        else {
            std::cerr << "bad option or value: " << name << " " << text << "\n";
            return false;
        }
    }
    if (!options->hls.empty() && options->format != "aac") {
        std::cerr << "--hls needs --format aac\n";
        return false;
    }
    return true;
}

ByteVector silence(double seconds)
{
    return ByteVector(static_cast<std::size_t>(seconds * kSampleRate) * 2, 0);
}

// The songs encoded in a folder of their own under the temporary folder.
ByteVector encode(const ByteVector& pcm, const std::string& format,
                  const std::string& metadata = {})
{
    std::string folder = (std::filesystem::temp_directory_path() / "orvanta-demo-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        throw std::runtime_error("cannot make a temporary folder");
    try {
        ByteVector bytes;
        if (format == "mp3")
            bytes = orvanta::test::encodeWithLameIn(pcm, folder);
        else if (format == "aac")
            bytes = orvanta::test::encodeWithFfmpegIn(pcm, folder, "-c:a aac -b:a 128k -f adts");
        else if (format == "vorbis")
            bytes = orvanta::test::encodeWithFfmpegIn(pcm, folder,
                                                      "-c:a libvorbis -b:a 128k -f ogg", metadata);
        else
            bytes = orvanta::test::encodeWithFfmpegIn(pcm, folder, "-c:a libopus -b:a 96k -f ogg",
                                                      metadata);
        std::filesystem::remove_all(folder);
        return bytes;
    } catch (...) {
        std::filesystem::remove_all(folder);
        throw;
    }
}

// Each song a link of a chained Ogg stream, named by its comments.
orvanta::test::IcyMount oggMount(const Options& options)
{
    orvanta::test::IcyMount mount;
    mount.style = orvanta::test::IcyMount::Style::Icecast;
    mount.name = "Orvanta Demo Station";
    mount.genre = "Demo";
    mount.loop = true;
    mount.metaint = 0;
    mount.contentType = "application/ogg";
    for (int n = 1; n <= options.songs; ++n) {
        ByteVector pcm = orvanta::test::pcmSongs({options.songSeconds}, 0.0);
        const ByteVector tail = silence(1.0);
        pcm.insert(pcm.end(), tail.begin(), tail.end());
        const ByteVector link = encode(pcm, options.format,
                                       "-metadata artist='Orvanta Demo' -metadata title='Song " +
                                           std::to_string(n) + "'");
        mount.audio.insert(mount.audio.end(), link.begin(), link.end());
    }
    const double seconds = options.songs * (options.songSeconds + 1.0);
    mount.bitrate = static_cast<int>(static_cast<double>(mount.audio.size()) * 8 / seconds / 1000);
    mount.bytesPerSecond = static_cast<std::uint64_t>(static_cast<double>(mount.audio.size()) /
                                                      seconds * options.speed);
    return mount;
}

orvanta::test::IcyMount demoMount(const Options& options)
{
    if (options.format == "vorbis" || options.format == "opus")
        return oggMount(options);
    orvanta::test::IcyMount mount;
    mount.style = orvanta::test::IcyMount::Style::Shoutcast;
    mount.name = "Orvanta Demo Station";
    mount.genre = "Demo";
    mount.bitrate = 128;
    mount.loop = true;
    mount.metaint = options.metaint;
    mount.repeatTitle = true;
    mount.bytesPerSecond = static_cast<std::uint64_t>(kBytesPerSecond * options.speed);

    ByteVector pcm = silence(0.5);
    const ByteVector songs = orvanta::test::pcmSongs(
        std::vector<double>(static_cast<std::size_t>(options.songs), options.songSeconds), 1.0);
    pcm.insert(pcm.end(), songs.begin(), songs.end());
    const ByteVector tail = silence(0.5);
    pcm.insert(pcm.end(), tail.begin(), tail.end());
    mount.audio = encode(pcm, options.format);
    if (options.format == "aac")
        mount.contentType = "audio/aac";

    // The middle of the gap before song n (1-based) is at (n - 1) × (song + 1 s of silence):
    // for AAC, whose frames vary in size, at that share of the bytes.
    const double total = options.songs * (options.songSeconds + 1.0);
    const double bytesPerSecond = options.format == "aac"
                                      ? static_cast<double>(mount.audio.size()) / total
                                      : static_cast<double>(kBytesPerSecond);
    for (int n = 1; n <= options.songs; ++n) {
        const double at = (n - 1) * (options.songSeconds + 1.0);
        mount.titles.push_back({static_cast<std::uint64_t>(at * bytesPerSecond),
                                "Orvanta Demo - Song " + std::to_string(n), false});
    }
    if (options.format == "aac")
        mount.bytesPerSecond = static_cast<std::uint64_t>(bytesPerSecond * options.speed);
    return mount;
}

/// The HLS station: the programme repeated for as long as the station runs, its live window
/// sliding on with the clock until the programme's end or stop.
class LiveHls
{
public:
    static constexpr double kSegmentSeconds = 4;

    LiveHls(orvanta::test::IcyTestServer& server, const orvanta::test::IcyMount& mount,
            const Options& options)
        : m_speed(options.speed)
    {
        const double passSeconds = options.songs * (options.songSeconds + 1.0);
        const double runSeconds = (options.forSeconds > 0 ? options.forSeconds : 3600) * m_speed;
        const auto passes = static_cast<std::size_t>(std::ceil(runSeconds / passSeconds)) + 1;
        ByteVector programme;
        std::vector<orvanta::test::HlsSong> songs;
        for (std::size_t pass = 0; pass < passes; ++pass) {
            programme.insert(programme.end(), mount.audio.begin(), mount.audio.end());
            for (int n = 1; n <= options.songs; ++n)
                songs.push_back({static_cast<double>(pass) * passSeconds +
                                     (n - 1) * (options.songSeconds + 1.0),
                                 "Orvanta Demo - Song " + std::to_string(n)});
        }
        const auto kind = options.hls == "ts"    ? orvanta::test::SegmentKind::TransportStream
                          : options.hls == "mp4" ? orvanta::test::SegmentKind::FragmentedMp4
                                                 : orvanta::test::SegmentKind::PackedAudio;
        m_station = std::make_unique<orvanta::test::HlsTestStation>(
            server, "/hls", programme, kSampleRate, kSegmentSeconds, std::move(songs), kind);
        // A player or recorder reloading once a target duration must find every segment it
        // has not fetched yet, however fast the clock runs.
        m_window = static_cast<std::size_t>(std::ceil(6 * std::max(1.0, m_speed)));
        m_station->publishWindow(m_window - 1, m_window);
        m_thread = std::thread([this] { slide(); });
    }
    ~LiveHls()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    std::string url() const { return m_station->masterUrl(); }

private:
    void slide()
    {
        auto next = std::chrono::steady_clock::now();
        for (std::size_t last = m_window; last < m_station->segmentCount(); ++last) {
            next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(m_station->segmentSeconds(last) / m_speed));
            std::unique_lock lock(m_mutex);
            if (m_wake.wait_until(lock, next, [this] { return m_stop; }))
                return;
            m_station->publishWindow(last, m_window);
        }
        m_station->publishWhole();
    }

    double m_speed;
    std::unique_ptr<orvanta::test::HlsTestStation> m_station;
    std::size_t m_window = 6;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, &options)) {
        usage();
        return 2;
    }
    try {
        const orvanta::test::IcyMount mount = demoMount(options);
        const std::size_t audioBytes = mount.audio.size();

        // Block the stop signals in every thread (the server's threads inherit the mask) and
        // take them synchronously below, so that the server's destructor runs normally.
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGINT);
        sigaddset(&stopSignals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

        orvanta::test::IcyTestServer server(static_cast<std::uint16_t>(options.port));
        server.addMount("/stream", mount);
        std::cerr << "orvanta-demo-station: " << options.songs << " songs of "
                  << options.songSeconds << " s, " << audioBytes << " bytes of " << options.format
                  << " per pass, metaint " << mount.metaint << ", " << mount.bytesPerSecond
                  << " bytes/s\n";
        std::cout << "Demo station at " << server.url("/stream") << std::endl;
        std::unique_ptr<LiveHls> hls;
        if (!options.hls.empty()) {
            hls = std::make_unique<LiveHls>(server, mount, options);
            std::cout << "HLS station at " << hls->url() << std::endl;
        }

        int received = 0;
        if (options.forSeconds > 0) {
            const auto deadline = std::chrono::steady_clock::now() +
                                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                      std::chrono::duration<double>(options.forSeconds));
            for (;;) {
                const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
                    deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0)
                    break;
                timespec timeout{};
                timeout.tv_sec = static_cast<std::time_t>(left.count() / 1'000'000'000);
                timeout.tv_nsec = static_cast<long>(left.count() % 1'000'000'000);
                received = sigtimedwait(&stopSignals, nullptr, &timeout);
                if (received > 0 || errno == EAGAIN)
                    break;
                received = 0; // interrupted by something else: wait on
            }
        } else {
            sigwait(&stopSignals, &received);
        }
        if (received > 0)
            std::cerr << "orvanta-demo-station: stopping on signal " << received << "\n";
        // Benchmarks compare what recorders wrote with this.
        std::cerr << "orvanta-demo-station: sent " << server.audioBytesSent() << " audio bytes\n";
        // The server's destructor closes every connection and joins its threads.
    } catch (const std::exception& error) {
        std::cerr << "orvanta-demo-station: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
