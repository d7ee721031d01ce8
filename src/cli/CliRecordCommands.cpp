// `record` and `run`: the application core at work from a terminal.

#include "CliSession.h"

#include "FileManagerExtensions.h"
#include "Localization.h"
#include "NodePropertyKeys.h"
#include "PresetsController.h"

#include <cmath>
#include <cstdio>
#include <set>
#include <sys/stat.h>

namespace orvanta::cli {

namespace {
// How long a stopped recording may take to write its last file before we give up waiting.
constexpr std::chrono::seconds kFinishWait{15};

std::optional<std::chrono::milliseconds> takeDuration(Args& args)
{
    const auto text = takeOption(args, "--for");
    if (!text)
        return std::nullopt;
    const auto seconds = parseValueAs(*text, Value::Type::Real);
    if (!seconds || !std::isfinite(seconds->toReal()) || seconds->toReal() <= 0)
        throw UsageError(
            Orvanta::tr("--for needs a positive number of seconds, not \"%1\"", {*text}));
    return std::chrono::milliseconds(static_cast<std::int64_t>(seconds->toReal() * 1000));
}

bool isAddress(const std::string& text)
{
    return text.find("://") != std::string::npos;
}

std::size_t historySize(const Node& node)
{
    const auto history = node.propertyForKey(np::NP_HISTORY);
    return history && history->isArray() ? history->toArray().size() : 0;
}

bool isFile(const std::string& path)
{
    struct stat info
    {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

struct Station
{
    Node* node;
    std::size_t historyBefore;
    bool launched = false;
    std::string lastAlert; // a stop clears the alert; keep what it said
};
} // namespace

int runRecord(Args args)
{
    const auto duration = takeDuration(args);
    const bool listen = takeFlag(args, "--listen");
    rejectUnknownOptions(args);
    if (args.empty())
        throw UsageError(Orvanta::tr("record needs at least one station path or address"));

    CliSession session(false);
    MainController& controller = session.controller();
    // Addresses that are not in the library are recorded through stations that are not
    // saved with it.
    std::vector<NodePtr> unsaved;
    std::vector<Node*> selection;
    for (const std::string& arg : args) {
        if (isAddress(arg)) {
            unsaved.push_back(Node::nodeWithName(arg, arg, Node::kStream));
            selection.push_back(unsaved.back().get());
        } else {
            selection.push_back(session.find(arg));
        }
    }
    std::vector<Station> stations;
    for (Node* node : session.library().getAllSelectedStreams(selection))
        stations.push_back({node, historySize(*node), false, {}});
    if (stations.empty())
        throw Failure(Orvanta::tr("no station to record in the groups given"));

    if (stations.size() == 1)
        controller.setVisibleNode(stations.front().node);
    for (Station& station : stations) {
        if (!controller.startRecordingForNode(station.node, MainController::kSourceUser)) {
            const std::string alert = station.node->valueForKey("alertMessage").value_or("");
            throw Failure(alert.empty()
                              ? Orvanta::tr("\"%1\" is recording already", {station.node->name()})
                              : alert);
        }
    }

    auto noteLaunches = [&] {
        for (Station& station : stations) {
            station.launched =
                station.launched || station.node->rippingStatus() == RippingStatus::Running;
            const auto alert = station.node->valueForKey("alertMessage");
            if (alert && !alert->empty())
                station.lastAlert = *alert;
        }
    };
    // With --listen the first station is served through the relay once it records.
    bool relayOffered = !listen;
    auto offerRelay = [&] {
        if (relayOffered || !stations.front().launched)
            return;
        relayOffered = true;
        session.frontEnd().finishLine();
        if (const auto url = controller.serveThroughRelay(stations.front().node))
            std::printf("%s\n", Orvanta::tr("Listen at %1", {*url}).c_str());
        else
            std::fprintf(stderr, "orvanta-cli: %s\n",
                         Orvanta::tr("the relay is off (relayport is 0)").c_str());
        std::fflush(stdout);
    };
    auto allEnded = [&] {
        noteLaunches();
        offerRelay();
        for (const Station& station : stations) {
            if (station.node->isRecording())
                return false;
        }
        return true;
    };
    session.runUntil(allEnded, duration);

    // As the Stop button: every station still recording is stopped.
    for (const Station& station : stations) {
        if (station.node->isRecording())
            controller.stopRecordingForTag(station.node->tag());
    }
    session.runUntil([&] { return controller.activeRecordingCount() == 0; }, kFinishWait);
    noteLaunches();
    session.core().shutDown();
    session.frontEnd().finishLine();

    int status = kExitOk;
    for (const Station& station : stations) {
        std::vector<std::string> files;
        const Array history =
            station.node->propertyForKey(np::NP_HISTORY).value_or(Value(Array{})).toArray();
        for (std::size_t i = station.historyBefore; i < history.size(); ++i) {
            const std::string location =
                history.at(i).toDictionary().get(fileinfo::kLocation).toString();
            if (!location.empty() && isFile(location))
                files.push_back(location);
        }
        for (const std::string& file : files)
            std::printf("%s\n", file.c_str());
        // A station that recorded nothing and said why has failed, even if it connected;
        // so has one whose recording was ended by a failure (a full disc, say), whatever it
        // wrote before: that alert was printed when it came.
        if (session.frontEnd().endedWithAlert(station.node)) {
            status = kExitFailure;
        } else if (!station.launched || (files.empty() && !station.lastAlert.empty())) {
            const std::string alert = station.lastAlert.empty()
                                          ? Orvanta::tr("the recording did not start")
                                          : station.lastAlert;
            std::fprintf(stderr, "orvanta-cli: %s: %s\n", station.node->name().c_str(),
                         alert.c_str());
            status = kExitFailure;
        }
    }
    return status;
}

int runRun(Args args)
{
    const auto duration = takeDuration(args);
    rejectUnknownOptions(args);
    if (!args.empty())
        throw UsageError(Orvanta::tr("%1 takes no arguments", {"run"}));
    CliSession session(true);
    std::fprintf(stderr, "orvanta-cli: %s\n",
                 Orvanta::tr("running; stop with Ctrl-C or SIGTERM").c_str());
    session.runUntil([] { return false; }, duration);
    session.frontEnd().finishLine();
    session.core().shouldTerminate(); // says when a scheduled recording is near
    session.core().shutDown();
    return kExitOk;
}

} // namespace orvanta::cli
