// MP3, AAC, Ogg Vorbis and Ogg Opus recorded side by side in one run, and the AAC programme
// as an HLS station (transport-stream segments, titles in timed ID3): N recordings of the demo
// station in each format, sent faster than real time, with the recorder's CPU time per hour
// of audio and its resident memory per recording. Each format is recorded in a process of its
// own (so that no format inherits another's heap) and the station in another, so only the
// recorder is measured; finished files are deleted as they come.
//
//   formats_bench STATION_BINARY [N] [SECONDS] [SPEED]

#include "BenchSupport.h"
#include "GenericServer.h"
#include "Global.h"
#include "HttpFetch.h"
#include "MP3Client.h"
#include "Mailbox.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "OwnedThreads.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace orvanta;
using Clock = std::chrono::steady_clock;

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

struct Result
{
    std::string format;
    double cpuPerStreamHour = 0;
    double mibPerRecording = 0;
    double peakMiB = 0;
    int files = 0;
    int alerts = 0;
};

Result measure(const std::string& station, const std::string& format, int count, int seconds,
               double speed, int port)
{
    Result result{format};
    const auto folder = std::filesystem::temp_directory_path() /
                        ("orvanta-formats-" + std::to_string(::getpid()) + "-" + format);
    std::filesystem::remove_all(folder);
    char speedText[32];
    std::snprintf(speedText, sizeof speedText, "%g", speed);
    const bool hls = format == "hls";
    std::vector<std::string> arguments{"--port",         std::to_string(port),
                                       "--format",       hls ? "aac" : format,
                                       "--songs",        "3",
                                       "--song-seconds", "60",
                                       "--speed",        speedText,
                                       "--for",          std::to_string(seconds + 120)};
    if (hls)
        arguments.insert(arguments.end(), {"--hls", "ts"});
    const pid_t stationPid = bench::spawnStation(station, arguments);
    if (stationPid == 0)
        std::exit(1);
    for (int i = 0; i < 1200 && !accepts(port); ++i) // the station encodes its songs first
        std::this_thread::sleep_for(std::chrono::milliseconds(100));

    bench::Prefs prefs;
    prefs.values =
        Dictionary{{"downloadpath", folder.string()}, {"DirLayout", 2}, {"diskspacesafety", false}};
    const std::string url =
        "http://127.0.0.1:" + std::to_string(port) + (hls ? "/hls/master.m3u8" : "/stream");
    // The HLS station cuts its segments once it listens; its playlist comes when they are.
    for (int i = 0; hls && i < 1200; ++i) {
        HttpRequest request;
        request.url = url;
        if (fetchHttpBody(request, &prefs, 1 << 16).ok())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    NotificationCenter center;
    Mailbox main;
    main.adoptCurrentThread();
    std::atomic<int> files{0};
    std::atomic<int> alerts{0};
    center.addObserver(OVRecordingFileCompleted, [&](const Notification& n) {
        std::error_code ignored;
        std::filesystem::remove(n.userInfo.toDictionary().get("location").toString(), ignored);
        ++files;
    });
    center.addObserver(OVErrorAlertNotification, [&](const Notification& n) {
        if (!n.userInfo.toDictionary().get(OVErrorAlertNotificationMessage).toString().empty())
            ++alerts;
    });

    const double rssBefore = bench::residentMiB();
    const double cpuBefore = cpuSeconds();
    OwnedThreads threads;
    std::vector<std::shared_ptr<MP3Server>> servers;
    for (int i = 0; i < count; ++i) {
        auto server = std::make_shared<MP3Server>(Dictionary{{"NP_URLS_TO_VISIT", Array{url}},
                                                             {"NP_STREAMTITLE_SEPARATOR", "-"},
                                                             {"NP_STREAMTITLE_PATTERN", 2}});
        servers.push_back(server);
        MP3Client::launchClientThreadWithTag(
            i + 1, server, RecordingContext{center, prefs, main, threads, nullptr});
    }
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
        main.serveUntil([] { return false; }, std::chrono::milliseconds(100));
        result.peakMiB = std::max(result.peakMiB, bench::residentMiB());
    }
    const double rssAtEnd = bench::residentMiB();
    for (const auto& s : servers)
        s->terminate();
    main.serveUntil([&] { return threads.running() == 0; }, std::chrono::seconds(60));
    const double cpu = cpuSeconds() - cpuBefore;
    ::kill(stationPid, SIGTERM);
    ::waitpid(stationPid, nullptr, 0);
    std::filesystem::remove_all(folder);

    const double streamHours = count * seconds * speed / 3600.0;
    result.cpuPerStreamHour = cpu / streamHours;
    result.mibPerRecording = (rssAtEnd - rssBefore) / count;
    result.files = files;
    result.alerts = alerts;
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: formats_bench STATION_BINARY [N] [SECONDS] [SPEED]\n");
        return 2;
    }
    const std::string station = argv[1];
    const int count = argc > 2 ? std::atoi(argv[2]) : 20;
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 60;
    const double speed = argc > 4 ? std::atof(argv[4]) : 10;
    const int port = 20000 + (::getpid() % 20000);
    std::printf("formats: %d recordings per format at %gx real time for %d s (%.1f stream-hours "
                "each)\n",
                count, speed, seconds, count * seconds * speed / 3600.0);
    std::printf("%-8s %22s %18s %14s %7s %7s\n", "format", "CPU s per stream-hour",
                "MiB per recording", "peak RSS MiB", "files", "alerts");
    std::fflush(stdout);
    int failed = 0;
    for (const char* format : {"mp3", "aac", "hls", "vorbis", "opus"}) {
        const pid_t child = ::fork();
        if (child == 0) {
            const curl::Global curlGlobal;
            const Result r = measure(station, format, count, seconds, speed, port);
            std::printf("%-8s %22.2f %18.2f %14.1f %7d %7d\n", r.format.c_str(), r.cpuPerStreamHour,
                        r.mibPerRecording, r.peakMiB, r.files, r.alerts);
            std::fflush(stdout);
            std::_Exit(0);
        }
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child || status != 0)
            ++failed;
    }
    return failed == 0 ? 0 : 1;
}
