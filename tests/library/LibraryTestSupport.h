#pragma once

// Shared fixtures for the library controller's tests: a temporary support folder, a
// preferences store in it, a fake preset store and a manual save scheduler.

#include "MyOLVController.h"
#include "PrefsController.h"
#include "PresetCatalog.h"
#include "TempDir.h"

#include <map>

namespace orvanta::test {

class FakePresets : public PresetCatalog
{
public:
    std::map<std::string, std::string> namesByID{{"Standard", "Standard"}};
    std::vector<std::pair<std::string, Dictionary>> added;

    bool presetIDExists(const std::string& id) const override { return namesByID.contains(id); }
    bool presetNameExists(const std::string& name) const override
    {
        for (const auto& [id, existing] : namesByID) {
            if (existing == name) {
                return true;
            }
        }
        return false;
    }
    std::string addPreset(const Dictionary& preset, const std::string& name) override
    {
        std::string id = "id-" + std::to_string(added.size() + 1);
        namesByID[id] = name;
        added.emplace_back(name, preset);
        return id;
    }
    Dictionary standardPreset() const override
    {
        return Dictionary{{"PRESET_KEY_NAME", "Standard"},
                          {"NP_REWINDSECS", 0},
                          {"NP_SPLITSIZEMB", 0},
                          {"NP_ALWAYSMANUAL", false}};
    }
};

// Writes a tree in the standard node layout with every key, as older versions saved it.
class UnfilteredRecord : public Archivable
{
public:
    UnfilteredRecord(const Node* node, UnfilteredRecord* parent) : m_node(node), m_parent(parent)
    {
        for (const NodePtr& child : node->children()) {
            m_children.push_back(std::make_unique<UnfilteredRecord>(child.get(), this));
        }
    }
    std::string archiveClassName() const override { return Node::kClassName; }
    void encodeWithCoder(ArchiveWriter& writer) override
    {
        std::vector<Archivable*> children;
        for (const auto& child : m_children) {
            children.push_back(child.get());
        }
        writer.encodeObjectList(children);
        writer.encodeObject(m_parent);
        writer.encodeValue(m_node->properties());
    }
    void initWithCoder(ArchiveReader&) override {}

    static std::string archive(const Node& root)
    {
        UnfilteredRecord record(&root, nullptr);
        ArchiveWriter writer;
        writer.encodeObject(&record);
        return writer.bytes();
    }

private:
    const Node* m_node;
    UnfilteredRecord* m_parent;
    std::vector<std::unique_ptr<UnfilteredRecord>> m_children;
};

struct LibraryFixture
{
    TempDir dir;
    PrefsController prefs{dir.file("prefs.plist")};
    std::vector<std::function<void()>> scheduled;
    std::vector<std::pair<std::string, std::string>> alerts;
    std::unique_ptr<MyOLVController> controller = make();

    std::unique_ptr<MyOLVController> make()
    {
        auto made = std::make_unique<MyOLVController>(&prefs, dir.file("support"));
        made->setSaveScheduler([this](std::chrono::milliseconds, std::function<void()> task) {
            scheduled.push_back(std::move(task));
        });
        made->setAlertHandler([this](const std::string& title, const std::string& text) {
            alerts.emplace_back(title, text);
        });
        return made;
    }
    void runScheduled()
    {
        auto tasks = std::move(scheduled);
        scheduled.clear();
        for (auto& task : tasks) {
            task();
        }
        if (controller) {
            controller->waitForDelayedSave(); // the file is written on a thread of its own
        }
    }
};

} // namespace orvanta::test
