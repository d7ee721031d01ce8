#pragma once

// A fresh folder under the system temporary folder, removed with everything in it.

#include <string>
#include <vector>

namespace orvanta::test {

class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

/// Writes bytes to path, replacing it; fails the current test on error.
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
/// Every regular file below folder, at any depth (none when it does not exist).
std::vector<std::string> filesBelow(const std::string& folder);

/// Runs a shell command and returns its exit status; its output goes to output.
int runCommand(const std::string& command, std::string* output = nullptr);

} // namespace orvanta::test
