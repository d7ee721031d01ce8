// orvanta-cli: the station library, presets and preferences of Orvanta from a terminal.

#include "Cli.h"
#include "Global.h"
#include "Localization.h"
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

using Runner = int (*)(orvanta::cli::Args);

// Every command with its synopsis and what it does; the usage text, `help COMMAND` and the
// manual page (docs/man/orvanta-cli.1, checked by the tests) say the same.
struct Command
{
    std::string_view name;
    Runner run;
    const char* synopsis;
    const char* description;
};

// The descriptions are translated when printed; the synopses are command syntax and stay as
// they are.
constexpr Command kCommands[] = {
    {"stations", orvanta::cli::runStations, "stations",
     QT_TRANSLATE_NOOP("Orvanta", "list the library as a tree")},
    {"add-stream", orvanta::cli::runAddStream,
     "add-stream NAME URL... [--in GROUP] [--preset NAME] [--user U --password P]",
     QT_TRANSLATE_NOOP("Orvanta", "add a station with its addresses")},
    {"add-group", orvanta::cli::runAddGroup, "add-group NAME [--in GROUP]",
     QT_TRANSLATE_NOOP("Orvanta", "add a group")},
    {"search", orvanta::cli::runSearch,
     "search TEXT [--tag T] [--country CC] [--codec C] [--limit N] [--all]",
     QT_TRANSLATE_NOOP("Orvanta",
                       "search the public station directory (\"\" for any name); only stations "
                       "Orvanta can record unless --codec or --all is given")},
    {"add-from-directory", orvanta::cli::runAddFromDirectory,
     "add-from-directory UUID [--in GROUP]",
     QT_TRANSLATE_NOOP("Orvanta", "add a station of the directory to the library")},
    {"remove", orvanta::cli::runRemove, "remove PATH",
     QT_TRANSLATE_NOOP("Orvanta", "remove a station or group (\"Group/Name\")")},
    {"history", orvanta::cli::runHistory, "history PATH",
     QT_TRANSLATE_NOOP("Orvanta", "list a station's recording history")},
    {"forget-offsets", orvanta::cli::runForgetOffsets, "forget-offsets PATH",
     QT_TRANSLATE_NOOP("Orvanta",
                       "forget what the station's splits learned of when its titles change")},
    {"cuts", orvanta::cli::runCuts, "cuts PATH",
     QT_TRANSLATE_NOOP("Orvanta",
                       "list the recent cuts of a station: time, distance from the title "
                       "change, the gap found, and the file that starts there")},
    {"recut", orvanta::cli::runRecut, "recut FILE --by SECONDS",
     QT_TRANSLATE_NOOP("Orvanta",
                       "move the cut at the start of a recorded file (later when positive), "
                       "writing it and the song before anew from the session journal")},
    {"defaults", orvanta::cli::runDefaults, "defaults [KEY [VALUE]] | defaults --delete KEY",
     QT_TRANSLATE_NOOP("Orvanta", "list, read or write the preferences; --delete brings back a "
                                  "preference's initial value")},
    {"paths", orvanta::cli::runPaths, "paths",
     QT_TRANSLATE_NOOP("Orvanta", "print where the library, settings, recordings and the "
                                  "program's own files are")},
    {"presets", orvanta::cli::runPresets, "presets",
     QT_TRANSLATE_NOOP("Orvanta", "list the presets")},
    {"preset", orvanta::cli::runPreset, "preset NAME|ID [KEY [VALUE...]]",
     QT_TRANSLATE_NOOP("Orvanta", "show or change a preset; a list key takes its items as values "
                                  "(\"\" for none)")},
    {"preset-add", orvanta::cli::runPresetAdd, "preset-add NAME [--from NAME]",
     QT_TRANSLATE_NOOP("Orvanta", "add a preset")},
    {"preset-rename", orvanta::cli::runPresetRename, "preset-rename NAME NEW",
     QT_TRANSLATE_NOOP("Orvanta", "rename a preset")},
    {"preset-delete", orvanta::cli::runPresetDelete, "preset-delete NAME",
     QT_TRANSLATE_NOOP("Orvanta", "delete a preset (its stations record in the standard style)")},
    {"schedule", orvanta::cli::runSchedule,
     "schedule PATH list|add|remove|activate|deactivate [ARGUMENTS]",
     QT_TRANSLATE_NOOP("Orvanta",
                       "list or change a station's schedules: add --name N (--once DATE START "
                       "STOP | --daily START STOP | --weekly DAY START STOP | --weekdays START "
                       "STOP | --weekends START STOP) [--active]; remove, activate or deactivate "
                       "ENTRY-NAME (times HH:MM, DATE YYYY-MM-DD)")},
    {"next", orvanta::cli::runNext, "next",
     QT_TRANSLATE_NOOP("Orvanta", "print the next scheduled start, or \"none\"")},
    {"record", orvanta::cli::runRecord, "record PATH|URL... [--for SECONDS] [--listen]",
     QT_TRANSLATE_NOOP("Orvanta",
                       "record stations now; stop with Ctrl-C or after SECONDS, then list the "
                       "files recorded; --listen serves the first one to a player on this "
                       "computer")},
    {"run", orvanta::cli::runRun, "run [--for SECONDS]",
     QT_TRANSLATE_NOOP("Orvanta", "run like the application: record on schedules")},
    {"version", nullptr, "version", QT_TRANSLATE_NOOP("Orvanta", "print the version")},
    {"help", nullptr, "help [COMMAND]",
     QT_TRANSLATE_NOOP("Orvanta", "print this text, or a command's own")},
};

