#pragma once

// The application preferences: every registered key with its initial value, and the
// user's own values kept as an XML property list in $XDG_CONFIG_HOME/Orvanta/.
//
// A read returns the user's value, or the initial value when the user has none; removing
// a key brings the initial value back. Every change is written to disc at once, atomically.
// A file that cannot be read is moved aside (never overwritten) and the store starts from
// the initial values.
//
// Thread-safe: recording threads read while the main thread writes. Containers are
// handed out and taken in as deep copies, so no caller shares state with the store.

#include "PreferencesReader.h"
#include "Value.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace orvanta {

class PrefsController : public PreferencesReader
{
public:
    /// The process-wide store on the user's preferences file, created on first use.
    static PrefsController& sharedInstance();

    /// A store on the given file; bundleVersion is what cleanup() records.
    explicit PrefsController(std::string storePath,
                             std::string bundleVersion = defaultBundleVersion());

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

    /// At quit: record the running version and drop the settings of older versions.
    void cleanup();

    /// The user's own values (without initial values), as stored.
    Dictionary userValues() const;

    const std::string& storePath() const { return m_storePath; }

private:
    void load();
    void save(const char* operation);

    const std::string m_storePath;
    const std::string m_bundleVersion;
    const Dictionary m_registered;

    mutable std::mutex m_mutex; // guards m_values
    Dictionary m_values;
    std::mutex m_saveMutex; // one writer of the file at a time
};

} // namespace orvanta
