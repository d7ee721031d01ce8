// Station import: the music player's radio stations become a group of streams. The script
// runs on a worker; the station tree changes on the main thread only.

#include "MainController.h"

#include "Localization.h"
#include "Log.h"
#include "MyOLVController.h"
#include "NodePropertyKeys.h"

#include <cstdlib>
#include <sstream>

namespace orvanta {

namespace {
constexpr std::string_view kImportScript = "importITunesRadio";
constexpr std::string_view kOpenTunerScript = "pleaseOpenRadioTuner";
// The player the shipped import script reads; a user's own script may read another.
constexpr const char* kImportedGroupFormat = QT_TRANSLATE_NOOP("Orvanta", "Rhythmbox Radio - %1");

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}
} // namespace

bool MainController::importRadio()
{
    if (m_importInProgress)
        return false;
    startImport();
    const ScriptRunner& scripts = m_parts.scripts;
    m_threads.start("MainController::importITunesRadioThread", [this, &scripts] {
        const ScriptResult result = scripts.runHandler(kImportScript, "", {});
        std::optional<std::vector<std::string>> items;
        if (result.ok()) {
            std::vector<std::string> lines = linesOf(result.output);
            if (!lines.empty())
                items = std::move(lines);
        }
        // The tree and the progress display belong to the main thread.
        const bool delivered = callSync(*m_mainMailbox, [this, &items] {
                                   if (items)
                                       addImportedData(*items, importedGroupName());
                                   stopImport();
                                   return true;
                               }).value_or(false);
        // An empty tuner: ask the user to add stations first.
        if (delivered && result.ok() && !items)
            scripts.runHandler(kOpenTunerScript, "", {});
    });
    return true;
}

std::string MainController::importedGroupName() const
{
    return Orvanta::tr(kImportedGroupFormat, {localTimeText(m_parts.clock(), "%a %d %b, %I:%M%p")});
}

Node* MainController::addImportedData(const std::vector<std::string>& items,
                                      const std::string& groupName)
{
    // Four strings a station; a trailing incomplete group is ignored.
    if (items.size() < 4)
        return nullptr;
    NodePtr group = Node::nodeWithName(groupName, Node::kGroup);
    for (std::size_t at = 0; at + 4 <= items.size(); at += 4) {
        NodePtr stream = Node::nodeWithName(items[at], items[at + 3], Node::kStream);
        stream->setProperty(Value(items[at + 2]), np::NP_COMMENT);
        stream->setProperty(Value(static_cast<std::int64_t>(std::atoll(items[at + 1].c_str()))),
                            np::NP_BITRATE);
        group->addChild(stream);
    }
    m_parts.olvController.addToRootNode(group);
    return group.get();
}

void MainController::startImport()
{
    m_importInProgress = true;
    m_parts.frontEnd.setImportInProgress(true);
}

void MainController::stopImport()
{
    m_parts.frontEnd.setImportInProgress(false);
    m_importInProgress = false;
}

} // namespace orvanta
