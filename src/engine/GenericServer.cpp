#include "GenericServer.h"

#include "GenericClient.h"

namespace orvanta {

void GenericServer::registerWithTag(std::int32_t tag, std::shared_ptr<ClientProxy> client)
{
    m_clientProxy = std::move(client);
    m_tag = tag;
}

MP3Server::MP3Server(Dictionary properties)
    : _properties(std::move(properties)), m_launchTime(std::chrono::steady_clock::now())
{}

void MP3Server::registerWithTag(std::int32_t tag, std::shared_ptr<ClientProxy> client)
{
    GenericServer::registerWithTag(tag, std::move(client));
    clientProxy()->setProperties(_properties);
    clientProxy()->runClientInNewThread();
    if (m_recordRequested)
        clientProxy()->recordFromBuffer();
    if (m_terminateRequested)
        terminate();
}

void MP3Server::terminate()
{
    m_terminateRequested = true;
    if (!clientProxy())
        return;
    clientProxy()->shutDown();
    clientProxy()->terminateClient();
}

std::int64_t MP3Server::elapsedTime() const
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() -
                                                            m_launchTime)
        .count();
}

double MP3Server::transferRate() const
{
    return clientProxy() ? clientProxy()->transferRate() : 0.0;
}

std::string MP3Server::currentSong() const
{
    return clientProxy() ? clientProxy()->currentSong() : std::string();
}

bool MP3Server::canSkipTrack() const
{
    return clientProxy() && clientProxy()->canSkipTrack();
}

void MP3Server::skipTrack()
{
    if (clientProxy())
        clientProxy()->skipTrack();
}

std::string MP3Server::completePath() const
{
    return clientProxy() ? clientProxy()->completePath() : std::string();
}

void MP3Server::listen(bool on)
{
    if (clientProxy())
        clientProxy()->listen(on);
}

void MP3Server::recordFromBuffer()
{
    m_recordRequested = true;
    m_launchTime = std::chrono::steady_clock::now();
    if (clientProxy())
        clientProxy()->recordFromBuffer();
}

std::optional<HeardAudio> MP3Server::heardAudio() const
{
    return clientProxy() ? clientProxy()->heardAudio() : std::nullopt;
}

} // namespace orvanta
