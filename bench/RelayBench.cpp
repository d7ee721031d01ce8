// Throughput of the listening relay: audio handed to writeRawData in 4096-byte blocks (what a
// recording's worker passes on) and read by a player on loopback, with in-band titles every
// 8192 bytes. A recording at 320 kbit/s needs 40 kB/s; this shows the headroom.

#include "NotificationCenter.h"
#include "PreferencesReader.h"
#include "RelayThread.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

struct BenchPrefs : orvanta::PreferencesReader
{
    orvanta::Dictionary values;
    orvanta::Value getPrefsForKey(std::string_view key) const override { return values.get(key); }
};

/// A player that asks for titles and reads everything as fast as it comes.
class DrainingPlayer
{
public:
    DrainingPlayer(std::uint16_t port, const std::string& path)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return;
        const std::string request = "GET " + path + " HTTP/1.0\r\nIcy-MetaData: 1\r\n\r\n";
        ::send(m_fd, request.data(), request.size(), MSG_NOSIGNAL);
        m_reader = std::thread([this] {
            std::vector<char> buffer(65536);
            while (::recv(m_fd, buffer.data(), buffer.size(), 0) > 0)
                received += 1;
        });
    }
    ~DrainingPlayer()
    {
        ::shutdown(m_fd, SHUT_RDWR);
        if (m_reader.joinable())
            m_reader.join();
        ::close(m_fd);
    }
    std::atomic<long> received{0};

private:
    int m_fd = -1;
    std::thread m_reader;
};

void BM_RelayToPlayer(benchmark::State& state)
{
    BenchPrefs prefs;
    orvanta::NotificationCenter center;
    auto relay = std::make_shared<orvanta::RelayThread>(0, center, prefs);
    if (!relay->launch() ||
        !relay->waitForState(orvanta::RelayThread::kListening, std::chrono::seconds(5))) {
        state.SkipWithError("the relay did not start");
        return;
    }
    DrainingPlayer player(relay->relayPort(), relay->servedPath());
    if (!relay->waitForState(orvanta::RelayThread::kConnected, std::chrono::seconds(5))) {
        state.SkipWithError("the player did not connect");
        return;
    }
    const std::vector<std::uint8_t> block(4096, 0x55);
    for (auto _ : state) {
        if (!relay->writeRawData(block.data(), block.size())) {
            state.SkipWithError("the relay refused the audio");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(block.size()));
    relay->closeCurrentConnection();
}
BENCHMARK(BM_RelayToPlayer)->MinTime(2.0)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
