// How many real-time recordings one process holds: starts N recordings of the demo station
// (a separate process, paced at 128 kbit/s on loopback), records for a while, and reports
// the recorder's CPU per stream-hour, its resident memory per recording, and whether any
// recording fell behind the stream.
//
//   scale_bench STATION_BINARY N [SECONDS]

#include "BenchSupport.h"
#include "GenericServer.h"
#include "Global.h"
#include "MP3Client.h"
#include "Mailbox.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "OwnedThreads.h"
#include "PreferencesReader.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace orvanta;
using Clock = std::chrono::steady_clock;
using bench::Prefs;
using bench::residentMiB;

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The sum of measure over the files in folder and below it.
template <typename Measure>
std::uint64_t sumOverFiles(const std::filesystem::path& folder, Measure measure)
{
    std::uint64_t total = 0;
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_regular_file(ignored))
            total += measure(it->path());
    }
    return total;
}

// The audio bytes of a recorded file: without its ID3v2 tag in front and ID3v1 tag behind.
std::uint64_t audioBytesOfFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::uint64_t begin = 0;
    std::uint64_t end = data.size();
    if (data.size() >= 10 && data.compare(0, 3, "ID3") == 0) {
        const auto byte = [&data](std::size_t i) {
            return static_cast<std::uint8_t>(data[i]) & 0x7F;
        };
        begin = 10 + (std::uint64_t(byte(6)) << 21 | std::uint64_t(byte(7)) << 14 |
                      std::uint64_t(byte(8)) << 7 | byte(9));
    }
    if (end >= 128 && data.compare(end - 128, 3, "TAG") == 0)
        end -= 128;
    return end > begin ? end - begin : 0;
}

