#pragma once

// Reads and writes the presets file, RecordingStylePresets.plist in the application's
// support folder: an XML property list mapping identifier to preset, without "Standard".
// Builds the standard preset.
//
// A file that exists but cannot be read is never replaced: it stays as it is until the
// next save, which first moves it aside ("<file>.damaged-<time>") and then writes anew;
// when it cannot be moved aside nothing is written.
//
// Ownership: owned (shared) by the presets controller. Thread: main thread only.

#include "PresetsController.h"
#include "Value.h"

#include <string>

namespace orvanta {

class MyPresetsDataSource : public PresetsDataSource
{
public:
    inline static const char* const kPresetsFileName = "RecordingStylePresets.plist";

    /// On the user's application-support folder "Orvanta".
    MyPresetsDataSource();
    /// On the given folder (tests); an empty folder means there is none.
    explicit MyPresetsDataSource(std::string supportFolder);

    void loadPresets(PresetsController& controller, Dictionary& presets) override;
    bool savePresets(PresetsController& controller, const Dictionary& presets) override;
    Dictionary standardPreset() const override { return makeStandardPreset(); }

    /// The built-in preset with every key and its standard value, a fresh dictionary.
    static Dictionary makeStandardPreset();
    /// The user's application-support folder "Orvanta"; empty when there is no home.
    static std::string defaultSupportFolder();

    /// The presets file; empty when there is no support folder.
    const std::string& presetsPath() const { return m_path; }

private:
    bool readPresetsFile(Dictionary& stored);

    std::string m_folder;
    std::string m_path;
    bool m_unreadableFileInPlace = false;
};

} // namespace orvanta
