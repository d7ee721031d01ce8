#pragma once

// The listening relay: a small ICY server on the loopback interface that serves the audio of
// the recording being listened to, one player at a time, with the titles in-band every 8192
// audio bytes or as UDP datagrams, as the player asks. It reports players that come and go,
// and failures to open its port, on the notification centre.
//
// Threads: control operations from any thread (the main thread in practice); the relay
// thread accepts and answers players; a title thread serves the UDP titles; writeRawData()
// runs on the feeding recording's worker. The state sits behind one mutex with a condition
// variable. Sends to the player are serialised by a second mutex, and only the relay thread
// closes the player's socket, under that mutex, so no send reaches a closed or reused
// descriptor. Never call a control operation from an observer of the relay's notifications
// on the relay's own threads.
//
// The preferences and the centre must outlive the relay.

#include "RelayInput.h"
#include "RelaySockets.h"
#include "RelayWaitingRoom.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace orvanta {

class NotificationCenter;
class PreferencesReader;

class RelayThread : public RelayInput
{
public:
    /// The condition of the relay's state lock.
    enum State : int {
        kIdle = 0,      // no relay thread
        kStarting = 1,  // the relay thread is starting
        kListening = 2, // waiting for a player
        kConnected = 3, // a player is connected and audio may flow
        kClosed = 4,    // the player's connection was closed
    };

    static constexpr std::uint16_t kDefaultRelayPort = 50505;
    /// How long one writeRawData() may wait for a player that does not read.
    static constexpr std::chrono::milliseconds kDefaultSendTimeout{4000};
    /// How long a new player has to send its request.
    static constexpr std::chrono::milliseconds kRequestTimeout{5000};

    /// The process-wide relay on the port of the preference "relayport" (50505 when unset,
    /// cut to 16 bits); none when that port is 0, and then tried again on the next call.
    static std::shared_ptr<RelayThread> instance(const PreferencesReader& prefs,
                                                 NotificationCenter& center);

    /// A relay on port; 0 lets the system pick a free port when the relay starts.
    RelayThread(std::uint16_t port, NotificationCenter& center, const PreferencesReader& prefs);
    /// Closes the player's connection, wakes and joins the relay's threads.
    ~RelayThread() override;

    RelayThread(const RelayThread&) = delete;
    RelayThread& operator=(const RelayThread&) = delete;

    /// Starts the relay thread when the relay is idle; false when it already runs.
    bool launch();
    /// The port; after a port search, the one actually bound.
    std::uint16_t relayPort() const { return m_relayPort.load(); }
    /// The only path served: a random token made with the relay, so that only the player
    /// Orvanta hands the address to can listen ("/" followed by 32 hex digits).
    const std::string& servedPath() const { return m_servedPath; }
    /// A player is connected.
    bool isValidConnection() const;
    /// Ends the player's connection (posting OVRelayConnectionClosedNotification); false when
    /// no player was connected.
    bool closeCurrentConnection();
    /// Makes the relay thread end after the current player; when a player was connected,
    /// closes its connection and waits until the thread has ended. A thread that is still
    /// waiting for a player serves one more before it ends.
    bool killRelayThread();
    /// Moves the relay to port (0 is refused) once its thread has ended; false, keeping the
    /// old port, while a relay thread still waits for a player.
    bool changeRelayPort(std::uint16_t port);

    State state() const;
    /// Waits up to timeout for the state; whether it was reached.
    bool waitForState(State wanted, std::chrono::milliseconds timeout) const;
    void setSendTimeout(std::chrono::milliseconds timeout) { m_sendTimeout.store(timeout); }

    // RelayInput. Thread: the feeding recording's worker (any thread works).
    /// Sends the audio to the player with the titles it asked for; false when no player is
    /// connected or sending failed (the connection is then closed).
    bool writeRawData(const std::uint8_t* data, std::size_t length) override;
    void setDelegate(std::weak_ptr<GenericClient> client) override;
    void setStreamFormat(std::string contentType, Bytes streamHeader) override;

private:
    // Relay thread.
    void launchRelayThread();
    bool openListeners(relay::Listeners* listeners);
    void serveConnections(const relay::Listeners& listeners);
    /// The next connection with its request; nothing when woken to stop.
    std::optional<relay::Arrival> acceptPlayer(const relay::Listeners& listeners);
    void servePlayer(relay::Arrival arrival);
    void dropPlayer(relay::UniqueFd& player);
    void postError(const std::string& message);
    void setState(State state);

    // UDP title thread.
    void launchUDPServer(int family);
    void stopUDPServer();
    void serveTitleDatagrams();
    void sendTitleMessage(const void* address, std::size_t addressSize, const std::string& title);

    // Feeding thread, under m_sendMutex.
    int sendAudio(int fd, const std::uint8_t* data, std::size_t length, const std::string& title,
                  relay::Clock::time_point deadline);
    void sendUDPTitle(const std::string& title);

    std::string currentTitle() const;

    NotificationCenter& m_center;
    const PreferencesReader& m_prefs;

    std::atomic<std::uint16_t> m_relayPort;
    const std::string m_servedPath;
    std::atomic<bool> relayShutDown{false};
    std::atomic<std::chrono::milliseconds> m_sendTimeout{kDefaultSendTimeout};

    mutable std::mutex m_stateMutex; // the relay's condition lock
    mutable std::condition_variable m_stateChanged;
    State m_state = kIdle;
    bool m_destroying = false;

    // The player's connection: set by the relay thread while no audio flows; used by the
    // feeder and closed by the relay thread under m_sendMutex.
    std::mutex m_sendMutex;
    std::atomic<int> relaySocketFD{-1};
    std::uint32_t _metaint = 0;
    std::uint32_t _metaintCounter = 0;
    std::string m_contentType = "audio/mpeg";
    Bytes m_streamHeader;
    bool m_headerOwed = false; // the connected player has not had the stream header yet
    std::atomic<bool> m_udpTitles{false};
    std::atomic<int> m_playerFamily{0};
    std::atomic<std::uint16_t> _metadataClientPort{0};
    // Answers to the player's datagrams in the current second (title thread only).
    std::chrono::steady_clock::time_point m_answerWindowStart{};
    int m_answersInWindow = 0;
    relay::UniqueFd m_metadataSocket; // the UDP title socket; see m_sendMutex
    int _metadataSocketFD = -1;       // its descriptor, fixed while the title thread runs

    mutable std::mutex m_delegateMutex;
    std::weak_ptr<GenericClient> _delegate;

    relay::WakeEvent m_wake;    // ends the relay thread's waits when the relay is destroyed
    relay::WakeEvent m_udpWake; // ends the title thread
    std::mutex m_threadMutex;   // guards m_relayThread
    std::thread m_relayThread;
    std::thread m_udpThread; // relay thread only
};

} // namespace orvanta
