// Throughput of the stream client's body callback: ICY metadata every 16000 bytes taken
// apart, audio written through the file writer into a temporary folder, on one core.

#include "MP3Client.h"
#include "Mailbox.h"
#include "NotificationCenter.h"
#include "OwnedThreads.h"
#include "PreferencesReader.h"

#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

constexpr int kMetaint = 16000;

struct BenchPrefs : orvanta::PreferencesReader
{
    orvanta::Dictionary values;
    orvanta::Value getPrefsForKey(std::string_view key) const override { return values.get(key); }
};

std::vector<std::uint8_t> frames(std::size_t bytes)
{
    std::vector<std::uint8_t> out;
    std::uint8_t value = 0;
    while (out.size() < bytes) {
        const std::uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x44};
        out.insert(out.end(), header, header + 4);
        for (int i = 4; i < 417; ++i) {
            out.push_back(value);
            value = static_cast<std::uint8_t>(value == 0xFE ? 0 : value + 1);
        }
    }
    out.resize(bytes);
    return out;
}

/// periods metadata periods; a new title every titleEvery periods (0: never).
std::vector<std::uint8_t> icyStream(int periods, int titleEvery)
{
    const auto audio = frames(static_cast<std::size_t>(periods) * kMetaint);
    std::vector<std::uint8_t> out;
    for (int k = 0; k < periods; ++k) {
        out.insert(out.end(), audio.begin() + k * kMetaint, audio.begin() + (k + 1) * kMetaint);
        if (titleEvery > 0 && k % titleEvery == 0) {
            std::string text = "StreamTitle='Artist " + std::to_string(k) + " - Song';";
            text.resize((text.size() + 15) / 16 * 16, '\0');
            out.push_back(static_cast<std::uint8_t>(text.size() / 16));
            out.insert(out.end(), text.begin(), text.end());
        } else {
            out.push_back(0);
        }
    }
    return out;
}

void BM_Demultiplex(benchmark::State& state)
{
    const int titleEvery = static_cast<int>(state.range(0));
    const auto stream = icyStream(256, titleEvery); // about 4 MB
    const auto folder = std::filesystem::temp_directory_path() / "orvanta-bench-demux";
    BenchPrefs prefs;
    prefs.values = orvanta::Dictionary{{"downloadpath", folder.string()}, {"DirLayout", 0}};
    orvanta::NotificationCenter center;
    orvanta::Mailbox main;
    orvanta::OwnedThreads threads;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(folder);
        auto client = std::make_shared<orvanta::MP3Client>(
            1, nullptr, orvanta::RecordingContext{center, prefs, main, threads, nullptr});
        client->setProperties(
            orvanta::Dictionary{{"NP_STREAMTITLE_SEPARATOR", "-"}, {"NP_STREAMTITLE_PATTERN", 2}});
        client->setIVarsFromProperties();
        client->parseReqHeaders("icy-metaint:16000\r\n");
        client->parseReqHeaders("icy-br:128\r\n");
        state.ResumeTiming();
        for (std::size_t at = 0; at < stream.size(); at += 4096) {
            const std::size_t n = std::min<std::size_t>(4096, stream.size() - at);
            benchmark::DoNotOptimize(client->writeShoutCastData(stream.data() + at, n));
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    std::filesystem::remove_all(folder);
}
// 0: no title changes; 30: a new song every 30 seconds of audio.
BENCHMARK(BM_Demultiplex)->Arg(0)->Arg(30)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
