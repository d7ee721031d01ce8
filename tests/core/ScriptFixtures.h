#pragma once

// Fixture scripts for the script-runner tests: small bash programs written into a
// temporary folder at test time.

#include "TempDir.h"

#include <string>
#include <vector>

#include <sys/stat.h>

namespace orvanta::test {

/// Writes an executable bash script with the given body to folder/name; returns its path.
inline std::string writeScript(const std::string& folder, const std::string& name,
                               const std::string& body)
{
    const std::string path = folder + "/" + name;
    writeFile(path, "#!/bin/bash\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

/// A script body that stores its arguments, NUL-separated, in argsFile.
inline std::string recordArgumentsBody(const std::string& argsFile)
{
    return "printf '%s\\0' \"$@\" > '" + argsFile + "'";
}

/// The arguments a recordArgumentsBody script stored.
inline std::vector<std::string> readRecordedArguments(const std::string& argsFile)
{
    std::vector<std::string> words;
    const std::string bytes = readFile(argsFile);
    std::string::size_type start = 0;
    for (std::string::size_type end; (end = bytes.find('\0', start)) != std::string::npos;
         start = end + 1)
        words.push_back(bytes.substr(start, end - start));
    return words;
}

} // namespace orvanta::test
