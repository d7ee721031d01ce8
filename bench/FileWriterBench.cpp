// Steady-state cost of writing audio into a recording file, and of the frame-run search
// that starts every file. Counts heap allocations per block: the steady state makes none.

#include "MyFileWriter.h"
#include "MyMP3Util.h"
#include "NotificationCenter.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

std::atomic<std::size_t> g_allocations{0};

std::vector<std::uint8_t> frames(std::size_t count)
{
    std::vector<std::uint8_t> out;
    std::uint8_t value = 0;
    for (std::size_t f = 0; f < count; ++f) {
        const std::uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x44};
        out.insert(out.end(), header, header + 4);
        for (int i = 4; i < 417; ++i) {
            out.push_back(value);
            value = static_cast<std::uint8_t>(value == 0xFE ? 0 : value + 1);
        }
    }
    return out;
}

std::string scratchFolder()
{
    const auto dir = std::filesystem::temp_directory_path() / "orvanta-bench-writer";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

void BM_WriterSteadyState(benchmark::State& state)
{
    const auto blockSize = static_cast<std::size_t>(state.range(0));
    orvanta::NotificationCenter center;
    orvanta::MyFileWriter writer(center);
    writer.setDiskSpaceSafety(true); // the free-space query is part of every block
    const std::string folder = scratchFolder();
    writer.addNewFileTags(orvanta::Dictionary{{"completeBaseDir", folder}, {"filename", "bench"}});
    writer.createNewFile();
    const auto audio = frames(64);
    writer.writeData(audio.data(), audio.size()); // finds the first frame run
    std::vector<std::uint8_t> block(blockSize, 0x55);

    std::size_t written = 0;
    const std::size_t before = g_allocations.load();
    for (auto _ : state) {
        benchmark::DoNotOptimize(writer.writeData(block.data(), block.size()));
        written += block.size();
        if (written > (256u << 20)) { // keep the scratch file small
            state.PauseTiming();
            writer.stopCurrentFile();
            std::filesystem::remove(writer.incompleteFilePath());
            writer.addNewFileTags(
                orvanta::Dictionary{{"completeBaseDir", folder}, {"filename", "bench"}});
            writer.createNewFile();
            writer.writeData(audio.data(), audio.size());
            written = 0;
            state.ResumeTiming();
        }
    }
    state.counters["allocs/block"] =
        benchmark::Counter(static_cast<double>(g_allocations.load() - before) /
                           static_cast<double>(state.iterations()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * blockSize));
    writer.stopCurrentFile();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_WriterSteadyState)->Arg(1024)->Arg(4096)->Arg(16384);

void BM_FrameRunSearch(benchmark::State& state)
{
    // Garbage before the frames: the search walks every byte of it.
    const auto garbage = static_cast<std::size_t>(state.range(0));
    std::vector<std::uint8_t> buffer(garbage, 0x55);
    const auto audio = frames(3);
    buffer.insert(buffer.end(), audio.begin(), audio.end());
    for (auto _ : state) {
        const auto run = orvanta::MyMP3Util::findFirstHeaderInBuffer(buffer.data(), buffer.size());
        benchmark::DoNotOptimize(run);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer.size()));
}
BENCHMARK(BM_FrameRunSearch)->Arg(0)->Arg(4096)->Arg(65536);

} // namespace

void* operator new(std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

BENCHMARK_MAIN();
