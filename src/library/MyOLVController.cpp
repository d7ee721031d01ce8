#include "MyOLVController.h"

#include "AtomicFile.h"
#include "BackgroundFileWriter.h"
#include "FileManagerExtensions.h"
#include "Localization.h"
#include "Log.h"
#include "NodePropertyKeys.h"
#include "PrefsController.h"
#include "PresetCatalog.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include <QDate>
#include <QTimer>

namespace orvanta {

namespace {

constexpr unsigned kPrivateFileMode = 0600; // the library holds station passwords
constexpr std::string_view kPresetKeyName = "PRESET_KEY_NAME";
constexpr const char* kStandardPresetID = "Standard";

// Numbers compare by value whatever their stored kind (an old node's rewind seconds are a
// real, the preset's may be an integer).
bool sameSetting(const Value& a, const Value& b)
{
    if (a.isNumber() && b.isNumber()) {
        return a.toReal() == b.toReal();
    }
    return a == b;
}

} // namespace

MyOLVController::MyOLVController(PrefsController* prefs, std::string supportFolder)
    : m_prefs(prefs), m_supportFolder(std::move(supportFolder)),
      m_root(Node::nodeWithName("Root", Node::kGroup))
{}

MyOLVController::~MyOLVController()
{
    *m_alive = false;
}

std::string MyOLVController::defaultSupportFolder()
{
    std::optional<std::string> folder =
        findSystemFolderType(kApplicationSupportFolderType, FolderDomain::User);
    return folder.value_or(".") + "/Orvanta";
}

std::string MyOLVController::libraryPath() const
{
    return m_supportFolder + "/" + std::string(kLibraryFileName);
}

std::string MyOLVController::backupPath() const
{
    return libraryPath() + "(backup)";
}

// ---------------------------------------------------------------------------------------
// Loading and saving

MyOLVController::LoadResult MyOLVController::loadOLVData()
{
    willReset();
    m_root.reset();
    m_loadFailed = false;
    m_draggedNodes.clear();

    Value legacy = m_prefs ? m_prefs->getPrefsForKey(kLegacyDefaultsKey) : Value();
    if (legacy.isData()) {
        const Bytes& data = legacy.toData();
        Node::setUseOldStyleCoding(true);
        std::string error;
        m_root = Node::unarchiveRoot(
            std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), error);
        Node::setUseOldStyleCoding(false);
        if (m_root) {
            m_root->setParent(nullptr);
            saveOLVData();
            m_prefs->removePrefsForKey(kLegacyDefaultsKey);
            didReset();
            return LoadResult::Migrated;
        }
        // The old value stays where it is; the current file, if any, is the library.
        logMessage("MyOLVController::loadOLVData", "old library unreadable: " + error);
    }

    const std::string path = libraryPath();
    std::error_code exists;
    if (!std::filesystem::exists(path, exists) && !exists) {
        m_root = Node::nodeWithName("Root", Node::kGroup);
        didReset();
        return LoadResult::FirstRun;
    }
    std::string error;
    std::optional<std::string> bytes = readWholeFile(path, error);
    if (bytes) {
        m_root = Node::unarchiveRoot(*bytes, error);
    }
    if (!m_root) {
        logMessage("MyOLVController::loadOLVData", error);
        m_loadFailed = true;
        // An empty tree keeps the rest of the program working until it quits; saves are
        // refused so the unreadable file and its backup stay for the user to recover.
        m_root = Node::nodeWithName("Root", Node::kGroup);
        if (m_alert) {
            m_alert(Orvanta::tr("Failed to open radio stream data"),
                    Orvanta::tr("The file \"%1\" may be corrupt.  Please remove this file, "
                                "rename the backup file, and then restart Orvanta.",
                                {path}));
        }
        didReset();
        return LoadResult::Unreadable;
    }
    m_root->setParent(nullptr);
    refreshBackup(*bytes);
    didReset();
    return LoadResult::Loaded;
}

std::string MyOLVController::dailyBackupPath(const QDate& day) const
{
    return libraryPath() + "(backup " + day.toString(Qt::ISODate).toStdString() + ")";
}

void MyOLVController::refreshBackup(const std::string& bytesRead)
{
    // The backup is the copy of the first start that read the library and is never replaced:
    // a wrong delete followed by a restart must not leave the stations nowhere. The day's
    // copy beside it keeps the last days recoverable too.
    std::error_code error;
    if (!std::filesystem::exists(backupPath(), error))
        copyLibraryTo(backupPath(), bytesRead);
    const std::string today = dailyBackupPath(QDate::currentDate());
    if (!std::filesystem::exists(today, error))
        copyLibraryTo(today, bytesRead);
    removeOldDailyBackups();
}

