#pragma once

// A sound server of the test's own: PulseAudio with one null sink, on a socket in a folder
// of its own, so that the built-in player really plays (and the test hears nothing).

#include "EventLoopWait.h"
#include "TempDir.h"

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orvanta::test {

class NullSoundServer
{
public:
    explicit NullSoundServer(const TempDir& dir) : m_socket(dir.file("pulse/native"))
    {
        std::filesystem::create_directories(dir.file("pulse/run"));
        writeFile(dir.file("pulse/null.pa"),
                  "load-module module-null-sink sink_name=orvanta_null\n"
                  "set-default-sink orvanta_null\n"
                  "load-module module-native-protocol-unix auth-anonymous=1 socket=" +
                      m_socket + "\n");
        ::setenv("PULSE_RUNTIME_PATH", dir.file("pulse/run").c_str(), 1);
        std::string file = dir.file("pulse/null.pa");
        std::vector<std::string> words = {"pulseaudio",
                                          "-n",
                                          "-F",
                                          file,
                                          "--daemonize=no",
                                          "--exit-idle-time=-1",
                                          "--disallow-exit",
                                          "--log-target=stderr",
                                          "--log-level=error"};
        std::vector<char*> argv;
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        if (::posix_spawnp(&m_pid, "pulseaudio", nullptr, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        ::setenv("PULSE_SERVER", ("unix:" + m_socket).c_str(), 1);
    }
    ~NullSoundServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool ready() const
    {
        return m_pid > 0 &&
               spinUntil([this] { return fileExists(m_socket); }, std::chrono::seconds(5));
    }

private:
    std::string m_socket;
    pid_t m_pid = -1;
};

} // namespace orvanta::test
