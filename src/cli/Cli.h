#pragma once

// Shared pieces of orvanta-cli: exit codes, the two kinds of failure, argument helpers,
// value parsing and printing, and the station library as the commands use it.

#include "MyOLVController.h"
#include "Value.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta {
class PresetsController;
}

namespace orvanta::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

/// The command line was malformed: exit 2 with the usage text.
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// The command was well formed but could not be carried out: exit 1 with the message.
class Failure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

using Args = std::vector<std::string>;

/// Removes "--name VALUE" from args and returns VALUE; a missing VALUE is a usage error.
std::optional<std::string> takeOption(Args& args, std::string_view name);
/// Removes "--name" from args and tells whether it was there.
bool takeFlag(Args& args, std::string_view name);
/// Any argument still starting with "--" is an unknown option.
void rejectUnknownOptions(const Args& args);

/// The value as a person reads it; strings are quoted when quoteStrings is set.
std::string describe(const Value& value, bool quoteStrings = true);
/// text read as a value of the given type; nothing when it does not have that form or the
/// type cannot be written from a command line.
std::optional<Value> parseValueAs(const std::string& text, Value::Type type);
/// text read by its form: true/false, an integer, a real, otherwise a string.
Value parseValueByForm(const std::string& text);

/// The station library of the user, loaded; a file that cannot be read is a Failure with
/// the controller's alert text (and the file is left as it is).
class Library
{
public:
    Library();

    MyOLVController& controller() { return *m_controller; }
    Node* root() const { return m_controller->rootNode(); }
    /// The node at "Group/Sub/Name", or a Failure naming the part that was not found.
    Node* find(const std::string& path) const;
    /// The group at path; an empty path is the root.
    Node* findGroup(const std::string& path) const;
    /// Writes the library atomically, or a Failure.
    void save();

private:
    std::unique_ptr<MyOLVController> m_controller;
};

/// The node at "Group/Sub/Name" below root, or a Failure naming the part not found.
Node* findNode(Node* root, const std::string& path);

/// Loads the user's presets into presets; its saves report failures as a Failure.
void attachPresetStore(PresetsController& presets);
/// The identifier of the preset with that identifier or name, or a Failure.
std::string presetIDForName(const PresetsController& presets, const std::string& nameOrID);

int runStations(Args args);
int runAddStream(Args args);
int runAddGroup(Args args);
int runRemove(Args args);
int runHistory(Args args);
int runForgetOffsets(Args args);
int runCuts(Args args);
int runRecut(Args args);
int runDefaults(Args args);
int runPaths(Args args);
int runPresets(Args args);
int runPreset(Args args);
int runPresetAdd(Args args);
int runPresetRename(Args args);
int runPresetDelete(Args args);
int runSchedule(Args args);
int runNext(Args args);
int runRecord(Args args);
int runRun(Args args);
int runSearch(Args args);
int runAddFromDirectory(Args args);

} // namespace orvanta::cli
