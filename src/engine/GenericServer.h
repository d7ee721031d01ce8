#pragma once

// The main-thread half of a recording (see GenericClient.h). MP3Server hands its
// recording properties to the client when it registers and starts the client's worker.
//
// Thread: main.

#include "GenericClient.h"
#include "Value.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace orvanta {

class GenericServer : public std::enable_shared_from_this<GenericServer>
{
public:
    virtual ~GenericServer() = default;

    virtual void registerWithTag(std::int32_t tag, std::shared_ptr<ClientProxy> client);
    std::int32_t tag() const { return m_tag; }
    const std::shared_ptr<ClientProxy>& clientProxy() const { return m_clientProxy; }

private:
    std::int32_t m_tag = 0;
    std::shared_ptr<ClientProxy> m_clientProxy;
};

class MP3Server : public GenericServer
{
public:
    explicit MP3Server(Dictionary properties);

    void registerWithTag(std::int32_t tag, std::shared_ptr<ClientProxy> client) override;

    /// Stops the recording: the worker's stop request first, then the client thread's end.
    /// A terminate before the client has registered is carried out when it registers.
    void terminate();
    /// Whole seconds since the server was made.
    std::int64_t elapsedTime() const;
    const Dictionary& properties() const { return _properties; }

    // The client's state as the core polls it; defaults before registration.
    double transferRate() const;
    std::string currentSong() const;
    bool canSkipTrack() const;
    void skipTrack();
    std::string completePath() const;
    void listen(bool on);
    /// A client listening without recording starts recording from the current song's
    /// beginning (see MP3Client); asked before the client has registered, it is asked when
    /// it registers. The elapsed time counts from here.
    void recordFromBuffer();
    std::optional<HeardAudio> heardAudio() const;

private:
    Dictionary _properties;
    std::chrono::steady_clock::time_point m_launchTime;
    bool m_terminateRequested = false;
    bool m_recordRequested = false;
};

} // namespace orvanta
