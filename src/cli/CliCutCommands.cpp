// orvanta-cli commands on the cuts between recorded songs: cuts (what the recordings chose)
// and recut (a cut moved afterwards, from the session journal).

#include "Cli.h"

#include "CutCorrection.h"
#include "Localization.h"
#include "NodePropertyKeys.h"
#include "SessionJournal.h"
#include "SplitOffsets.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <set>

namespace orvanta::cli {

namespace {

/// The station's recorded files, in the history's order, with the titles they were named by.
std::vector<std::pair<std::string, std::string>> historyFiles(const Node& node)
{
    std::vector<std::pair<std::string, std::string>> files;
    const auto history = node.propertyForKey(np::NP_HISTORY);
    if (history && history->isArray())
        for (const Value& entry : history->toArray())
            if (entry.isDictionary())
                files.emplace_back(entry.toDictionary().get(fileinfo::kLocation).toString(),
                                   entry.toDictionary().get(fileinfo::kStreamTitle).toString());
    return files;
}

std::set<std::string> historyLocations(const Node& node)
{
    std::set<std::string> locations;
    for (const auto& [location, title] : historyFiles(node))
        locations.insert(location);
    return locations;
}

/// The station whose history holds path.
Node* stationWithFile(Node* node, const std::string& path)
{
    if (!node)
        return nullptr;
    if (node->nodeType() == Node::kStream)
        return historyLocations(*node).count(path) ? node : nullptr;
    for (const auto& child : node->children())
        if (Node* found = stationWithFile(child.get(), path))
            return found;
    return nullptr;
}

std::string localTime(double seconds)
{
    const auto when = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

} // namespace

int runCuts(Args args)
{
    rejectUnknownOptions(args);
    if (args.size() != 1)
        throw UsageError(Orvanta::tr("%1 needs exactly one path", {"cuts"}));
    Library library;
    Node* node = library.find(args[0]);
    if (node->nodeType() != Node::kStream)
        throw Failure(Orvanta::tr("\"%1\" is a group; only stations have cuts", {args[0]}));
    const auto files = historyFiles(*node);
    const auto titleOf = [&](const std::string& path) {
        for (const auto& [location, title] : files)
            if (location == path)
                return std::optional<std::string>(title);
        return std::optional<std::string>();
    };
    for (const JournalSession& session :
         JournalSession::readAll(SessionJournal::defaultSessionsFolder())) {
        const auto& events = session.events;
        std::set<std::string> finished;
        for (const auto& event : events)
            if (event.kind == "file" && !event.fields.empty())
                finished.insert(event.fields[0]);
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (events[i].kind != "cut" || events[i].fields.size() < 4)
                continue;
            // The file that starts at the cut: the next one finished under the cut's title,
            // or, cut short by a stop (and never finished), the station's last of that title.
            const std::string& song = events[i].fields[3];
            std::string file;
            for (std::size_t j = i + 1; j < events.size() && file.empty(); ++j)
                if (events[j].kind == "file" && !events[j].fields.empty() &&
                    titleOf(events[j].fields[0]) == song)
                    file = events[j].fields[0];
            for (auto entry = files.rbegin(); file.empty() && entry != files.rend(); ++entry)
                if (entry->second == song && !finished.count(entry->first))
                    file = entry->first;
            if (file.empty())
                continue;
            const double fromTitle = std::strtod(events[i].fields[0].c_str(), nullptr);
            const bool gap = events[i].fields[1] == "1";
            // The same words in every language: scripts read these tab-separated lines.
            char gapText[48];
            std::snprintf(gapText, sizeof gapText, "gap %.2f s",
                          std::strtod(events[i].fields[2].c_str(), nullptr));
            std::printf("%s\t%+.2f s\t%s\t%s\n", localTime(events[i].time).c_str(), fromTitle,
                        gap ? gapText : "no gap", file.c_str());
        }
    }
    return kExitOk;
}

int runRecut(Args args)
{
    const std::optional<std::string> by = takeOption(args, "--by");
    rejectUnknownOptions(args);
    if (args.size() != 1 || !by)
        throw UsageError(Orvanta::tr("recut needs one file and --by SECONDS"));
    char* end = nullptr;
    const double seconds = std::strtod(by->c_str(), &end);
    if (by->empty() || *end != '\0' || !std::isfinite(seconds) || std::fabs(seconds) > 600)
        throw UsageError(Orvanta::tr("--by takes seconds, such as 1.5 or -0.8"));
    const std::string path = std::filesystem::absolute(args[0]).lexically_normal().string();
    std::string error;
    const auto cut = findRecordedCut(SessionJournal::defaultSessionsFolder(), path, error);
    if (!cut)
        throw Failure(error);
    const auto moved = moveRecordedCut(*cut, seconds, error);
    if (!moved)
        throw Failure(error);
    // The station's next cuts move the same way.
    Library library;
    if (Node* station = stationWithFile(library.root(), path); station && cut->fromTitleSeconds) {
        rememberSplitOffset(*station, *cut->fromTitleSeconds + *moved);
        library.save();
    }
    char amount[32];
    std::snprintf(amount, sizeof amount, "%+.2f", *moved);
    std::printf("%s\n",
                Orvanta::tr("Moved the cut by %1 s: \"%2\" and \"%3\" are written anew.",
                            {amount, std::filesystem::path(cut->previousPath).filename().string(),
                             std::filesystem::path(path).filename().string()})
                    .c_str());
    return kExitOk;
}

} // namespace orvanta::cli