const Command* commandNamed(std::string_view name)
{
    for (const Command& entry : kCommands)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

void printUsage(std::FILE* out)
{
    std::fprintf(out, "%s\n\n%s\n", Orvanta::tr("usage: orvanta-cli COMMAND [ARGUMENTS]").c_str(),
                 Orvanta::tr("commands:").c_str());
    for (const Command& entry : kCommands)
        std::fprintf(out, "  %s\n      %s\n", entry.synopsis,
                     orvanta::localizedString(entry.description).c_str());
}

int usageError(const std::string& message)
{
    if (!message.empty()) {
        std::fprintf(stderr, "orvanta-cli: %s\n", message.c_str());
    }
    printUsage(stderr);
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
    orvanta::installTranslations();
    const std::string_view command = argc > 1 ? argv[1] : "help";
    orvanta::cli::Args args(argv + std::min(argc, 2), argv + argc);
    if (command == "version" && args.empty()) {
        std::printf("orvanta-cli %s\n", orvanta::kBundleVersion);
        return orvanta::cli::kExitOk;
    }
    if ((command == "help" || command == "--help") && args.empty()) {
        printUsage(stdout);
        return orvanta::cli::kExitOk;
    }
    // A command's own help, as the manual page gives it: "help COMMAND" or "COMMAND --help".
    const bool ownHelp = args.size() == 1 && (command == "help" || args[0] == "--help");
    if (ownHelp) {
        const std::string name = args[0] == "--help" ? std::string(command) : args[0];
        const Command* entry = commandNamed(name);
        if (!entry)
            return usageError(Orvanta::tr("no command \"%1\"", {name}));
        std::printf("%s\n  %s\n", Orvanta::tr("usage: orvanta-cli %1", {entry->synopsis}).c_str(),
                    orvanta::localizedString(entry->description).c_str());
        return orvanta::cli::kExitOk;
    }
    const Command* entry = commandNamed(command);
    if (entry && entry->run) {
        try {
            return entry->run(std::move(args));
        } catch (const orvanta::cli::UsageError& error) {
            return usageError(std::string(command) + ": " + error.what());
        } catch (const std::exception& error) {
            std::fprintf(stderr, "orvanta-cli: %s\n", error.what());
            return orvanta::cli::kExitFailure;
        }
    }
    return usageError(Orvanta::tr("unknown command \"%1\"", {std::string(command)}));
}
