// The station library file as a crash, a full disc or an old version may leave it: it is
// read, or refused with the file left as it is.

#include "FuzzCheck.h"
#include "FuzzScratch.h"
#include "MyOLVController.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const orvanta::fuzz::Scratch scratch("library");
    const std::string& folder = scratch.path();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string library =
        folder + "/" + std::string(orvanta::MyOLVController::kLibraryFileName);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream file(library, std::ios::binary | std::ios::trunc);
        file << bytes;
    }
    orvanta::MyOLVController controller(nullptr, folder);
    if (controller.loadOLVData() == orvanta::MyOLVController::LoadResult::Unreadable) {
        std::ifstream file(library, std::ios::binary);
        const std::string kept((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
        FUZZ_CHECK(kept == bytes); // an unreadable library is never replaced
        return 0;
    }
    for (orvanta::Node* stream : controller.getAllStreams())
        FUZZ_CHECK(stream != nullptr);
    return 0;
}
