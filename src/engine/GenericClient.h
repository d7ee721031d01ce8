#pragma once

// The two halves of a recording: a server on the main thread, which the core keeps, and a
// client on a thread of its own, which records (on a further worker thread it starts).
// They talk only through proxies that run each call synchronously on the callee's thread.
//
// Registration calls back into the client while the client waits for its server; the
// client keeps serving its mailbox while it waits, so the exchange cannot deadlock. Once a
// client thread has ended, calls through its proxy return defaults instead of waiting.

#include "AudioFormat.h"
#include "RecordingContext.h"
#include "Value.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orvanta {

class GenericServer;
class Mailbox;
class ServerProxy;

/// What a client listening without recording has kept of the station.
struct HeardAudio
{
    Bytes audio;
    AudioFormat format = AudioFormat::MP3;
    Bytes streamHeader; // what a player needs before the audio (an Ogg stream's headers)
    std::string song;   // the title playing now
};

/// Thread: created on and served by the client thread; see the operations for more.
class GenericClient : public std::enable_shared_from_this<GenericClient>
{
public:
    using Factory = std::function<std::shared_ptr<GenericClient>(
        std::int32_t tag, std::shared_ptr<ServerProxy> server, const RecordingContext& context)>;

    GenericClient(std::int32_t tag, std::shared_ptr<ServerProxy> server, RecordingContext context);
    virtual ~GenericClient();

    /// Starts the client thread for an already created server; returns at once. The thread
    /// makes the client with factory and registers it with the server.
    static void launchClientThreadWithTag(std::int32_t tag, std::shared_ptr<GenericServer> server,
                                          const RecordingContext& context, Factory factory);

    std::int32_t tag() const { return m_tag; }
    void terminateClient() { m_flagTerminateRunLoop = true; }
    bool flagTerminateRunLoop() const { return m_flagTerminateRunLoop; }

    // What the server reaches through the proxy, on the client thread.
    virtual void setProperties(Dictionary properties);
    virtual void runClientInNewThread() {}
    virtual void shutDown() {}
    virtual double transferRate() { return 0; }
    virtual std::string currentSong() { return {}; }
    virtual bool canSkipTrack() { return false; }
    virtual void skipTrack() {}
    virtual std::string completePath() { return {}; }
    virtual void listen(bool on);
    /// A client listening without recording starts recording, from the current song's
    /// beginning in what it heard; false when it is not listening so.
    virtual bool recordFromBuffer() { return false; }
    /// What a listening client has heard; nothing when it keeps nothing.
    virtual std::optional<HeardAudio> heardAudio() { return std::nullopt; }

protected:
    /// Runs body on a worker thread of its own in the context's thread group. An exception
    /// never leaves the thread: it is logged under operation, afterFailure runs, and the
    /// finished notification still goes out, so the core hears of the end.
    void startWorker(const char* operation, std::function<void()> body,
                     std::function<void()> afterFailure = {});

    const RecordingContext m_context;
    std::shared_ptr<ServerProxy> m_serverProxy;

private:
    const std::int32_t m_tag;
    std::atomic<bool> m_flagTerminateRunLoop{false};
};

/// The server's handle on its client. Thread: main (any thread works).
class ClientProxy
{
public:
    ClientProxy(std::shared_ptr<GenericClient> client, std::shared_ptr<Mailbox> mailbox);

    void setProperties(Dictionary properties);
    void runClientInNewThread();
    void shutDown();
    void terminateClient();
    double transferRate();
    std::string currentSong();
    bool canSkipTrack();
    void skipTrack();
    std::string completePath();
    void listen(bool on);
    bool recordFromBuffer();
    std::optional<HeardAudio> heardAudio();
    /// Whether the client thread still serves calls.
    bool isConnected() const;

private:
    std::shared_ptr<GenericClient> m_client;
    std::shared_ptr<Mailbox> m_mailbox;
};

/// The client's handle on its server. Thread: the client thread.
class ServerProxy
{
public:
    ServerProxy(std::weak_ptr<GenericServer> server, Mailbox& mainMailbox);
    /// Registers on the main thread; false when the server is gone.
    bool registerWithTag(std::int32_t tag, std::shared_ptr<ClientProxy> client);

private:
    std::weak_ptr<GenericServer> m_server;
    Mailbox& m_mainMailbox;
};

} // namespace orvanta
