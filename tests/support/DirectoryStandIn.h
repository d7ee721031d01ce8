#pragma once

// The local stand-in of the station directory (directory_standin.py) as a test fixture:
// started with the recorded stations, on a free port, ended with the fixture.

#include <string>

#include <sys/types.h>

namespace orvanta::test {

class DirectoryStandIn
{
public:
    /// stationUrl replaces "@STATION@" in the records (the address a test can record).
    explicit DirectoryStandIn(const std::string& stationUrl = "http://127.0.0.1:9/none.mp3");
    ~DirectoryStandIn();
    DirectoryStandIn(const DirectoryStandIn&) = delete;
    DirectoryStandIn& operator=(const DirectoryStandIn&) = delete;

    /// "http://127.0.0.1:PORT", the value for the "stationdirectory" preference.
    std::string address() const;
    /// How the following API requests are answered: "none", "malformed", "huge" or
    /// "status" (with code), each after delaySeconds.
    void setFault(const std::string& mode, int code = 500, double delaySeconds = 0);
    /// The API requests so far, as JSON: [{"path": ..., "agent": ...}].
    std::string requests() const;
    /// How many API requests so far had a path starting with prefix.
    int requestCount(const std::string& prefix) const;

private:
    std::string get(const std::string& path) const;

    pid_t m_pid = -1;
    int m_port = 0;
};

} // namespace orvanta::test
