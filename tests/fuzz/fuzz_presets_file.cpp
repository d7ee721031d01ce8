// A presets file as a damaged disc or an old version may leave it: it is read into the
// store or set aside, never half-taken.

#include "FuzzCheck.h"
#include "MyPresetsDataSource.h"
#include "PresetsController.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // One folder per process, in memory when the system has it, removed at exit.
    static const struct Folder
    {
        Folder()
            : path(((std::filesystem::is_directory("/dev/shm")
                         ? std::filesystem::path("/dev/shm")
                         : std::filesystem::temp_directory_path()) /
                    ("orvanta-fuzz-presets-" + std::to_string(::getpid())))
                       .string())
        {
            std::filesystem::create_directories(path);
        }
        ~Folder() { std::filesystem::remove_all(path); }
        std::string path;
    } scratch;
    const std::string& folder = scratch.path;
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
