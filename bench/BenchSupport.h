#pragma once

// What the recording benchmarks share: the recorder's preferences, its resident memory, and
// the demo station run as a process of its own (so that only the recorder is measured).

#include "PreferencesReader.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>

extern char** environ;

namespace orvanta::bench {

struct Prefs : PreferencesReader
{
    Dictionary values;
    Value getPrefsForKey(std::string_view key) const override { return values.get(key); }
};

inline double residentMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

/// The station program with its arguments; its process id, or 0 when it could not start.
/// The station's messages go to stderrPath when one is given.
inline pid_t spawnStation(const std::string& program, std::vector<std::string> arguments,
                          const std::string& stderrPath = {})
{
    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (!stderrPath.empty())
        ::posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int failed =
        ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        std::perror("posix_spawn");
        return 0;
    }
    return pid;
}

} // namespace orvanta::bench
