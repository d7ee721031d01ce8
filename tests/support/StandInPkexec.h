#pragma once

// pkexec as it behaves for an authorised caller, for tests that run as root: the program
// as root, told for whom, with nothing else of the environment. Each start is noted in log.

#include "TempDir.h"

#include <string>

#include <sys/stat.h>

namespace orvanta::test {

inline std::string writeStandInPkexec(const std::string& path, const std::string& log)
{
    writeFile(path, "#!/bin/sh\necho \"$@\" >>'" + log +
                        "'\n[ \"$1\" = --disable-internal-agent ] && shift\n"
                        "exec env -i PKEXEC_UID=$(id -u) \"$@\"\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

} // namespace orvanta::test
