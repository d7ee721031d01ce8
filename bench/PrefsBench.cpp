// Preference writes: a burst of changes, as a preferences window or a script makes them,
// and what it costs in file writes. Prints the time per change, the writes the burst cost
// and the time until the last change is on disc.
//
// prefs_bench [CHANGES]

#include "PrefsController.h"
#include "PrefsKeys.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include <unistd.h>

using namespace orvanta;

int main(int argc, char** argv)
{
    const int changes = argc > 1 ? std::atoi(argv[1]) : 1000;
    const auto folder = std::filesystem::temp_directory_path() /
                        ("orvanta-prefs-bench-" + std::to_string(::getpid()));
    const std::string path = (folder / "Orvanta.plist").string();
    using Clock = std::chrono::steady_clock;
    {
        PrefsController prefs(path);
        const auto start = Clock::now();
        for (int i = 0; i < changes; ++i)
            prefs.setPrefs(i, prefs::kLowSpeedLimitSeconds);
        const double burst = std::chrono::duration<double>(Clock::now() - start).count();
        // The delayed write puts the last value on disc by itself.
        while (PrefsController(path).integerForKey(prefs::kLowSpeedLimitSeconds) != changes - 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const double onDisc = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("%d changes: %.2f us per change, %llu file writes, last change on disc "
                    "after %.0f ms\n",
                    changes, burst * 1e6 / changes,
                    static_cast<unsigned long long>(prefs.saveCount()), onDisc * 1000);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