void MyOLVController::removeOldDailyBackups() const
{
    namespace fs = std::filesystem;
    const fs::path library(libraryPath());
    const std::string prefix = library.filename().string() + "(backup ";
    std::vector<fs::path> copies;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(library.parent_path(), error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && name.back() == ')')
            copies.push_back(entry.path());
    }
    // ISO dates sort as the days do: the newest last.
    std::sort(copies.begin(), copies.end());
    for (std::size_t i = 0; i + kDailyBackups < copies.size(); ++i)
        fs::remove(copies[i], error);
}

void MyOLVController::copyLibraryTo(const std::string& path, const std::string& bytesRead) const
{
    // The library file is only ever replaced by rename, never written in place, so a hard
    // link to the file just read stays a copy of these bytes; it saves writing a large
    // library twice at every start. Where links are not possible, the bytes are written.
    const std::string temporary = path + ".new";
    ::unlink(temporary.c_str());
    if (::link(libraryPath().c_str(), temporary.c_str()) == 0) {
        struct stat linked
        {};
        if (::stat(temporary.c_str(), &linked) == 0 &&
            static_cast<std::size_t>(linked.st_size) == bytesRead.size() &&
            ::rename(temporary.c_str(), path.c_str()) == 0) {
            ::chmod(path.c_str(), kPrivateFileMode);
            return;
        }
        ::unlink(temporary.c_str());
    }
    std::string error;
    if (!writeFileAtomically(path, bytesRead, kPrivateFileMode, error)) {
        logMessage("MyOLVController::loadOLVData", "backup not written: " + error);
    }
}

bool MyOLVController::writeLibrary(bool leaveNodesUntouched)
{
    if (!m_root) {
        return false;
    }
    if (m_loadFailed) {
        logMessage("MyOLVController::saveOLVData",
                   "not saved: the library file could not be read and is kept as it is");
        return false;
    }
    createDirectoriesAtPath(m_supportFolder, 0700);
    std::string error;
    if (!writeFileAtomically(libraryPath(), Node::archiveRoot(*m_root, leaveNodesUntouched),
                             kPrivateFileMode, error)) {
        logMessage("MyOLVController::saveOLVData", error);
        return false;
    }
    return true;
}

bool MyOLVController::saveOLVData()
{
    // A delayed save still on its way must not land after this one.
    if (m_backgroundWriter) {
        m_backgroundWriter->flush();
    }
    return writeLibrary(false);
}

void MyOLVController::libraryDidChange()
{
    if (m_savePending) {
        return; // the save already scheduled will include this change
    }
    m_savePending = true;
    std::weak_ptr<bool> alive = m_alive;
    auto task = [this, alive] {
        if (alive.lock()) {
            runDelayedSave();
        }
    };
    if (m_scheduler) {
        m_scheduler(kDelayedSaveInterval, task);
        return;
    }
    if (!m_timer) {
        m_timer = std::make_unique<QTimer>();
        m_timer->setSingleShot(true);
        QObject::connect(m_timer.get(), &QTimer::timeout, [this] { runDelayedSave(); });
    }
    m_timer->start(kDelayedSaveInterval);
}

void MyOLVController::waitForDelayedSave()
{
    if (m_backgroundWriter) {
        m_backgroundWriter->flush();
    }
}

void MyOLVController::runDelayedSave()
{
    m_savePending = false;
    if (!m_root || m_loadFailed) {
        writeLibrary(true); // says why nothing is written
        return;
    }
    // The tree is read here, on its own thread; writing and syncing the file (tens of
    // milliseconds for a large library) happen on the writer's thread, so the window
    // never waits for the disc.
    createDirectoriesAtPath(m_supportFolder, 0700);
    if (!m_backgroundWriter) {
        m_backgroundWriter = std::make_unique<BackgroundFileWriter>(
            libraryPath(), kPrivateFileMode,
            [](const std::string& error) { logMessage("MyOLVController::saveOLVData", error); });
    }
    m_backgroundWriter->write(Node::archiveRoot(*m_root, true));
}

void MyOLVController::willReset()
{
    if (m_observer) {
        m_observer->treeWillReset();
    }
}

void MyOLVController::didReset()
{
    if (m_observer) {
        m_observer->treeDidReset();
    }
}

bool MyOLVController::isInTree(const Node* node) const
{
    return node != nullptr && m_root != nullptr && node->isDescendantOfNode(m_root.get());
}

void MyOLVController::insertNode(Node* parent, std::size_t index, const NodePtr& node)
{
    if (parent->isDescendantOfNode(node.get())) {
        return; // a node cannot hold its own ancestor
    }
    if (node->parent() != nullptr) {
        moveNode(node, parent, index);
        return;
    }
    index = std::min(index, parent->childrenCount());
    TreeObserver* observer = isInTree(parent) ? m_observer : nullptr;
    if (observer) {
        observer->treeWillInsert(parent, index, index);
    }
    parent->insertChild(node, index);
    if (observer) {
        observer->treeDidInsert();
    }
}

void MyOLVController::removeNode(Node* node)
{
    Node* parent = node->parent();
    if (parent == nullptr) {
        return;
    }
    const std::size_t index = parent->indexOfChild(node);
    TreeObserver* observer = isInTree(parent) ? m_observer : nullptr;
    if (observer) {
        observer->treeWillRemove(parent, index, index);
    }
    node->removeFromParent();
    if (observer) {
        observer->treeDidRemove();
    }
}

