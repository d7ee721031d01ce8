#pragma once

// The application preferences: every registered key with its initial value, and the
// user's own values kept as an XML property list in $XDG_CONFIG_HOME/Orvanta/.
//
// A read returns the user's value, or the initial value when the user has none; removing
// a key brings the initial value back. Changes are written to disc atomically a short
// moment after they are made, so a burst of them (a preferences window, a script setting
// many keys) costs one write; flush() writes at once, and cleanup() and the destructor
// write whatever is still pending. A file that cannot be read is moved aside (never
// overwritten) and the store starts from the initial values.
//
// Thread-safe: recording threads read while the main thread writes. Containers are
// handed out and taken in as deep copies, so no caller shares state with the store. The
// delayed writes run on a thread of the store's own, joined by the destructor.

#include "PreferencesReader.h"
#include "Value.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace orvanta {

class PrefsController : public PreferencesReader
{
public:
    /// The process-wide store on the user's preferences file, created on first use.
    static PrefsController& sharedInstance();

    /// How long after a change the file is written; later changes join that write.
    static constexpr std::chrono::milliseconds kSaveDelay{300};

    /// A store on the given file; bundleVersion is what cleanup() records.
    explicit PrefsController(std::string storePath,
                             std::string bundleVersion = defaultBundleVersion());
    /// Writes what is pending.
    ~PrefsController() override;

    PrefsController(const PrefsController&) = delete;
    PrefsController& operator=(const PrefsController&) = delete;

    /// $XDG_CONFIG_HOME/Orvanta/Orvanta.plist (~/.config when the variable is unset).
    static std::string defaultStorePath();
    static std::string defaultBundleVersion();

    /// The registered keys with their initial values, in registration order.
    static Dictionary registeredDefaults();

    Value getPrefsForKey(std::string_view key) const override;
    void setPrefs(const Value& value, std::string_view key);
    void removePrefsForKey(std::string_view key);

    /// At quit: record the running version and drop the settings of older versions, then
    /// write the file at once.
    void cleanup();
    /// Writes pending changes now, on the calling thread; true when the file holds them.
    bool flush();
    /// Times the file has been written since the store was made (for tests and benchmarks).
    std::uint64_t saveCount() const;

    /// The user's own values (without initial values), as stored.
    Dictionary userValues() const;

    const std::string& storePath() const { return m_storePath; }

private:
    void load();
    bool save(const char* operation);
    /// Marks the values changed and wakes the writer thread (starting it the first time).
    void scheduleSave();
    void runDelayedSaves();

    const std::string m_storePath;
    const std::string m_bundleVersion;
    const Dictionary m_registered;

    mutable std::mutex m_mutex; // guards m_values
    Dictionary m_values;
    std::mutex m_saveMutex; // one writer of the file at a time

    mutable std::mutex m_pendingMutex; // guards the fields below
    std::condition_variable m_pendingChanged;
    bool m_dirty = false;
    bool m_stopping = false;
    std::uint64_t m_saveCount = 0;
    std::thread m_writer;
};

} // namespace orvanta
