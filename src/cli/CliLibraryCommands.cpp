// orvanta-cli commands on the station library: stations, add-stream, add-group, remove,
// history.

#include "Cli.h"

#include "HistoryController.h"
#include "Localization.h"
#include "NodePropertyKeys.h"
#include "PresetsController.h"
#include "ScheduleEntry.h"
#include "SplitOffsetLearner.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace orvanta::cli {

namespace {

std::string stringProperty(const Node& node, std::string_view key)
{
    const auto value = node.propertyForKey(key);
    return value && value->isString() ? value->toString() : std::string();
}

Array arrayProperty(const Node& node, std::string_view key)
{
    const auto value = node.propertyForKey(key);
    return value && value->isArray() ? value->toArray() : Array();
}

std::string statusText(const Node& node)
{
    if (node.isRecording()) {
        return Orvanta::tr("recording");
    }
    return node.timerStatus() == TimerStatus::Scheduled ? Orvanta::tr("scheduled")
                                                        : Orvanta::tr("idle");
}

/// The words for the history list's status images. They stay English in every language:
/// scripts read the history's tab-separated lines.
std::string historyStatusText(const Value& image)
{
    const std::string name = image.isString() ? image.toString() : std::string();
    if (name == "attStatusConfirmed") {
        return "recorded";
    }
    if (name == "duplicateConfirmed") {
        return "duplicate";
    }
    if (name == "duplicateIgnored") {
        return "duplicate, ignored";
    }
    if (name == "skippedIgnored") {
        return "skipped";
    }
    return name;
}

void printNode(const Node& node, const PresetsController& presets, int depth)
{
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    if (node.nodeType() == Node::kGroup) {
        //: A line of the library tree: a group and its name.
        std::printf("%s%s\n", indent.c_str(), Orvanta::tr("group %1", {node.name()}).c_str());
        for (const NodePtr& child : node.children()) {
            printNode(*child, presets, depth + 1);
        }
        return;
    }
    //: A line of the library tree: a station and its name.
    std::printf("%s%s\n", indent.c_str(), Orvanta::tr("stream %1", {node.name()}).c_str());
    for (const Value& url : arrayProperty(node, np::NP_URLS)) {
        if (url.isString()) {
            std::printf("%s    %s\n", indent.c_str(),
                        Orvanta::tr("address: %1", {url.toString()}).c_str());
        }
    }
    std::string presetID = stringProperty(node, np::NP_PRESET_ID);
    if (presetID.empty()) {
        presetID = std::string(presetkeys::kStandardPresetID);
    }
    const std::string presetName = presets.presetNameForID(presetID).value_or(presetID);
    std::printf("%s    %s\n", indent.c_str(), Orvanta::tr("preset: %1", {presetName}).c_str());
    for (const Value& entry : arrayProperty(node, np::NP_RECORDING_SCHEDULE)) {
        if (!entry.isDictionary()) {
            continue;
        }
        const Value description = entry.toDictionary().get(schedkey::DESCRIPTION);
        if (description.isString()) {
            std::printf("%s    %s\n", indent.c_str(),
                        Orvanta::tr("schedule: %1", {description.toString()}).c_str());
        }
    }
    std::vector<double> offsets;
    for (const Value& offset : arrayProperty(node, np::NP_SPLIT_OFFSETS)) {
        if (offset.isNumber()) {
            offsets.push_back(offset.toReal());
        }
    }
    if (!offsets.empty()) {
        const std::string timing = SplitOffsetLearner(8, offsets).describe();
        std::printf("%s    %s\n", indent.c_str(), Orvanta::tr("cut timing: %1", {timing}).c_str());
    }
    std::printf("%s    %s\n", indent.c_str(),
                Orvanta::tr("status: %1", {statusText(node)}).c_str());
}

void refuseDuplicateName(const Node& parent, const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos) {
        throw UsageError(Orvanta::tr("a name must not be empty or contain \"/\""));
    }
    for (const NodePtr& child : parent.children()) {
        if (child->name() == name) {
            throw Failure(Orvanta::tr("\"%1\" already exists in that group", {name}));
        }
    }
}

} // namespace