// What the station says it sent, from its messages ("sent N audio bytes").
std::uint64_t stationAudioSent(const std::string& messages)
{
    std::ifstream in(messages);
    std::uint64_t sent = 0;
    for (std::string line; std::getline(in, line);) {
        const auto at = line.find(": sent ");
        if (at != std::string::npos)
            sent = std::strtoull(line.c_str() + at + 7, nullptr, 10);
    }
    return sent;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(
            stderr, "usage: scale_bench STATION_BINARY N [SECONDS] [SONG_SECONDS] [SEARCH_SECONDS] "
                    "[journal]\n");
        return 2;
    }
    const std::string station = argv[1];
    const int count = std::atoi(argv[2]);
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 60;
    // Songs of this length change their titles (and so cut a file) that often.
    const std::string songSeconds = argc > 4 ? argv[4] : "180";
    // How far around each title change the gap is looked for (the preset's default: 8).
    const double searchSeconds = argc > 5 ? std::atof(argv[5]) : 8.0;
    // With "journal" every recording also keeps its session journal (as the program does by
    // default): its cost is the difference to a run without.
    const bool journal = argc > 6 && std::string(argv[6]) == "journal";
    const std::string port = std::to_string(20000 + (::getpid() % 20000));
    const auto folder = std::filesystem::temp_directory_path() / ("orvanta-scale-" + port);
    std::filesystem::remove_all(folder);
    std::filesystem::remove_all(folder.string() + "-journal");

    // The station runs in a process of its own, so only the recorder is measured here.
    const std::string stationMessages = folder.string() + ".station.log";
    const pid_t stationPid =
        bench::spawnStation(station,
                            {"--port", port, "--songs", "2", "--song-seconds", songSeconds, "--for",
                             std::to_string(seconds + 120)},
                            stationMessages);
    if (stationPid == 0)
        return 1;
    std::this_thread::sleep_for(std::chrono::seconds(20)); // the station encodes its songs first

    const curl::Global curlGlobal;
    Prefs prefs;
    prefs.values = Dictionary{{"downloadpath", folder.string()}, {"DirLayout", 2},
                              {"diskspacesafety", true},         {"LowSpeedDisconnect", true},
                              {"LowSpeedLimitSeconds", 10},      {"AutoReconnect", false},
                              {"JournalDays", journal ? 3 : 0},  {"JournalBudgetMB", 1 << 20}};
    const std::filesystem::path journalFolder = folder.string() + "-journal";
    ::setenv("XDG_CACHE_HOME", journalFolder.c_str(), 1);
    NotificationCenter center;
    Mailbox main;
    main.adoptCurrentThread();
    std::atomic<int> finished{0};
    std::atomic<int> alerts{0};
    center.addObserver(OVErrorAlertNotification, [&](const Notification& n) {
        if (!n.userInfo.toDictionary().get(OVErrorAlertNotificationMessage).toString().empty())
            ++alerts;
    });
    center.addObserver(OVFinishedNotification, [&](const Notification&) {
        ++finished;
        main.wake();
    });

    OwnedThreads threads;
    const double baseMiB = residentMiB();
    const auto launchTime = Clock::now();
    std::vector<std::shared_ptr<MP3Server>> servers;
    const std::string url = "http://127.0.0.1:" + port + "/stream";
    for (int i = 0; i < count; ++i) {
        auto server =
            std::make_shared<MP3Server>(Dictionary{{"NP_URLS_TO_VISIT", Array{url}},
                                                   {"NP_STREAMTITLE_SEPARATOR", "-"},
                                                   {"NP_STREAMTITLE_PATTERN", 2},
                                                   {"NP_SPLIT_SEARCH_SECONDS", searchSeconds}});
        servers.push_back(server);
        MP3Client::launchClientThreadWithTag(
            i + 1, server, RecordingContext{center, prefs, main, threads, nullptr});
    }
    main.serveUntil(
        [&] {
            for (const auto& s : servers)
                if (!s->clientProxy())
                    return false;
            return true;
        },
        std::chrono::seconds(60));

    // Let every connection settle, then measure a window of steady recording.
    const auto settle = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < settle)
        main.serveUntil([] { return false; }, std::chrono::milliseconds(50));
    const double cpuBefore = cpuSeconds();
    const auto windowStart = Clock::now();
    const auto windowEnd = windowStart + std::chrono::seconds(seconds);
    while (Clock::now() < windowEnd)
        main.serveUntil([] { return false; }, std::chrono::milliseconds(50));
    const double cpu = cpuSeconds() - cpuBefore;
    const double window = std::chrono::duration<double>(Clock::now() - windowStart).count();
    const double memMiB = residentMiB() - baseMiB;

    int stillRunning = 0;
    const auto stopTime = Clock::now();
    for (const auto& s : servers) {
        if (s->clientProxy()->isConnected())
            ++stillRunning;
        s->terminate();
    }
    main.serveUntil([&] { return finished.load() == count; }, std::chrono::seconds(60));
    for (int i = 0; i < 200 && threads.running() > 0; ++i)
        main.serveUntil([] { return false; }, std::chrono::milliseconds(50));

    ::kill(stationPid, SIGTERM);
    ::waitpid(stationPid, nullptr, 0);

    // Every recording ran from its launch to the stop; what it wrote is on disc by now.
    const double recordedSeconds = std::chrono::duration<double>(stopTime - launchTime).count();
    const double expected = 16000.0 * recordedSeconds * count;
    const double recorded =
        static_cast<double>(sumOverFiles(folder, [](const std::filesystem::path& file) {
            std::error_code ignored;
            return std::filesystem::file_size(file, ignored);
        }));
    // Exact: the audio in the files against the audio the station sent.
    const double journalBytes =
        static_cast<double>(sumOverFiles(journalFolder, [](const std::filesystem::path& file) {
            std::error_code ignored;
            return std::filesystem::file_size(file, ignored);
        }));
    std::error_code ignored;
    std::filesystem::remove_all(journalFolder, ignored);
    const double written = static_cast<double>(sumOverFiles(folder, audioBytesOfFile));
    const double sent = static_cast<double>(stationAudioSent(stationMessages));
    const double streamHours = count * window / 3600.0;
    std::printf("recordings %d  window %.0f s  CPU %.2f s = %.3f CPU-s per stream-hour  "
                "RSS +%.1f MiB = %.0f KiB per recording  recorded %.1f%% of the stream  "
                "written/sent %.4f (%.2f s per stream missing)  "
                "running at the end %d  finished %d  alerts %d  journal %.1f MiB per stream-hour\n",
                count, window, cpu, cpu / streamHours, memMiB, memMiB * 1024 / count,
                100.0 * recorded / expected, sent > 0 ? written / sent : 0.0,
                (sent - written) / 16000.0 / count, stillRunning, finished.load(), alerts.load(),
                journalBytes / (1 << 20) / (count * recordedSeconds / 3600.0));
    std::filesystem::remove_all(folder);
    std::filesystem::remove(stationMessages);
    return 0;
}
