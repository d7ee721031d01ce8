#include "PrefsController.h"

#include "AtomicFile.h"
#include "FileManagerExtensions.h"
#include "Localization.h"
#include "Log.h"
#include "PrefsKeys.h"
#include "PropertyList.h"
#include "Version.h"

#include <cstdlib>
#include <ctime>

#include <sys/stat.h>

#include <QStandardPaths>

namespace orvanta {

PrefsController& PrefsController::sharedInstance()
{
    static PrefsController instance(defaultStorePath());
    return instance;
}

PrefsController::PrefsController(std::string storePath, std::string bundleVersion)
    : m_storePath(std::move(storePath)), m_bundleVersion(std::move(bundleVersion)),
      m_registered(registeredDefaults())
{
    load();
}

PrefsController::~PrefsController()
{
    {
        std::lock_guard lock(m_pendingMutex);
        m_stopping = true;
    }
    m_pendingChanged.notify_all();
    if (m_writer.joinable())
        m_writer.join();
    flush();
}

std::string PrefsController::defaultStorePath()
{
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        config = xdg;
    else
        config = std::string(std::getenv("HOME") ? std::getenv("HOME") : "") + "/.config";
    return config + "/Orvanta/Orvanta.plist";
}

std::string PrefsController::defaultBundleVersion()
{
    return orvanta::kBundleVersion;
}

Dictionary PrefsController::registeredDefaults()
{
    using namespace prefs;
    Dictionary d;
    d.set(prefs::kBundleVersion, defaultBundleVersion());
    d.set(kDownloadPath, userMusicFolder());
    d.set(kProxyHost, Orvanta::tr("No proxy set"));
    d.set(kProxyPort, 8888);
    d.set(kUseProxy, false);
    d.set(kUseAqua, false);
    d.set(kIgnoreFileSize, false);
    d.set(kIgnoreFileSizeKB, 100);
    d.set(kRelayPort, 50505);
    d.set(kSearchPorts, true);
    d.set(kDiskSpaceSafety, true);
    d.set(kReplaceStreamName, false);
    d.set(kUseID3v1, false);
    d.set(kLowSpeedDisconnect, true);
    d.set(kLowSpeedLimitSeconds, 10);
    d.set(kAutoReconnect, true);
    d.set(kPlaylistDeleteSource, false);
    d.set(kAutoReconnectWaitSeconds, 2);
    d.set(kIgnoreDuplicateRecordings, false);
    d.set(kMilitaryTimeInFilenames, false);
    d.set(kDirLayout, 26);
    d.set(kScheduledDirLayout, 38);
    d.set(kWakeFromSleep, true);
    d.set(kWakeFromSleepWarnIfQuitting, true);
    d.set(kListenWithApplication, 0);
    d.set(kStationDirectory, std::string());
    d.set(kJournalDays, 3);
    d.set(kJournalBudgetMB, 2048);
    d.set(kListenBufferMinutes, 10);
    d.set(kKeepRecordingInTray, false);
    return d;
}

void PrefsController::load()
{
    struct stat st
    {};
    if (::stat(m_storePath.c_str(), &st) != 0)
        return; // a fresh user: nothing stored yet
    std::string error;
    auto stored = readPropertyListFile(m_storePath, error);
    if (stored && !stored->isDictionary())
        error = m_storePath + ": holds a " + Value::typeName(stored->type()) +
                " where a dictionary was expected";
    if (stored && stored->isDictionary()) {
        m_values = stored->toDictionary();
        return;
    }
    // Keep the damaged file for the user to inspect; the next save writes a fresh one.
    const auto aside = moveFileAside(m_storePath, damagedFileSuffix());
    logMessage("PrefsController::load",
               "Preferences could not be read (" + error + "); starting from the initial values" +
                   (aside ? ", damaged file kept as " + *aside : ", damaged file left in place"));
}

bool PrefsController::save(const char* operation)
{
    std::lock_guard saveLock(m_saveMutex);
    Value snapshot;
    {
        // Taken with the dirty mark cleared under the same lock: a change made after the
        // snapshot marks the store dirty again and is written next time.
        std::lock_guard pending(m_pendingMutex);
        std::lock_guard lock(m_mutex);
        snapshot = Value(m_values).deepCopy();
        m_dirty = false;
        ++m_saveCount;
    }
    const std::string folder = m_storePath.substr(0, m_storePath.rfind('/'));
    std::string error;
    if (!createDirectoriesAtPath(folder, 0700)) {
        logMessage(operation, "Could not create the preferences folder " + folder);
        return false;
    }
    if (!writePropertyListFile(m_storePath, snapshot, error, 0600)) {
        logMessage(operation, "Could not save the preferences: " + error);
        return false;
    }
    return true;
}

void PrefsController::scheduleSave()
{
    {
        std::lock_guard lock(m_pendingMutex);
        m_dirty = true;
        if (!m_writer.joinable() && !m_stopping)
            m_writer = std::thread([this] { runDelayedSaves(); });
    }
    m_pendingChanged.notify_all();
}

void PrefsController::runDelayedSaves()
{
    std::unique_lock lock(m_pendingMutex);
    for (;;) {
        m_pendingChanged.wait(lock, [this] { return m_dirty || m_stopping; });
        if (m_stopping)
            return; // the destructor writes what is left
        // Changes made meanwhile go into the same write.
        if (m_pendingChanged.wait_for(lock, kSaveDelay, [this] { return m_stopping; }))
            return;
        lock.unlock();
        save("PrefsController::setPrefs");
        lock.lock();
    }
}

bool PrefsController::flush()
{
    {
        std::lock_guard lock(m_pendingMutex);
        if (!m_dirty)
            return true;
    }
    return save("PrefsController::flush");
}

std::uint64_t PrefsController::saveCount() const
{
    std::lock_guard lock(m_pendingMutex);
    return m_saveCount;
}

Value PrefsController::getPrefsForKey(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    if (const Value* v = m_values.find(key))
        return v->deepCopy();
    return m_registered.get(key).deepCopy();
}

void PrefsController::setPrefs(const Value& value, std::string_view key)
{
    if (value.isNull()) {
        // Storing nothing is a removal; a property list cannot hold the null marker.
        removePrefsForKey(key);
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_values.set(key, value.deepCopy());
    }
    scheduleSave();
}

void PrefsController::removePrefsForKey(std::string_view key)
{
    bool removed;
    {
        std::lock_guard lock(m_mutex);
        removed = m_values.remove(key);
    }
    if (removed)
        scheduleSave();
}

void PrefsController::cleanup()
{
    {
        std::lock_guard lock(m_mutex);
        m_values.set(prefs::kBundleVersion, m_bundleVersion);
        m_values.remove(prefs::kRadioStreams);
        m_values.remove(prefs::kRadioStreamsPath);
    }
    save("PrefsController::cleanup");
}

Dictionary PrefsController::userValues() const
{
    std::lock_guard lock(m_mutex);
    return Value(m_values).deepCopy().toDictionary();
}

} // namespace orvanta
