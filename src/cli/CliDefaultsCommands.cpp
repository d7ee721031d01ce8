// orvanta-cli defaults: reads and writes the preferences with their types; paths: where
// everything is.

#include "Cli.h"

#include "FileManagerExtensions.h"
#include "MyPresetsDataSource.h"
#include "PowerEventToolLoader.h"
#include "PrefsController.h"
#include "PrefsKeys.h"
#include "Resources.h"
#include "ScriptRunner.h"

#include <cstdio>

namespace orvanta::cli {

namespace {

int listDefaults()
{
    auto& prefs = PrefsController::sharedInstance();
    const Dictionary user = prefs.userValues();
    const Dictionary registered = PrefsController::registeredDefaults();
    std::printf("# preferences in %s\n", prefs.storePath().c_str());
    for (const auto& [key, initial] : registered) {
        std::printf("%s = %s%s\n", key.c_str(), describe(prefs.getPrefsForKey(key)).c_str(),
                    user.contains(key) ? "" : "  (initial)");
    }
    for (const auto& [key, value] : user) {
        if (!registered.contains(key)) {
            std::printf("%s = %s\n", key.c_str(), describe(value).c_str());
        }
    }
    return kExitOk;
}

int readDefault(const std::string& key)
{
    const Value value = PrefsController::sharedInstance().getPrefsForKey(key);
    if (value.isNull()) {
        throw Failure("no preference \"" + key + "\"");
    }
    std::printf("%s\n", describe(value, false).c_str());
    return kExitOk;
}

int writeDefault(const std::string& key, const std::string& text)
{
    const Dictionary registered = PrefsController::registeredDefaults(); // outlives `initial`
    const Value* initial = registered.find(key);
    Value value;
    if (initial != nullptr) {
        auto parsed = parseValueAs(text, initial->type());
        if (!parsed) {
            throw Failure("\"" + text + "\" is not a valid " + Value::typeName(initial->type()) +
                          " for preference \"" + key + "\"");
        }
        value = *parsed;
    } else {
        value = parseValueByForm(text);
    }
    PrefsController& prefs = PrefsController::sharedInstance();
    prefs.setPrefs(value, key);
    if (!prefs.flush())
        throw Failure("could not save the preferences to " + prefs.storePath());
    return kExitOk;
}

} // namespace

int runDefaults(Args args)
{
    if (!args.empty() && args[0] == "--delete") {
        if (args.size() != 2) {
            throw UsageError("defaults --delete needs exactly one key");
        }
        PrefsController& prefs = PrefsController::sharedInstance();
        prefs.removePrefsForKey(args[1]);
        if (!prefs.flush())
            throw Failure("could not save the preferences to " + prefs.storePath());
        return kExitOk;
    }
    rejectUnknownOptions(args);
    switch (args.size()) {
    case 0:
        return listDefaults();
    case 1:
        return readDefault(args[0]);
    case 2:
        return writeDefault(args[0], args[1]);
    default:
        throw UsageError("defaults takes at most a key and a value");
    }
}

int runPaths(Args args)
{
    rejectUnknownOptions(args);
    if (!args.empty())
        throw UsageError("paths takes no arguments");
    auto& prefs = PrefsController::sharedInstance();
    const std::string support = MyOLVController::defaultSupportFolder();
    const auto ownScripts = ScriptRunner::defaultUserFolder();
    const auto wakeHelper = PowerEventToolLoader(PowerToolPlaces::standard(), {}).validHelperTool();
    const std::pair<const char*, std::string> rows[] = {
        {"library", support + "/" + std::string(MyOLVController::kLibraryFileName)},
        {"presets", support + "/" + MyPresetsDataSource::kPresetsFileName},
        {"preferences", prefs.storePath()},
        {"recordings", prefs.stringForKey(prefs::kDownloadPath)},
        {"music", userMusicFolder()},
        {"resources", resourcesFolder()},
        {"scripts", ScriptRunner::defaultShippedFolder()},
        {"own scripts", ownScripts.value_or("")},
        {"wake helper", wakeHelper.value_or("(not set up)")},
    };
    for (const auto& [name, path] : rows)
        std::printf("%-12s %s\n", name, path.c_str());
    return kExitOk;
}

} // namespace orvanta::cli
