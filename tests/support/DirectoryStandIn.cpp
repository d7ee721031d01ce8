#include "DirectoryStandIn.h"

#include "IcyTestServer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <stdexcept>

#include <sys/wait.h>
#include <unistd.h>

namespace orvanta::test {

namespace {
const std::string kTests = ORVANTA_TEST_DATA_DIR;
}

DirectoryStandIn::DirectoryStandIn(const std::string& stationUrl)
{
    int out[2];
    if (::pipe(out) != 0)
        throw std::runtime_error("pipe failed");
    const std::string script = kTests + "/support/directory_standin.py";
    const std::string stations = kTests + "/support/directory-stations.json";
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execl("/usr/bin/python3", "python3", script.c_str(), stations.c_str(), "--station-url",
                stationUrl.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::FILE* reader = ::fdopen(out[0], "r");
    if (!reader || std::fscanf(reader, "PORT %d", &m_port) != 1 || m_port <= 0) {
        if (reader)
            std::fclose(reader);
        throw std::runtime_error("the directory stand-in did not start");
    }
    std::fclose(reader);
}

DirectoryStandIn::~DirectoryStandIn()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
}

std::string DirectoryStandIn::address() const
{
    return "http://127.0.0.1:" + std::to_string(m_port);
}

std::string DirectoryStandIn::get(const std::string& path) const
{
    const int socket = connectToLoopback(static_cast<std::uint16_t>(m_port));
    if (socket < 0) {
        ADD_FAILURE() << "cannot reach the directory stand-in";
        return {};
    }
    const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    (void)!::write(socket, request.data(), request.size());
    std::string answer;
    char buffer[4096];
    for (ssize_t got; (got = ::read(socket, buffer, sizeof buffer)) > 0;)
        answer.append(buffer, static_cast<std::size_t>(got));
    ::close(socket);
    const auto body = answer.find("\r\n\r\n");
    return body == std::string::npos ? std::string() : answer.substr(body + 4);
}

void DirectoryStandIn::setFault(const std::string& mode, int code, double delaySeconds)
{
    get("/standin/fault?mode=" + mode + "&code=" + std::to_string(code) +
        "&delay=" + std::to_string(delaySeconds));
}

std::string DirectoryStandIn::requests() const
{
    return get("/standin/requests");
}

int DirectoryStandIn::requestCount(const std::string& prefix) const
{
    const std::string all = requests();
    const std::string needle = "\"path\": \"" + prefix;
    int count = 0;
    for (auto at = all.find(needle); at != std::string::npos; at = all.find(needle, at + 1))
        ++count;
    return count;
}

} // namespace orvanta::test