void MyOLVController::moveNode(const NodePtr& node, Node* parent, std::size_t index)
{
    Node* from = node->parent();
    if (from == nullptr || parent->isDescendantOfNode(node.get())) {
        if (from == nullptr) {
            insertNode(parent, index, node);
        }
        return;
    }
    const std::size_t fromIndex = from->indexOfChild(node.get());
    index = std::min(index, parent->childrenCount() - (from == parent ? 1 : 0));
    if (from == parent && fromIndex == index) {
        return; // already there
    }
    // The observer counts the destination before the move: past the node's own place in
    // the same parent, one more.
    const std::size_t before = from == parent && index >= fromIndex ? index + 1 : index;
    TreeObserver* observer = isInTree(from) && isInTree(parent) ? m_observer : nullptr;
    if (observer) {
        observer->treeWillMove(from, fromIndex, parent, before);
    }
    const NodePtr held = node; // removal would free it otherwise
    held->removeFromParent();
    parent->insertChild(held, index);
    if (observer) {
        observer->treeDidMove();
    }
}

bool MyOLVController::cleanPresetsForStreams(PresetCatalog& presets)
{
    bool changed = false;
    for (Node* stream : getAllStreams()) {
        std::optional<Value> presetID = stream->propertyForKey(np::NP_PRESET_ID);
        if (presetID) {
            if (presets.presetIDExists(presetID->toString())) {
                continue;
            }
            stream->setProperty(Value(kStandardPresetID), np::NP_PRESET_ID);
            changed = true;
            continue;
        }
        Dictionary standard = presets.standardPreset();
        Dictionary own;
        bool differs = false;
        for (const auto& [key, standardValue] : standard) {
            if (key == kPresetKeyName) {
                continue;
            }
            if (std::optional<Value> value = stream->propertyForKey(key)) {
                own.set(key, *value);
                differs = differs || !sameSetting(*value, standardValue);
            }
        }
        if (!differs) {
            stream->setProperty(Value(kStandardPresetID), np::NP_PRESET_ID);
        } else {
            std::string name;
            do {
                name = Orvanta::tr("Custom %1", {std::to_string(m_customCounter++)});
            } while (presets.presetNameExists(name));
            stream->setProperty(Value(presets.addPreset(own, name)), np::NP_PRESET_ID);
        }
        changed = true;
    }
    return changed;
}

MyOLVController::LoadResult MyOLVController::startUp(PresetCatalog& presets)
{
    LoadResult result = loadOLVData();
    if (result != LoadResult::Unreadable && cleanPresetsForStreams(presets)) {
        saveOLVData();
    }
    return result;
}

void MyOLVController::cleanup(const std::vector<Node*>& expandedGroups)
{
    markAllExpandedGroups(expandedGroups);
    saveOLVData();
}

void MyOLVController::markAllExpandedGroups(const std::vector<Node*>& expandedGroups)
{
    for (Node* group : expandedGroups) {
        if (group->nodeType() == Node::kGroup) {
            group->setProperty(Value(true), np::NP_OUTLINEVIEW_GROUP_EXPAND);
        }
    }
}

std::vector<Node*> MyOLVController::expandAllMarkedGroups()
{
    std::vector<Node*> marked;
    for (Node* group : getAllGroups()) {
        std::optional<Value> mark = group->propertyForKey(np::NP_OUTLINEVIEW_GROUP_EXPAND);
        if (mark && mark->toBool()) {
            group->setProperty(Value(false), np::NP_OUTLINEVIEW_GROUP_EXPAND);
            marked.push_back(group);
        }
    }
    return marked;
}

// ---------------------------------------------------------------------------------------
// Queries

std::vector<Node*> MyOLVController::getAllStreams() const
{
    std::vector<Node*> streams;
    Node::getAllChildrenOfNode(m_root.get(), Node::kStream, streams);
    return streams;
}

std::vector<Node*> MyOLVController::getAllGroups() const
{
    std::vector<Node*> groups;
    Node::getAllChildrenOfNode(m_root.get(), Node::kGroup, groups);
    return groups;
}

std::vector<Node*> MyOLVController::getAllSelectedStreams(const std::vector<Node*>& selection) const
{
    std::vector<Node*> streams;
    auto addOnce = [&streams](Node* node) {
        if (std::find(streams.begin(), streams.end(), node) == streams.end()) {
            streams.push_back(node);
        }
    };
    for (Node* node : selection) {
        if (node->nodeType() == Node::kStream) {
            addOnce(node);
        } else if (node->nodeType() == Node::kGroup) {
            std::vector<Node*> below;
            Node::getAllChildrenOfNode(node, Node::kStream, below);
            std::for_each(below.begin(), below.end(), addOnce);
        }
    }
    return streams;
}

} // namespace orvanta
