#include "MyPresetsDataSource.h"

#include "AtomicFile.h"
#include "FileManagerExtensions.h"
#include "Localization.h"
#include "Log.h"
#include "PropertyList.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include <sys/stat.h>

namespace orvanta {

namespace {

bool pathExists(const std::string& path)
{
    struct stat st
    {};
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

MyPresetsDataSource::MyPresetsDataSource() : MyPresetsDataSource(defaultSupportFolder()) {}

MyPresetsDataSource::MyPresetsDataSource(std::string supportFolder)
    : m_folder(std::move(supportFolder))
{
    if (!m_folder.empty())
        m_path = std::filesystem::path(m_folder + "/" + kPresetsFileName).lexically_normal();
}

std::string MyPresetsDataSource::defaultSupportFolder()
{
    const auto support = findSystemFolderType(kApplicationSupportFolderType, FolderDomain::User);
    return support ? *support + "/Orvanta" : std::string();
}

Dictionary MyPresetsDataSource::makeStandardPreset()
{
    using namespace presetkeys;
    Dictionary d;
    d.set(PRESET_KEY_NAME, Orvanta::tr("Standard"));
    d.set(NP_REWINDSECS, 0.0);
    d.set(SPLIT_EARLIER_OR_LATER, 0);
    d.set(NP_SPLIT_SEARCH_SECONDS, 8.0);
    d.set(NP_ALWAYSMANUAL, false);
    d.set(NP_MANUALSPLITTYPE, 1);
    d.set(NP_SPLITSIZEMB, 5);
    d.set(NP_SPLITTIMEMINS, 74);
    // Orvanta finds each title's encoding (0); a stored standard preset keeps the one it names.
    d.set(NP_LANGUAGE_ENCODING, 0u);
    d.set(NP_STREAMTITLE_PATTERN, 2);
    d.set(NP_STREAMTITLE_SEPARATOR, "-");
    d.set(NP_STREAMTITLE_CLEAN, false);
    d.set(NP_STREAMTITLE_CLEAN_LIST, Array());
    d.set(NP_STREAMTITLE_IGNORE, false);
    d.set(NP_STREAMTITLE_IGNORE_LIST, Array());
    d.set(NP_NUMBER_RECORDINGS, true);
    d.set(NUMBER_RECORDINGS_TRACK, true);
    d.set(NP_STREAM_IF_NO_ALBUM, false);
    d.set(NP_GENRE_TYPE, 0);
    d.set(NP_GENRE_CUSTOM, "");
    d.set(NP_ADD_TO_PLAYLIST, true);
    d.set(NP_PLAYLIST_NAME_TYPE, 0);
    d.set(NP_PLAYLIST_NAME_CUSTOM, "");
    d.set(NP_PLAYLIST_NAME_ADD_SCHEDULED_DETAILS, true);
    d.set(NP_COMPILATION_FLAG, false);
    return d;
}

bool MyPresetsDataSource::readPresetsFile(Dictionary& stored)
{
    static constexpr const char* kOperation = "MyPresetsDataSource::loadPresets";
    if (m_path.empty()) {
        logMessage(kOperation, "No application support folder; presets are not kept");
        return false;
    }
    if (!pathExists(m_path)) {
        // First run: an empty file marks the store as set up.
        std::string error;
        if (!createDirectoriesAtPath(m_folder)) {
            logMessage(kOperation, "Could not create the folder " + m_folder);
            return false;
        }
        if (!writePropertyListFile(m_path, Value(Dictionary()), error))
            logMessage(kOperation, "Could not create the presets file: " + error);
    }
    std::string error;
    auto value = readPropertyListFile(m_path, error);
    if (value && !value->isDictionary())
        error = m_path + ": holds a " + Value::typeName(value->type()) +
                " where a dictionary was expected";
    if (value && value->isDictionary()) {
        stored = value->toDictionary();
        return true;
    }
    // Keep what the user has: the next save moves this file aside instead of replacing it.
    m_unreadableFileInPlace = pathExists(m_path);
    logMessage(kOperation,
               "Presets could not be read (" + error + "); only the standard preset is available");
    return false;
}

void MyPresetsDataSource::loadPresets(PresetsController&, Dictionary& presets)
{
    presets.clear();
    const Dictionary standard = makeStandardPreset();
    Dictionary stored;
    if (readPresetsFile(stored)) {
        for (const auto& [identifier, preset] : stored) {
            if (!preset.isDictionary()) {
                logMessage("MyPresetsDataSource::loadPresets",
                           "Ignoring the entry \"" + identifier + "\", which is not a preset");
                continue;
            }
            // Presets written by older versions lack newer keys: the standard fills them.
            Dictionary completed = Value(standard).deepCopy().toDictionary();
            for (const auto& [key, value] : preset.toDictionary())
                completed.set(key, value);
            presets.set(identifier, completed);
        }
    }
    presets.set(presetkeys::kStandardPresetID, standard);
}

bool MyPresetsDataSource::savePresets(PresetsController&, const Dictionary& presets)
{
    static constexpr const char* kOperation = "MyPresetsDataSource::savePresets";
    if (m_path.empty())
        return false;
    if (m_unreadableFileInPlace && pathExists(m_path)) {
        const auto aside = moveFileAside(m_path, damagedFileSuffix());
        if (!aside) {
            logMessage(kOperation, "The unreadable presets file could not be moved aside (" +
                                       std::string(std::strerror(errno)) +
                                       "); presets are not saved");
            return false;
        }
        logMessage(kOperation, "Unreadable presets file kept as " + *aside);
    }
    m_unreadableFileInPlace = false;

    Dictionary toWrite;
    for (const auto& [identifier, preset] : presets)
        if (identifier != presetkeys::kStandardPresetID)
            toWrite.set(identifier, preset);
    std::string error;
    if (!createDirectoriesAtPath(m_folder)) {
        logMessage(kOperation, "Could not create the folder " + m_folder);
        return false;
    }
    if (!writePropertyListFile(m_path, Value(toWrite).deepCopy(), error)) {
        logMessage(kOperation, "Could not save the presets: " + error);
        return false;
    }
    return true;
}

} // namespace orvanta
