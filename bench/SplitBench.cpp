// Split benchmark: where the recorder cuts a programme whose song gaps are known to the
// sample, when the station announces its titles on time, 2 s late, 2 s early, scattered
// within 4 s, or 8 s late; with the wide search and with the search only around the change.
// Prints, per case, how many cuts fall inside their gap, the distance from the gap's centre
// (median and largest), and the CPU time of one split search of either kind.
//
//   split_bench [SONGS] [SEED]      (31 songs: 30 cuts; one of them a crossfade)

#include "BenchSupport.h"
#include "GapSearch.h"
#include "GenericServer.h"
#include "Global.h"
#include "IcyTestServer.h"
#include "LoudnessSpan.h"
#include "MP3Client.h"
#include "Mailbox.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "OwnedThreads.h"
#include "QuietGap.h"
#include "SongProgramme.h"
#include "SplitOffsetLearner.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <time.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

constexpr int kMetaint = 8192;
constexpr double kBytesPerSecond = 16000;
constexpr double kEncoderDelay = 1105.0 / 44100.0;
constexpr double kFrameSeconds = 1152.0 / 44100.0;

double cpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::uint64_t byteAt(double seconds)
{
    return static_cast<std::uint64_t>(std::max(0.0, (seconds + kEncoderDelay) * kBytesPerSecond));
}

ByteVector readAudio(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::size_t start = 0;
    if (bytes.size() >= 10 && bytes.compare(0, 3, "ID3") == 0) {
        auto b = [&](std::size_t i) {
            return static_cast<std::size_t>(static_cast<unsigned char>(bytes[i]));
        };
        start = 10 + ((b(6) << 21) | (b(7) << 14) | (b(8) << 7) | b(9));
    }
    return ByteVector(bytes.begin() + static_cast<std::ptrdiff_t>(std::min(start, bytes.size())),
                      bytes.end());
}

/// Records the mount once through the real stream client; where each file after the first
/// begins, in seconds of the programme.
std::vector<double> record(const std::string& url, double searchSeconds,
                           const std::filesystem::path& folder)
{
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    bench::Prefs prefs;
    prefs.values = Dictionary{{"downloadpath", folder.string()}, {"AutoReconnect", false}};
    NotificationCenter center;
    Mailbox main;
    main.adoptCurrentThread();
    std::vector<std::string> files;
    bool finished = false;
    center.addObserver(OVRecordingFileCompleted, [&](const Notification& n) {
        const Dictionary report = n.userInfo.toDictionary();
        if (report.contains("location"))
            files.push_back(report.get("location").toString());
    });
    center.addObserver(OVFinishedNotification, [&](const Notification&) {
        finished = true;
        main.wake();
    });
    OwnedThreads threads;
    auto server =
        std::make_shared<MP3Server>(Dictionary{{"NP_URLS_TO_VISIT", Array{url}},
                                               {"NP_STREAMTITLE_SEPARATOR", "-"},
                                               {"NP_STREAMTITLE_PATTERN", 2},
                                               {"NP_SPLIT_SEARCH_SECONDS", searchSeconds}});
    MP3Client::launchClientThreadWithTag(1, server,
                                         RecordingContext{center, prefs, main, threads, nullptr});
    main.serveUntil([&] { return finished; }, std::chrono::seconds(120));
    server->terminate();
    for (int i = 0; i < 200 && threads.running() > 0; ++i)
        main.serveUntil([] { return false; }, std::chrono::milliseconds(50));
    std::vector<double> cuts;
    std::uint64_t position = 0;
    for (const std::string& file : files) {
        if (position > 0)
            cuts.push_back(static_cast<double>(position) / kBytesPerSecond - kEncoderDelay);
        position += readAudio(file).size();
    }
    return cuts;
}

struct Score
{
    int inside = 0;
    int insideFromFifth = 0;
    int cuts = 0;
    double medianDistance = 0;
    double largestDistance = 0;
};

Score score(const std::vector<double>& cuts, const std::vector<SongBoundary>& boundaries)
{
    Score s;
    std::vector<double> distances;
    for (std::size_t n = 0; n < boundaries.size() && n < cuts.size(); ++n) {
        ++s.cuts;
        const bool inside = cuts[n] >= boundaries[n].start - kFrameSeconds &&
                            cuts[n] <= boundaries[n].end + kFrameSeconds;
        s.inside += inside;
        s.insideFromFifth += inside && n >= 4;
        distances.push_back(std::abs(cuts[n] - boundaries[n].centre()));
    }
    if (!distances.empty()) {
        s.medianDistance = SplitOffsetLearner::median(distances);
        s.largestDistance = *std::max_element(distances.begin(), distances.end());
    }
    return s;
}

