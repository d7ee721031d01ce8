// orvanta-cli commands on the recording-style presets: presets, preset, preset-add,
// preset-rename, preset-delete.

#include "Cli.h"

#include "Localization.h"
#include "MyPresetsDataSource.h"
#include "PresetsController.h"

#include <cstdio>
#include <memory>

namespace orvanta::cli {

namespace {

/// The user's presets file; a save that writes nothing becomes a Failure.
class CheckedPresetStore : public PresetsDataSource
{
public:
    void loadPresets(PresetsController& controller, Dictionary& presets) override
    {
        m_file.loadPresets(controller, presets);
    }

    bool savePresets(PresetsController& controller, const Dictionary& presets) override
    {
        if (!m_file.savePresets(controller, presets)) {
            throw Failure(Orvanta::tr("could not write the presets to %1", {m_file.presetsPath()}));
        }
        return true;
    }

    Dictionary standardPreset() const override { return m_file.standardPreset(); }

private:
    MyPresetsDataSource m_file;
};

std::string nameOf(const PresetsController& presets, const std::string& identifier)
{
    return presets.presetNameForID(identifier).value_or(identifier);
}

/// Refuses to touch the built-in standard preset, saying refusal (a text marked for
/// translation).
void refuseStandard(const std::string& identifier, const char* refusal)
{
    if (identifier == presetkeys::kStandardPresetID) {
        throw Failure(localizedString(refusal));
    }
}

Value presetValue(const PresetsController& presets, const std::string& identifier,
                  const std::string& key)
{
    if (!presets.standardPreset().contains(key)) {
        throw Failure(Orvanta::tr("no preset key \"%1\"", {key}));
    }
    return presets.presetForID(identifier).get(key);
}

// A list key takes every remaining argument as one item ("" alone is the empty list); any
// other key exactly one value of its type. Split limits are at least 1.
Value presetValueFromArguments(const std::string& key, Value::Type type, const Args& values)
{
    if (type == Value::Type::Array) {
        Array items;
        if (!(values.size() == 1 && values[0].empty())) {
            for (const std::string& item : values)
                items.append(Value(item));
        }
        return Value(items);
    }
    if (values.size() != 1) {
        throw UsageError(Orvanta::tr("preset key \"%1\" takes one value", {key}));
    }
    const auto value = parseValueAs(values[0], type);
    if (!value) {
        throw Failure(Orvanta::tr("\"%1\" is not a valid %2 for preset key \"%3\"",
                                  {values[0], Value::typeName(type), key}));
    }
    const bool limit = key == presetkeys::NP_SPLITSIZEMB || key == presetkeys::NP_SPLITTIMEMINS;
    if (limit && value->toInteger() < 1) {
        throw Failure(Orvanta::tr("preset key \"%1\" must be at least 1", {key}));
    }
    return *value;
}

} // namespace

void attachPresetStore(PresetsController& presets)
{
    presets.setDataSource(std::make_shared<CheckedPresetStore>());
}

std::string presetIDForName(const PresetsController& presets, const std::string& nameOrID)
{
    if (presets.presetIDExists(nameOrID)) {
        return nameOrID;
    }
    for (const std::string& identifier : presets.sortedPresetIDs()) {
        if (presets.presetNameForID(identifier) == nameOrID) {
            return identifier;
        }
    }
    throw Failure(Orvanta::tr("no preset named \"%1\"", {nameOrID}));
}

int runPresets(Args args)
{
    if (!args.empty()) {
        throw UsageError(Orvanta::tr("%1 takes no arguments", {"presets"}));
    }
    PresetsController presets;
    attachPresetStore(presets);
    for (const std::string& identifier : presets.sortedPresetIDs()) {
        std::printf("%s\t%s\n", identifier.c_str(), nameOf(presets, identifier).c_str());
    }
    return kExitOk;
}

int runPreset(Args args)
{
    rejectUnknownOptions(args);
    if (args.empty()) {
        throw UsageError(
            Orvanta::tr("preset needs a name or identifier, then optionally a key and value"));
    }
    PresetsController presets;
    attachPresetStore(presets);
    const std::string identifier = presetIDForName(presets, args[0]);
    if (args.size() == 1) {
        for (const auto& [key, value] : presets.presetForID(identifier)) {
            std::printf("%s = %s\n", key.c_str(), describe(value).c_str());
        }
        return kExitOk;
    }
    const Value current = presetValue(presets, identifier, args[1]);
    if (args.size() == 2) {
        std::printf("%s\n", describe(current, false).c_str());
        return kExitOk;
    }
    refuseStandard(
        identifier,
        QT_TRANSLATE_NOOP("Orvanta", "the built-in preset \"Standard\" cannot be changed"));
    const Value::Type type = presets.standardPreset().get(args[1]).type();
    const auto value = presetValueFromArguments(args[1], type, Args(args.begin() + 2, args.end()));
    presets.selectPresetWithID(identifier);
    presets.setObject(value, args[1]);
    presets.savePreset();
    return kExitOk;
}

int runPresetAdd(Args args)
{
    const auto from = takeOption(args, "--from");
    rejectUnknownOptions(args);
    if (args.size() != 1) {
        throw UsageError(Orvanta::tr("%1 needs exactly one name", {"preset-add"}));
    }
    PresetsController presets;
    attachPresetStore(presets);
    if (args[0].empty() || presets.presetNameExists(args[0])) {
        throw Failure(Orvanta::tr("a preset named \"%1\" already exists", {args[0]}));
    }
    const Dictionary base =
        from ? presets.presetForID(presetIDForName(presets, *from)) : presets.standardPreset();
    std::printf("%s\n", presets.addPreset(base, args[0]).c_str());
    return kExitOk;
}

int runPresetRename(Args args)
{
    rejectUnknownOptions(args);
    if (args.size() != 2) {
        throw UsageError(Orvanta::tr("preset-rename needs the preset and its new name"));
    }
    PresetsController presets;
    attachPresetStore(presets);
    const std::string identifier = presetIDForName(presets, args[0]);
    refuseStandard(
        identifier,
        QT_TRANSLATE_NOOP("Orvanta", "the built-in preset \"Standard\" cannot be renamed"));
    if (args[1].empty() || presets.presetNameExists(args[1])) {
        throw Failure(Orvanta::tr("a preset named \"%1\" already exists", {args[1]}));
    }
    presets.selectPresetWithID(identifier);
    const auto sheet = presets.renamePreset();
    const NameSheetOutcome outcome = presets.closeNameInputPanel(*sheet, true, args[1]);
    if (outcome.nameTaken) {
        throw Failure(outcome.alertMessage);
    }
    return kExitOk;
}

int runPresetDelete(Args args)
{
    rejectUnknownOptions(args);
    if (args.size() != 1) {
        throw UsageError(Orvanta::tr("preset-delete needs exactly one preset"));
    }
    // The library is read first: stations that used the preset go back to "Standard".
    Library library;
    PresetsController presets;
    attachPresetStore(presets);
    const std::string identifier = presetIDForName(presets, args[0]);
    refuseStandard(
        identifier,
        QT_TRANSLATE_NOOP("Orvanta", "the built-in preset \"Standard\" cannot be deleted"));
    presets.selectPresetWithID(identifier);
    presets.deletePreset();
    if (library.controller().cleanPresetsForStreams(presets)) {
        library.save();
    }
    return kExitOk;
}

} // namespace orvanta::cli
