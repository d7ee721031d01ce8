// orvanta-cli: the station library, presets and preferences of Orvanta from a terminal.

#include "Cli.h"
#include "Global.h"
#include "Log.h"
#include "Version.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include <QCoreApplication>

namespace {

constexpr const char* kUsage =
    "usage: orvanta-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "commands:\n"
    "  stations                          list the library as a tree\n"
    "  add-stream NAME URL... [--in GROUP] [--preset NAME] [--user U --password P]\n"
    "  add-group NAME [--in GROUP]\n"
    "  remove PATH                       remove a station or group (\"Group/Name\")\n"
    "  history PATH                      list a station's recording history\n"
    "  defaults [KEY [VALUE]]            list, read or write the preferences\n"
    "  defaults --delete KEY             bring back a preference's initial value\n"
    "  paths                             print where the library, settings, recordings and\n"
    "                                    the program's own files are\n"
    "  presets                           list the presets\n"
    "  preset NAME|ID [KEY [VALUE]]      show or change a preset\n"
    "  preset-add NAME [--from NAME]\n"
    "  preset-rename NAME NEW\n"
    "  preset-delete NAME\n"
    "  schedule PATH list|add|remove|activate|deactivate [ARGUMENTS]\n"
    "      add --name N (--once DATE START STOP | --daily START STOP |\n"
    "                    --weekly DAY START STOP | --weekdays START STOP |\n"
    "                    --weekends START STOP) [--active]\n"
    "      remove|activate|deactivate ENTRY-NAME   (times HH:MM, DATE YYYY-MM-DD)\n"
    "  next                              print the next scheduled start, or \"none\"\n"
    "  record PATH|URL... [--for SECONDS] [--listen]\n"
    "                                    record stations now; stop with Ctrl-C or after\n"
    "                                    SECONDS, then list the files recorded; --listen\n"
    "                                    serves the first one to a player on this computer\n"
    "  run [--for SECONDS]               run like the application: record on schedules\n"
    "  version                           print the version\n"
    "  help                              print this text\n";

using Runner = int (*)(orvanta::cli::Args);

struct Command
{
    std::string_view name;
    Runner run;
};

constexpr Command kCommands[] = {
    {"stations", orvanta::cli::runStations},
    {"add-stream", orvanta::cli::runAddStream},
    {"add-group", orvanta::cli::runAddGroup},
    {"remove", orvanta::cli::runRemove},
    {"history", orvanta::cli::runHistory},
    {"defaults", orvanta::cli::runDefaults},
    {"paths", orvanta::cli::runPaths},
    {"presets", orvanta::cli::runPresets},
    {"preset", orvanta::cli::runPreset},
    {"preset-add", orvanta::cli::runPresetAdd},
    {"preset-rename", orvanta::cli::runPresetRename},
    {"preset-delete", orvanta::cli::runPresetDelete},
    {"schedule", orvanta::cli::runSchedule},
    {"next", orvanta::cli::runNext},
    {"record", orvanta::cli::runRecord},
    {"run", orvanta::cli::runRun},
};

int usageError(const std::string& message)
{
    if (!message.empty()) {
        std::fprintf(stderr, "orvanta-cli: %s\n", message.c_str());
    }
    std::fputs(kUsage, stderr);
    return orvanta::cli::kExitUsage;
}

} // namespace

int main(int argc, char** argv)
{
    // A peer closing a socket must never end the program.
    std::signal(SIGPIPE, SIG_IGN);
    // libcurl is set up before any thread exists and cleaned up after the last transfer
    // (every command joins its threads before returning).
    const orvanta::curl::Global curl;
    if (!curl.ok())
        orvanta::logFormat("%s : Fatal error, curl_global_init returned code: %d", "main",
                           static_cast<int>(curl.code()));
    QCoreApplication app(argc, argv);
    const std::string_view command = argc > 1 ? argv[1] : "help";
    orvanta::cli::Args args(argv + std::min(argc, 2), argv + argc);
    if (command == "version" && args.empty()) {
        std::printf("orvanta-cli %s\n", orvanta::kBundleVersion);
        return orvanta::cli::kExitOk;
    }
    if ((command == "help" || command == "--help") && args.empty()) {
        std::fputs(kUsage, stdout);
        return orvanta::cli::kExitOk;
    }
    for (const Command& entry : kCommands) {
        if (entry.name != command) {
            continue;
        }
        try {
            return entry.run(std::move(args));
        } catch (const orvanta::cli::UsageError& error) {
            return usageError(std::string(command) + ": " + error.what());
        } catch (const std::exception& error) {
            std::fprintf(stderr, "orvanta-cli: %s\n", error.what());
            return orvanta::cli::kExitFailure;
        }
    }
    return usageError("unknown command \"" + std::string(command) + "\"");
}
