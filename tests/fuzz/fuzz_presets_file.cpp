// A presets file as a damaged disc or an old version may leave it: it is read into the
// store or set aside, never half-taken.

#include "FuzzCheck.h"
#include "FuzzScratch.h"
#include "MyPresetsDataSource.h"
#include "PresetsController.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const orvanta::fuzz::Scratch scratch("presets");
    const std::string& folder = scratch.path();
    {
        std::ofstream file(folder + "/" + orvanta::MyPresetsDataSource::kPresetsFileName,
                           std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    orvanta::MyPresetsDataSource source(folder);
    orvanta::PresetsController controller;
    orvanta::Dictionary presets;
    source.loadPresets(controller, presets);
    for (const auto& entry : presets)
        FUZZ_CHECK(entry.second.isDictionary());
    return 0;
}