int runStations(Args args)
{
    if (!args.empty()) {
        //: %1 is a command, such as "stations" or "schedule list".
        throw UsageError(Orvanta::tr("%1 takes no arguments", {"stations"}));
    }
    Library library;
    PresetsController presets;
    attachPresetStore(presets);
    for (const NodePtr& child : library.root()->children()) {
        printNode(*child, presets, 0);
    }
    return kExitOk;
}

int runAddStream(Args args)
{
    const auto group = takeOption(args, "--in");
    const auto preset = takeOption(args, "--preset");
    const auto user = takeOption(args, "--user");
    const auto password = takeOption(args, "--password");
    rejectUnknownOptions(args);
    if (args.size() < 2) {
        throw UsageError(Orvanta::tr("add-stream needs a name and at least one address"));
    }
    if (user.has_value() != password.has_value()) {
        throw UsageError(Orvanta::tr("--user and --password go together"));
    }
    Library library;
    Node* parent = library.findGroup(group.value_or(""));
    refuseDuplicateName(*parent, args[0]);
    std::string presetID;
    if (preset) {
        PresetsController presets;
        attachPresetStore(presets);
        presetID = presetIDForName(presets, *preset);
    }
    const std::vector<std::string> urls(args.begin() + 1, args.end());
    NodePtr node = Node::nodeWithName(args[0], urls, Node::kStream);
    if (!presetID.empty()) {
        node->setProperty(Value(presetID), np::NP_PRESET_ID);
    }
    if (user) {
        node->setProperty(Value(*user), np::NP_USERNAME);
        node->setProperty(Value(*password), np::NP_PASSWORD);
    }
    parent->addChild(node);
    library.save();
    return kExitOk;
}

int runAddGroup(Args args)
{
    const auto group = takeOption(args, "--in");
    rejectUnknownOptions(args);
    if (args.size() != 1) {
        throw UsageError(Orvanta::tr("%1 needs exactly one name", {"add-group"}));
    }
    Library library;
    Node* parent = library.findGroup(group.value_or(""));
    refuseDuplicateName(*parent, args[0]);
    parent->addChild(Node::nodeWithName(args[0], Node::kGroup));
    library.save();
    return kExitOk;
}

int runRemove(Args args)
{
    rejectUnknownOptions(args);
    if (args.size() != 1) {
        throw UsageError(Orvanta::tr("%1 needs exactly one path", {"remove"}));
    }
    Library library;
    Node* node = library.find(args[0]);
    library.controller().deleteNodes({node});
    library.save();
    return kExitOk;
}

int runForgetOffsets(Args args)
{
    rejectUnknownOptions(args);
    if (args.size() != 1) {
        throw UsageError(Orvanta::tr("%1 needs exactly one path", {"forget-offsets"}));
    }
    Library library;
    Node* node = library.find(args[0]);
    if (node->nodeType() != Node::kStream) {
        throw Failure(Orvanta::tr("\"%1\" is a group, not a station", {args[0]}));
    }
    node->removePropertyForKey(np::NP_SPLIT_OFFSETS);
    library.save();
    return kExitOk;
}

int runHistory(Args args)
{
    rejectUnknownOptions(args);
    if (args.size() != 1) {
        throw UsageError(Orvanta::tr("%1 needs exactly one path", {"history"}));
    }
    Library library;
    Node* node = library.find(args[0]);
    if (node->nodeType() != Node::kStream) {
        throw Failure(Orvanta::tr("\"%1\" is a group; only stations have a history", {args[0]}));
    }
    const auto history = node->propertyForKey(np::NP_HISTORY);
    HistoryController controller;
    controller.setNodeHistory(history && history->isArray() ? std::optional(history->toArray())
                                                            : std::nullopt);
    for (int row = 0; row < controller.rowCount(); ++row) {
        std::printf("%s\t%s\n", historyStatusText(controller.objectValue("status", row)).c_str(),
                    describe(controller.objectValue("location", row), false).c_str());
    }
    return kExitOk;
}

} // namespace orvanta::cli
