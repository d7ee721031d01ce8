// Soak run: N recordings of the demo station sent faster than real time, for the equivalent
// of hours of audio each, with the recorder's resident memory, open descriptors and threads
// sampled as it goes. Finished files are deleted as they come, so the disc holds only the
// files being written. The curves must be flat once the recordings have settled.
//
//   soak_bench STATION_BINARY [N] [SECONDS] [SPEED] [SAMPLE_SECONDS]

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
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace orvanta;
using Clock = std::chrono::steady_clock;
using bench::Prefs;
using bench::residentMiB;

std::size_t entriesIn(const char* folder)
{
    std::error_code ignored;
    std::size_t count = 0;
    for (auto it = std::filesystem::directory_iterator(folder, ignored);
         it != std::filesystem::directory_iterator(); it.increment(ignored))
        ++count;
    return count;
}

struct Sample
{
    double seconds, rssMiB;
    std::size_t descriptors, threads;
    double audioHours;
    int files;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: soak_bench STATION_BINARY [N] [SECONDS] [SPEED] [SAMPLE]\n");
        return 2;
    }
    const std::string station = argv[1];
    const int count = argc > 2 ? std::atoi(argv[2]) : 200;
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 300;
    const double speed = argc > 4 ? std::atof(argv[4]) : 30;
    const int sampleSeconds = argc > 5 ? std::atoi(argv[5]) : 15;
    const std::string port = std::to_string(20000 + (::getpid() % 20000));
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    const auto folder = base / ("orvanta-soak-" + port);
    std::filesystem::remove_all(folder);

    char speedText[32];
    std::snprintf(speedText, sizeof speedText, "%g", speed);
    const pid_t stationPid = bench::spawnStation(
        station, {"--port", port, "--songs", "2", "--song-seconds", "180", "--speed", speedText,
                  "--for", std::to_string(seconds + 180)});
    if (stationPid == 0)
        return 1;
    std::this_thread::sleep_for(std::chrono::seconds(25)); // the station encodes its songs first

    const curl::Global curlGlobal;
    Prefs prefs;
    prefs.values = Dictionary{{"downloadpath", folder.string()}, {"DirLayout", 2},
                              {"diskspacesafety", false},        {"LowSpeedDisconnect", true},
                              {"LowSpeedLimitSeconds", 10},      {"AutoReconnect", true},
                              {"AutoReconnectWaitSeconds", 1}};
    NotificationCenter center;
    Mailbox main;
    main.adoptCurrentThread();
    std::atomic<int> files{0};
    std::atomic<std::uint64_t> audioBytes{0};
    std::atomic<int> alerts{0};
    center.addObserver(OVRecordingFileCompleted, [&](const Notification& n) {
        const std::string location = n.userInfo.toDictionary().get("location").toString();
        std::error_code ignored;
        if (!location.empty()) {
            audioBytes += std::filesystem::file_size(location, ignored);
            std::filesystem::remove(location, ignored);
        }
        ++files;
    });
    center.addObserver(OVErrorAlertNotification, [&](const Notification& n) {
        if (!n.userInfo.toDictionary().get(OVErrorAlertNotificationMessage).toString().empty())
            ++alerts;
    });

    OwnedThreads threads;
    std::vector<std::shared_ptr<MP3Server>> servers;
    const std::string url = "http://127.0.0.1:" + port + "/stream";
    for (int i = 0; i < count; ++i) {
        auto server = std::make_shared<MP3Server>(Dictionary{{"NP_URLS_TO_VISIT", Array{url}},
                                                             {"NP_STREAMTITLE_SEPARATOR", "-"},
                                                             {"NP_STREAMTITLE_PATTERN", 2}});
        servers.push_back(server);
        MP3Client::launchClientThreadWithTag(
            i + 1, server, RecordingContext{center, prefs, main, threads, nullptr});
    }

    std::vector<Sample> samples;
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    std::printf("%8s %9s %12s %8s %12s %7s\n", "seconds", "RSS MiB", "descriptors", "threads",
                "audio hours", "files");
    auto nextSample = start;
    while (Clock::now() < end) {
        main.serveUntil([] { return false; }, std::chrono::milliseconds(50));
        if (Clock::now() < nextSample)
            continue;
        nextSample += std::chrono::seconds(sampleSeconds);
        Sample sample{std::chrono::duration<double>(Clock::now() - start).count(),
                      residentMiB(),
                      entriesIn("/proc/self/fd"),
                      entriesIn("/proc/self/task"),
                      static_cast<double>(audioBytes.load()) / 16000.0 / 3600.0,
                      files.load()};
        samples.push_back(sample);
        std::printf("%8.0f %9.1f %12zu %8zu %12.1f %7d\n", sample.seconds, sample.rssMiB,
                    sample.descriptors, sample.threads, sample.audioHours, sample.files);
        std::fflush(stdout);
    }

    for (const auto& s : servers)
        s->terminate();
    main.serveUntil([&] { return threads.running() == 0; }, std::chrono::seconds(60));
    ::kill(stationPid, SIGTERM);
    ::waitpid(stationPid, nullptr, 0);
    std::filesystem::remove_all(folder);

    // Warm-up: the first quarter of the run (connections, first splits, buffers growing).
    if (samples.size() >= 4) {
        const Sample& settled = samples[samples.size() / 4];
        const Sample& last = samples.back();
        std::printf("soak: %d recordings at %gx for %d s: %.1f hours of audio each, %d files, "
                    "%d alerts\n",
                    count, speed, seconds, last.audioHours / count, last.files, alerts.load());
        std::printf("soak: after warm-up (%.0f s) RSS %.1f MiB, %zu descriptors, %zu threads; "
                    "at the end RSS %.1f MiB, %zu descriptors, %zu threads\n",
                    settled.seconds, settled.rssMiB, settled.descriptors, settled.threads,
                    last.rssMiB, last.descriptors, last.threads);
    }
    return 0;
}
