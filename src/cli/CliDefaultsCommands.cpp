// orvanta-cli defaults: reads and writes the preferences with their types; paths: where
// everything is.

#include "Cli.h"

#include "FileManagerExtensions.h"
#include "Localization.h"
#include "MyPresetsDataSource.h"
#include "PowerEventToolLoader.h"
#include "PrefsController.h"
#include "PrefsKeys.h"
#include "Resources.h"
#include "ScriptRunner.h"

#include <QString>

#include <algorithm>
#include <cstdio>

namespace orvanta::cli {

namespace {

int listDefaults()
{
    auto& prefs = PrefsController::sharedInstance();
    const Dictionary user = prefs.userValues();
    const Dictionary registered = PrefsController::registeredDefaults();
    // The lines themselves are "KEY = VALUE" in every language; only the heading after "#"
    // and the note on values never set are translated.
    std::printf("# %s\n", Orvanta::tr("preferences in %1", {prefs.storePath()}).c_str());
    //: After the value of a preference that was never set.
    const std::string initialNote = "  " + Orvanta::tr("(initial)");
    for (const auto& [key, initial] : registered) {
        std::printf("%s = %s%s\n", key.c_str(), describe(prefs.getPrefsForKey(key)).c_str(),
                    user.contains(key) ? "" : initialNote.c_str());
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
        throw Failure(Orvanta::tr("no preference \"%1\"", {key}));
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
            throw Failure(Orvanta::tr("\"%1\" is not a valid %2 for preference \"%3\"",
                                      {text, Value::typeName(initial->type()), key}));
        }
        value = *parsed;
    } else {
        value = parseValueByForm(text);
    }
    PrefsController& prefs = PrefsController::sharedInstance();
    prefs.setPrefs(value, key);
    if (!prefs.flush())
        throw Failure(Orvanta::tr("could not save the preferences to %1", {prefs.storePath()}));
    return kExitOk;
}

} // namespace

int runDefaults(Args args)
{
    if (!args.empty() && args[0] == "--delete") {
        if (args.size() != 2) {
            throw UsageError(Orvanta::tr("defaults --delete needs exactly one key"));
        }
        PrefsController& prefs = PrefsController::sharedInstance();
        prefs.removePrefsForKey(args[1]);
        if (!prefs.flush())
            throw Failure(Orvanta::tr("could not save the preferences to %1", {prefs.storePath()}));
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
        throw UsageError(Orvanta::tr("defaults takes at most a key and a value"));
    }
}

int runPaths(Args args)
{
    rejectUnknownOptions(args);
    if (!args.empty())
        throw UsageError(Orvanta::tr("%1 takes no arguments", {"paths"}));
    auto& prefs = PrefsController::sharedInstance();
    const std::string support = MyOLVController::defaultSupportFolder();
    const auto ownScripts = ScriptRunner::defaultUserFolder();
    const auto wakeHelper = PowerEventToolLoader(PowerToolPlaces::standard(), {}).validHelperTool();
    const std::pair<const char*, std::string> rows[] = {
        {QT_TRANSLATE_NOOP("Orvanta", "library"),
         support + "/" + std::string(MyOLVController::kLibraryFileName)},
        {QT_TRANSLATE_NOOP("Orvanta", "presets"),
         support + "/" + MyPresetsDataSource::kPresetsFileName},
        {QT_TRANSLATE_NOOP("Orvanta", "preferences"), prefs.storePath()},
        {QT_TRANSLATE_NOOP("Orvanta", "recordings"), prefs.stringForKey(prefs::kDownloadPath)},
        {QT_TRANSLATE_NOOP("Orvanta", "music"), userMusicFolder()},
        {QT_TRANSLATE_NOOP("Orvanta", "resources"), resourcesFolder()},
        {QT_TRANSLATE_NOOP("Orvanta", "scripts"), ScriptRunner::defaultShippedFolder()},
        {QT_TRANSLATE_NOOP("Orvanta", "own scripts"), ownScripts.value_or("")},
        {QT_TRANSLATE_NOOP("Orvanta", "wake helper"),
         wakeHelper ? *wakeHelper : Orvanta::tr("(not set up)")},
    };
    // The names are padded to a common width in characters (a translation may be longer, or
    // not plain ASCII).
    std::vector<QString> names;
    qsizetype width = 12;
    for (const auto& row : rows) {
        names.push_back(QString::fromStdString(localizedString(row.first)));
        width = std::max(width, names.back().size());
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        std::printf("%s %s\n", names[i].leftJustified(width).toStdString().c_str(),
                    rows[i].second.c_str());
    return kExitOk;
}

} // namespace orvanta::cli
