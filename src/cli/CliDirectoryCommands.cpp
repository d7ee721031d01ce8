// orvanta-cli commands on the public station directory: search, add-from-directory.

#include "Cli.h"

#include "PrefsController.h"
#include "StationDirectory.h"

#include <QString>

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace orvanta::cli {

namespace {

int parseCount(const std::string& text, std::string_view option, int most)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > most)
        throw UsageError(std::string(option) + " takes a number from 1 to " + std::to_string(most));
    return value;
}

/// text cut to width characters (not bytes) and padded to it.
std::string cell(const std::string& text, int width)
{
    QString shown = QString::fromStdString(text).simplified();
    if (shown.size() > width)
        shown = shown.left(width - 1) + QChar(0x2026);
    return (shown + QString(width - shown.size(), QLatin1Char(' '))).toStdString();
}

std::string recordability(const DirectoryStation& station)
{
    if (station.isRecordable())
        return "yes";
    return "no (" + station.codec + ")";
}

void printTable(const std::vector<DirectoryStation>& stations)
{
    std::printf("%s  %s  %s  %s  %6s  %7s  %s  %s\n", cell("UUID", 36).c_str(),
                cell("NAME", 32).c_str(), cell("CC", 2).c_str(), cell("CODEC", 5).c_str(), "KBIT/S",
                "VOTES", cell("RECORD", 9).c_str(), "TAGS");
    for (const DirectoryStation& station : stations) {
        std::printf("%s  %s  %s  %s  %6d  %7lld  %s  %s\n", cell(station.uuid, 36).c_str(),
                    cell(station.name, 32).c_str(), cell(station.countryCode, 2).c_str(),
                    cell(station.codec, 5).c_str(), station.bitrate,
                    static_cast<long long>(station.votes), cell(recordability(station), 9).c_str(),
                    QString::fromStdString(station.tags).simplified().toStdString().c_str());
    }
}

} // namespace

int runSearch(Args args)
{
    DirectoryQuery query;
    query.limit = 20;
    query.tag = takeOption(args, "--tag").value_or("");
    query.countryCode = takeOption(args, "--country").value_or("");
    query.codec = takeOption(args, "--codec").value_or("");
    if (const auto limit = takeOption(args, "--limit"))
        query.limit = parseCount(*limit, "--limit", 500);
    const bool all = takeFlag(args, "--all");
    rejectUnknownOptions(args);
    if (args.size() != 1)
        throw UsageError("search needs one text to look for (\"\" for any name)");
    query.name = args[0];
    // Only what can be recorded, unless asked otherwise.
    query.recordableCodecsOnly = query.codec.empty() && !all;
    StationDirectory directory(PrefsController::sharedInstance());
    const DirectorySearchResult found = directory.search(query);
    if (!found.ok())
        throw Failure(found.error);
    if (found.stations.empty()) {
        std::printf("No stations found.\n");
        return kExitOk;
    }
    printTable(found.stations);
    if (found.more)
        std::printf("(more stations match: raise --limit or narrow the search)\n");
    return kExitOk;
}

int runAddFromDirectory(Args args)
{
    const auto group = takeOption(args, "--in");
    rejectUnknownOptions(args);
    if (args.size() != 1)
        throw UsageError("add-from-directory needs exactly one station identifier");
    Library library;
    Node* parent = library.findGroup(group.value_or(""));
    StationDirectory directory(PrefsController::sharedInstance());
    std::string error;
    const auto station = directory.stationByUuid(args[0], error);
    if (!station)
        throw Failure(error);
    if (!station->isRecordable())
        throw Failure("\"" + station->name + "\" sends " + station->codec +
                      ", which Orvanta cannot record");
    for (const NodePtr& child : parent->children())
        if (child->name() == station->name)
            throw Failure("\"" + station->name + "\" already exists in that group");
    parent->addChild(directoryStreamNode(*station));
    library.save();
    std::printf("Added \"%s\" (%s)\n", station->name.c_str(), station->streamAddress().c_str());
    return kExitOk;
}

} // namespace orvanta::cli
