// orvanta-cli commands on the public station directory: search, add-from-directory.

#include "Cli.h"

#include "Localization.h"
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
        throw UsageError(Orvanta::tr("%1 takes a number from 1 to %2",
                                     {std::string(option), std::to_string(most)}));
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

/// The width of text in characters (not bytes).
int widthOf(const std::string& text)
{
    return static_cast<int>(QString::fromStdString(text).size());
}

std::string recordability(const DirectoryStation& station)
{
    if (station.isRecordable())
        return Orvanta::tr("yes");
    return Orvanta::tr("no (%1)", {station.codec});
}

void printTable(const std::vector<DirectoryStation>& stations)
{
    // Each column is as wide as its values are cut to, or as its heading where a translation
    // is wider.
    const std::string name = Orvanta::tr("NAME");
    //: Column heading: the station's two-letter country code.
    const std::string country = Orvanta::tr("CC");
    const std::string codec = Orvanta::tr("CODEC");
    const std::string bitrate = Orvanta::tr("KBIT/S");
    const std::string votes = Orvanta::tr("VOTES");
    //: Column heading: whether Orvanta can record the station ("yes", or "no" and its codec).
    const std::string record = Orvanta::tr("RECORD");
    const int nameWidth = std::max(32, widthOf(name));
    const int countryWidth = std::max(2, widthOf(country));
    const int codecWidth = std::max(5, widthOf(codec));
    const int bitrateWidth = std::max(6, widthOf(bitrate));
    const int votesWidth = std::max(7, widthOf(votes));
    const int recordWidth = std::max(9, widthOf(record));
    // The numbers' headings stand right-aligned over them.
    const auto right = [](const std::string& heading, int width) {
        return std::string(static_cast<std::size_t>(width - widthOf(heading)), ' ') + heading;
    };
    std::printf("%s  %s  %s  %s  %s  %s  %s  %s\n", cell("UUID", 36).c_str(),
                cell(name, nameWidth).c_str(), cell(country, countryWidth).c_str(),
                cell(codec, codecWidth).c_str(), right(bitrate, bitrateWidth).c_str(),
                right(votes, votesWidth).c_str(), cell(record, recordWidth).c_str(),
                Orvanta::tr("TAGS").c_str());
    for (const DirectoryStation& station : stations) {
        std::printf("%s  %s  %s  %s  %*d  %*lld  %s  %s\n", cell(station.uuid, 36).c_str(),
                    cell(station.name, nameWidth).c_str(),
                    cell(station.countryCode, countryWidth).c_str(),
                    cell(station.codec, codecWidth).c_str(), bitrateWidth, station.bitrate,
                    votesWidth, static_cast<long long>(station.votes),
                    cell(recordability(station), recordWidth).c_str(),
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
        throw UsageError(Orvanta::tr("search needs one text to look for (\"\" for any name)"));
    query.name = args[0];
    // Only what can be recorded, unless asked otherwise.
    query.recordableCodecsOnly = query.codec.empty() && !all;
    StationDirectory directory(PrefsController::sharedInstance());
    const DirectorySearchResult found = directory.search(query);
    if (!found.ok())
        throw Failure(found.error);
    if (found.stations.empty()) {
        std::printf("%s\n", Orvanta::tr("No stations found.").c_str());
        return kExitOk;
    }
    printTable(found.stations);
    if (found.more)
        std::printf(
            "%s\n",
            Orvanta::tr("(more stations match: raise --limit or narrow the search)").c_str());
    return kExitOk;
}

int runAddFromDirectory(Args args)
{
    const auto group = takeOption(args, "--in");
    rejectUnknownOptions(args);
    if (args.size() != 1)
        throw UsageError(Orvanta::tr("add-from-directory needs exactly one station identifier"));
    Library library;
    Node* parent = library.findGroup(group.value_or(""));
    StationDirectory directory(PrefsController::sharedInstance());
    std::string error;
    const auto station = directory.stationByUuid(args[0], error);
    if (!station)
        throw Failure(error);
    if (!station->isRecordable())
        throw Failure(Orvanta::tr("\"%1\" sends %2, which Orvanta cannot record",
                                  {station->name, station->codec}));
    for (const NodePtr& child : parent->children())
        if (child->name() == station->name)
            throw Failure(Orvanta::tr("\"%1\" already exists in that group", {station->name}));
    parent->addChild(directoryStreamNode(*station));
    library.save();
    std::printf(
        "%s\n",
        Orvanta::tr("Added \"%1\" (%2)", {station->name, station->streamAddress()}).c_str());
    return kExitOk;
}

} // namespace orvanta::cli
