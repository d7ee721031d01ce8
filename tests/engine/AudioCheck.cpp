#include "AudioCheck.h"

#include "TempDir.h"

#include <sstream>

#include <gtest/gtest.h>

namespace orvanta::test {

/// What ffprobe, ffmpeg and mutagen make of a file.
AudioCheck checkAudio(const std::string& path)
{
    std::string output;
    const int status = runCommand(
        "/usr/bin/python3 '" ORVANTA_TEST_DATA_DIR "/engine/audio_check.py' '" + path + "'",
        &output);
    EXPECT_EQ(status, 0) << output;
    AudioCheck check;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto tab = line.find('\t');
        const std::string name = line.substr(0, tab);
        const std::string value = tab == std::string::npos ? "" : line.substr(tab + 1);
        if (name == "codec")
            check.codec = value;
        else if (name == "errors")
            check.errors = value;
        else if (name == "container")
            check.container = std::stod(value);
        else if (name == "decoded")
            check.decoded = std::stod(value);
        else if (name == "frame")
            check.frame = std::stod(value);
        else if (name == "tag")
            check.tags[value.substr(0, value.find('\t'))] = value.substr(value.find('\t') + 1);
    }
    return check;
}

} // namespace orvanta::test
