// Load and save of a large station library: 10,000 stations with 100 history entries each.
// Prints the time of each step and the library file's size.
//
// library_bench [STATIONS] [ENTRIES_PER_STATION]

#include "MyOLVController.h"
#include "NodePropertyKeys.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

using namespace orvanta;

namespace {

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Dictionary historyEntry(int station, int entry)
{
    std::string title = "Artist " + std::to_string(entry % 97) + " - Title " +
                        std::to_string(station * 100 + entry);
    return Dictionary{
        {fileinfo::kCompleteBaseDir, "/home/user/Music/Orvanta/Station " + std::to_string(station)},
        {fileinfo::kFilename, title + ".mp3"},
        {fileinfo::kStreamTitle, title},
        {fileinfo::kLocation,
         "/home/user/Music/Orvanta/Station " + std::to_string(station) + "/" + title + ".mp3"},
        {fileinfo::kDateCompleted, Date{1.7e9 + station * 1000.0 + entry}},
        {fileinfo::kDuplicate, false},
    };
}

} // namespace

int main(int argc, char** argv)
{
    const int stations = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int entries = argc > 2 ? std::atoi(argv[2]) : 100;
    std::string folder = (std::filesystem::temp_directory_path() /
                          ("orvanta-library-bench-" + std::to_string(::getpid())))
                             .string();

    {
        MyOLVController writer(nullptr, folder);
        writer.loadOLVData();
        Node* root = writer.rootNode();
        for (int g = 0; g < stations / 100; ++g) {
            NodePtr group = Node::nodeWithName("Group " + std::to_string(g), Node::kGroup);
            root->addChild(group);
            for (int s = 0; s < 100; ++s) {
                int index = g * 100 + s;
                NodePtr station = Node::nodeWithName(
                    "Station " + std::to_string(index),
                    "http://radio" + std::to_string(index) + ".example/stream", Node::kStream);
                Array history;
                for (int e = 0; e < entries; ++e) {
                    history.append(historyEntry(index, e));
                }
                station->setProperty(Value(history), np::NP_HISTORY);
                station->setProperty(Value(128), np::NP_BITRATE);
                group->addChild(station);
            }
        }
        auto start = std::chrono::steady_clock::now();
        bool saved = writer.saveOLVData();
        std::printf("save: %.3f s (%d stations, %d history entries)%s\n", secondsSince(start),
                    stations, stations * entries, saved ? "" : " FAILED");
    }
    std::uintmax_t size = std::filesystem::file_size(folder + "/radiostreams.data");
    std::printf("file size: %.1f MB (%ju bytes)\n", static_cast<double>(size) / 1e6, size);

    MyOLVController reader(nullptr, folder);
    auto start = std::chrono::steady_clock::now();
    auto result = reader.loadOLVData();
    double loadSeconds = secondsSince(start);
    std::printf("load: %.3f s (backup copy included), %zu stations%s\n", loadSeconds,
                reader.getAllStreams().size(),
                result == MyOLVController::LoadResult::Loaded ? "" : " FAILED");

    // The codec alone, without the disc.
    start = std::chrono::steady_clock::now();
    std::string bytes = Node::archiveRoot(*reader.rootNode(), true);
    std::printf("encode only: %.3f s\n", secondsSince(start));
    start = std::chrono::steady_clock::now();
    std::string error;
    NodePtr decoded = Node::unarchiveRoot(bytes, error);
    std::printf("decode only: %.3f s%s\n", secondsSince(start), decoded ? "" : " FAILED");
    decoded.reset();

    start = std::chrono::steady_clock::now();
    reader.saveOLVData();
    std::printf("save after load: %.3f s\n", secondsSince(start));
    std::filesystem::remove_all(folder);
    return result == MyOLVController::LoadResult::Loaded ? 0 : 1;
}
