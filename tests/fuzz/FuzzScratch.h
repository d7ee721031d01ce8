#pragma once

// A folder for a harness's files, one per process, in memory where the system has it, and
// removed when the process ends.

#include <filesystem>
#include <string>

#include <unistd.h>

namespace orvanta::fuzz {

class Scratch
{
public:
    explicit Scratch(const std::string& name)
        : m_path(((std::filesystem::is_directory("/dev/shm")
                       ? std::filesystem::path("/dev/shm")
                       : std::filesystem::temp_directory_path()) /
                  ("orvanta-fuzz-" + name + "-" + std::to_string(::getpid())))
                     .string())
    {
        std::filesystem::create_directories(m_path);
    }
    ~Scratch() { std::filesystem::remove_all(m_path); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace orvanta::fuzz