/// CPU seconds of one search of each kind at every boundary of the stream.
std::pair<double, double> searchCost(const ByteVector& audio,
                                     const std::vector<SongBoundary>& boundaries)
{
    const int rounds = 5;
    double wide = 0;
    double around = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const SongBoundary& b : boundaries) {
            const std::uint64_t at = byteAt(b.centre());
            const std::uint64_t from = at > 9 * 16000 ? at - 9 * 16000 : 0;
            const std::uint64_t to = std::min<std::uint64_t>(audio.size(), at + 9 * 16000);
            double start = cpuSeconds();
            if (const auto span = decodeLoudness(AudioFormat::MP3, audio.data() + from, to - from))
                (void)chooseGap(span->levelsDb, span->levelsDb.size() / 2, 800);
            wide += cpuSeconds() - start;
            const std::uint64_t periodFrom = at > kMetaint ? at - kMetaint : 0;
            start = cpuSeconds();
            (void)findQuietGap(audio.data() + periodFrom,
                               std::min<std::uint64_t>(audio.size(), at + kMetaint) - periodFrom);
            around += cpuSeconds() - start;
        }
    }
    const double searches = static_cast<double>(rounds * boundaries.size());
    return {wide / searches, around / searches};
}

} // namespace

int main(int argc, char** argv)
{
    const int songs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 31;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1;
    const curl::Global curlGlobal;
    const auto folder = std::filesystem::temp_directory_path() / "orvanta-split-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);

    const Programme programme = renderProgramme(mixedProgramme(songs, seed));
    const ByteVector audio = encodeWithLameIn(programme.pcm, folder.string());
    const auto& boundaries = programme.boundaries;
    std::printf("programme: %d songs, %.0f s, %zu cuts (one crossfade), metaint %d\n", songs,
                static_cast<double>(programme.pcm.size()) / 2 / 44100, boundaries.size(), kMetaint);

    std::mt19937 random(seed);
    std::uniform_real_distribution<double> scatter(-4, 4);
    std::vector<double> scattered(boundaries.size());
    for (double& offset : scattered)
        offset = scatter(random);
    const std::vector<std::pair<std::string, std::function<double(std::size_t)>>> cases = {
        {"on time", [](std::size_t) { return 0.0; }},
        {"2 s late", [](std::size_t) { return 2.0; }},
        {"2 s early", [](std::size_t) { return -2.0; }},
        {"within 4 s", [&](std::size_t n) { return scattered[n]; }},
        {"8 s late", [](std::size_t) { return 8.0; }},
    };

    IcyTestServer server;
    int mountNumber = 0;
    std::map<double, double> recordingCpu; // by search: CPU seconds of all cases
    int cutsRecorded = 0;
    for (const double search : {8.0, 0.0}) {
        std::printf("\nsearch %s:\n", search > 0 ? "8 s around the title change (wide)"
                                                 : "0 (the metadata periods around it)");
        for (const auto& [name, offset] : cases) {
            IcyMount mount;
            mount.audio = audio;
            mount.metaint = kMetaint;
            mount.sendContentLength = true;
            mount.titles.push_back({0, "Artist 1 - Song 1"});
            for (std::size_t n = 0; n < boundaries.size(); ++n) {
                const std::string number = std::to_string(n + 2);
                mount.titles.push_back({byteAt(boundaries[n].centre() + offset(n)),
                                        "Artist " + number + " - Song " + number});
            }
            const std::string path = "/case" + std::to_string(++mountNumber);
            server.addMount(path, mount);
            const double cpuBefore = cpuSeconds();
            const std::vector<double> cuts = record(server.url(path), search, folder / "music");
            const double cpu = cpuSeconds() - cpuBefore;
            const Score s = score(cuts, boundaries);
            recordingCpu[search] += cpu;
            if (search > 0)
                cutsRecorded += s.cuts;
            std::printf("  %-11s %2d of %2d cuts inside the gap (%2d of %2d from the fifth on); "
                        "distance from the gap centre median %.2f s, largest %.2f s; "
                        "recording %.3f CPU s\n",
                        name.c_str(), s.inside, s.cuts, s.insideFromFifth, std::max(0, s.cuts - 4),
                        s.medianDistance, s.largestDistance, cpu);
        }
    }
    const auto [wide, around] = searchCost(audio, boundaries);
    std::printf("\nCPU per split search: wide (18 s decoded) %.2f ms, around the change %.2f ms\n",
                wide * 1000, around * 1000);
    if (cutsRecorded > 0)
        std::printf("recording CPU per cut, the wide search's (first a short look, the whole "
                    "window when needed) over the other's: %+.2f ms\n",
                    (recordingCpu[8.0] - recordingCpu[0.0]) / cutsRecorded * 1000);
    std::filesystem::remove_all(folder);
    return 0;
}
