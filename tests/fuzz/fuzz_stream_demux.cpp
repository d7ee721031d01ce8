// A station's body as the recording client receives it: audio and in-band metadata blocks
// every metaint bytes, cut into pieces wherever the network happens to cut it. Whatever
// arrives, the client keeps its buffer bounded, writes frame-aligned files and never
// crashes. The first byte chooses whether there is metadata and how often; then each piece
// is a two-byte length and its bytes.

#include "FuzzInput.h"
#include "FuzzScratch.h"
#include "GenericClient.h"
#include "MP3Client.h"
#include "Mailbox.h"
#include "NodePropertyKeys.h"
#include "NotificationCenter.h"
#include "OwnedThreads.h"
#include "PreferencesReader.h"
#include "RecordingContext.h"

#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

using namespace orvanta;

class FuzzPrefs : public PreferencesReader
{
public:
    explicit FuzzPrefs(const std::string& music)
        : m_values{{"downloadpath", Value(music)},          {"DirLayout", Value(0)},
                   {"ScheduledDirLayout", Value(0)},        {"useid3v1", Value(false)},
                   {"AutoReconnect", Value(false)},         {"diskspacesafety", Value(false)},
                   {"ignorefilesize", Value(false)},        {"useproxy", Value(false)},
                   {"MilitaryTimeInFilenames", Value(true)}}
    {}
    Value getPrefsForKey(std::string_view key) const override { return m_values.get(key); }

private:
    Dictionary m_values;
};

struct Fixture
{
    Fixture() : scratch("demux"), folder(scratch.path()), prefs(folder + "/Music") {}
    orvanta::fuzz::Scratch scratch;
    std::string folder;
    FuzzPrefs prefs;
    NotificationCenter center;
    Mailbox mailbox;
    OwnedThreads threads;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Fixture fixture;
    std::filesystem::remove_all(fixture.folder);
    std::filesystem::create_directories(fixture.folder + "/Music");

    orvanta::fuzz::FuzzInput input(data, size);
    const bool withMetadata = (input.byte() & 1) == 0;
    const std::size_t metaint = 1 + input.below(4096);

    RecordingContext context{fixture.center, fixture.prefs, fixture.mailbox, fixture.threads,
                             nullptr};
    auto proxy = std::make_shared<ServerProxy>(std::weak_ptr<GenericServer>(), fixture.mailbox);
    auto client = std::make_shared<MP3Client>(1, proxy, context);
    client->setProperties(
        Dictionary{{np::NP_NAME, Value("Fuzz")},
                   {np::NP_URLS_TO_VISIT, Value(Array{Value("http://127.0.0.1/")})}});
    client->setIVarsFromProperties();
    client->parseReqHeaders("ICY 200 OK\r\n");
    client->parseReqHeaders("content-type: audio/mpeg\r\n");
    client->parseReqHeaders("icy-name: Fuzz Radio\r\n");
    if (withMetadata)
        client->parseReqHeaders("icy-metaint: " + std::to_string(metaint) + "\r\n");
    client->parseReqHeaders("\r\n");
    while (!input.empty()) {
        const std::string_view piece = input.take(1 + input.below(8192));
        if (!client->writeShoutCastData(reinterpret_cast<const std::uint8_t*>(piece.data()),
                                        piece.size()))
            break;
    }
    client.reset();
    return 0;
}
