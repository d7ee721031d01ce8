#include "GenericClient.h"

#include "GenericServer.h"
#include "Log.h"
#include "Mailbox.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "OwnedThreads.h"

#include <exception>

#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace orvanta {

namespace {
// Recording has seconds of buffering in the network and the writer; the window has none:
// when the processors are busy (every station deciding where to cut at once), the window
// goes first. A thread's nice value on Linux is its own.
void yieldToTheWindow()
{
    constexpr int kRecordingNiceness = 5;
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kRecordingNiceness);
}
} // namespace

GenericClient::GenericClient(std::int32_t tag, std::shared_ptr<ServerProxy> server,
                             RecordingContext context)
    : m_context(std::move(context)), m_serverProxy(std::move(server)), m_tag(tag)
{}

GenericClient::~GenericClient() = default;

void GenericClient::setProperties(Dictionary) {}

void GenericClient::startWorker(const char* operation, std::function<void()> body,
                                std::function<void()> afterFailure)
{
    auto self = shared_from_this(); // the client lives as long as its worker
    const bool started =
        m_context.threads.start(operation, [self, operation, body = std::move(body),
                                            afterFailure = std::move(afterFailure)] {
            yieldToTheWindow();
            try {
                body();
            } catch (const std::exception& e) {
                logMessage(operation, std::string("Recording failed: ") + e.what());
                if (afterFailure)
                    afterFailure();
                self->m_context.center.post(OVFinishedNotification, self->tag());
            }
        });
    // Without a worker the recording is over before it began; the core must still hear it.
    if (!started)
        m_context.center.post(OVFinishedNotification, tag());
}

void GenericClient::listen(bool) {}

void GenericClient::launchClientThreadWithTag(std::int32_t tag,
                                              std::shared_ptr<GenericServer> server,
                                              const RecordingContext& context, Factory factory)
{
    context.threads.start(
        "GenericClient::launchClientThreadWithTag",
        [tag, weakServer = std::weak_ptr<GenericServer>(server), context,
         factory = std::move(factory)] {
            auto mailbox = std::make_shared<Mailbox>();
            mailbox->adoptCurrentThread();
            auto serverProxy = std::make_shared<ServerProxy>(weakServer, context.mainMailbox);
            std::shared_ptr<GenericClient> client = factory(tag, serverProxy, context);
            auto clientProxy = std::make_shared<ClientProxy>(client, mailbox);
            if (serverProxy->registerWithTag(tag, clientProxy))
                mailbox->serveUntil([&client] { return client->flagTerminateRunLoop(); });
            mailbox->close();
        });
}

// ---- ClientProxy ------------------------------------------------------------------------

ClientProxy::ClientProxy(std::shared_ptr<GenericClient> client, std::shared_ptr<Mailbox> mailbox)
    : m_client(std::move(client)), m_mailbox(std::move(mailbox))
{}

void ClientProxy::setProperties(Dictionary properties)
{
    callSyncVoid(*m_mailbox, [this, properties] { m_client->setProperties(properties); });
}

void ClientProxy::runClientInNewThread()
{
    callSyncVoid(*m_mailbox, [this] { m_client->runClientInNewThread(); });
}

void ClientProxy::shutDown()
{
    callSyncVoid(*m_mailbox, [this] { m_client->shutDown(); });
}

void ClientProxy::terminateClient()
{
    callSyncVoid(*m_mailbox, [this] { m_client->terminateClient(); });
}

double ClientProxy::transferRate()
{
    return callSync(*m_mailbox, [this] { return m_client->transferRate(); }).value_or(0.0);
}

std::string ClientProxy::currentSong()
{
    return callSync(*m_mailbox, [this] { return m_client->currentSong(); }).value_or(std::string());
}

bool ClientProxy::canSkipTrack()
{
    return callSync(*m_mailbox, [this] { return m_client->canSkipTrack(); }).value_or(false);
}

void ClientProxy::skipTrack()
{
    callSyncVoid(*m_mailbox, [this] { m_client->skipTrack(); });
}

std::string ClientProxy::completePath()
{
    return callSync(*m_mailbox, [this] { return m_client->completePath(); })
        .value_or(std::string());
}

void ClientProxy::listen(bool on)
{
    callSyncVoid(*m_mailbox, [this, on] { m_client->listen(on); });
}

bool ClientProxy::recordFromBuffer()
{
    return callSync(*m_mailbox, [this] { return m_client->recordFromBuffer(); }).value_or(false);
}

std::optional<HeardAudio> ClientProxy::heardAudio()
{
    return callSync(*m_mailbox, [this] { return m_client->heardAudio(); }).value_or(std::nullopt);
}

bool ClientProxy::isConnected() const
{
    return !m_mailbox->isClosed();
}

// ---- ServerProxy ------------------------------------------------------------------------

ServerProxy::ServerProxy(std::weak_ptr<GenericServer> server, Mailbox& mainMailbox)
    : m_server(std::move(server)), m_mainMailbox(mainMailbox)
{}

bool ServerProxy::registerWithTag(std::int32_t tag, std::shared_ptr<ClientProxy> client)
{
    return callSync(m_mainMailbox,
                    [this, tag, client] {
                        auto server = m_server.lock();
                        if (!server)
                            return false;
                        server->registerWithTag(tag, client);
                        return true;
                    })
        .value_or(false);
}

} // namespace orvanta
