// orvanta-cli commands on the station library: stations, add-stream, add-group, remove,
// history.

#include "Cli.h"

#include "HistoryController.h"
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
        return "recording";
    }
    return node.timerStatus() == TimerStatus::Scheduled ? "scheduled" : "idle";
}

/// The words for the history list's status images.
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
        std::printf("%sgroup %s\n", indent.c_str(), node.name().c_str());
        for (const NodePtr& child : node.children()) {
            printNode(*child, presets, depth + 1);
        }
        return;
    }
    std::printf("%sstream %s\n", indent.c_str(), node.name().c_str());
    for (const Value& url : arrayProperty(node, np::NP_URLS)) {
        if (url.isString()) {
            std::printf("%s    address: %s\n", indent.c_str(), url.toString().c_str());
        }
    }
    std::string presetID = stringProperty(node, np::NP_PRESET_ID);
    if (presetID.empty()) {
        presetID = std::string(presetkeys::kStandardPresetID);
    }
    const std::string presetName = presets.presetNameForID(presetID).value_or(presetID);
    std::printf("%s    preset: %s\n", indent.c_str(), presetName.c_str());
    for (const Value& entry : arrayProperty(node, np::NP_RECORDING_SCHEDULE)) {
        if (!entry.isDictionary()) {
            continue;
        }
        const Value description = entry.toDictionary().get(schedkey::DESCRIPTION);
        if (description.isString()) {
            std::printf("%s    schedule: %s\n", indent.c_str(), description.toString().c_str());
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
        std::printf("%s    cut timing: %s\n", indent.c_str(), timing.c_str());
    }
    std::printf("%s    status: %s\n", indent.c_str(), statusText(node).c_str());
}

void refuseDuplicateName(const Node& parent, const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos) {
        throw UsageError("a name must not be empty or contain \"/\"");
    }
    for (const NodePtr& child : parent.children()) {
        if (child->name() == name) {
            throw Failure("\"" + name + "\" already exists in that group");
        }
    }
}

} // namespace

int runStations(Args args)
{
    if (!args.empty()) {
        throw UsageError("stations takes no arguments");
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
        throw UsageError("add-stream needs a name and at least one address");
    }
    if (user.has_value() != password.has_value()) {
        throw UsageError("--user and --password go together");
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
        throw UsageError("add-group needs exactly one name");
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
        throw UsageError("remove needs exactly one path");
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
        throw UsageError("forget-offsets needs exactly one path");
    }
    Library library;
    Node* node = library.find(args[0]);
    if (node->nodeType() != Node::kStream) {
        throw Failure("\"" + args[0] + "\" is a group, not a station");
    }
    node->removePropertyForKey(np::NP_SPLIT_OFFSETS);
    library.save();
    return kExitOk;
}

int runHistory(Args args)
{
    rejectUnknownOptions(args);
    if (args.size() != 1) {
        throw UsageError("history needs exactly one path");
    }
    Library library;
    Node* node = library.find(args[0]);
    if (node->nodeType() != Node::kStream) {
        throw Failure("\"" + args[0] + "\" is a group; only stations have a history");
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
