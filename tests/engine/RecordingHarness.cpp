#include "RecordingHarness.h"

#include "MP3Client.h"
#include "NotificationNames.h"

#include <map>

#include <gtest/gtest.h>

namespace orvanta::test {

TestPrefs::TestPrefs(const std::string& downloadPath)
{
    m_values = Dictionary{{"downloadpath", downloadPath},
                          {"DirLayout", 0},
                          {"ScheduledDirLayout", 0},
                          {"useid3v1", false},
                          {"AutoReconnect", false},
                          {"AutoReconnectWaitSeconds", 0},
                          {"LowSpeedDisconnect", true},
                          {"LowSpeedLimitSeconds", 10},
                          {"diskspacesafety", false},
                          {"ignorefilesize", false},
                          {"useproxy", false},
                          {"MilitaryTimeInFilenames", true}};
}

Value TestPrefs::getPrefsForKey(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    return m_values.get(key).deepCopy();
}

void TestPrefs::set(std::string_view key, Value value)
{
    std::lock_guard lock(m_mutex);
    m_values.set(key, std::move(value));
}

Recording::Recording(TestPrefs& prefs, Dictionary properties)
    : m_prefs(prefs), m_server(std::make_shared<MP3Server>(std::move(properties)))
{
    m_main.adoptCurrentThread();
    m_center.addObserver("", [this](const Notification& n) {
        {
            std::lock_guard lock(m_mutex);
            m_posted.push_back(n);
            if (n.name == OVFinishedNotification)
                m_finished = true;
        }
        m_main.wake();
    });
}

Recording::~Recording()
{
    // As the core does on the finished notification: the client thread ends with terminate.
    stop();
    waitFinished(std::chrono::seconds(10));
    // Client threads end once their loop has run out; serve them until they have.
    for (int i = 0; i < 500 && m_threads.running() > 0; ++i)
        m_main.serveUntil([] { return false; }, std::chrono::milliseconds(10));
    EXPECT_EQ(m_threads.running(), 0u) << "recording threads left behind";
    m_main.close();
    m_threads.joinAll();
}

void Recording::start()
{
    startWithSecondsClock({});
}

void Recording::startWithSecondsClock(std::function<std::int64_t()> clock)
{
    RecordingContext context{m_center, m_prefs, m_main, m_threads, nullptr};
    GenericClient::launchClientThreadWithTag(
        1, m_server, context,
        [clock](std::int32_t tag, std::shared_ptr<ServerProxy> proxy, const RecordingContext& c) {
            auto client = std::make_shared<MP3Client>(tag, std::move(proxy), c);
            if (clock)
                client->setSecondsClock(clock);
            return client;
        });
    ASSERT_TRUE(
        waitUntil([this] { return m_server->clientProxy() != nullptr; }, std::chrono::seconds(5)));
}

bool Recording::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    // Conditions that poll the client (current song) change without a notification.
    while (std::chrono::steady_clock::now() < deadline) {
        if (m_main.serveUntil(condition, std::chrono::milliseconds(20)))
            return true;
    }
    return condition();
}

bool Recording::waitFinished(std::chrono::milliseconds timeout)
{
    return waitUntil([this] { return finished(); }, timeout);
}

void Recording::stop()
{
    m_server->terminate();
}

bool Recording::finished() const
{
    std::lock_guard lock(m_mutex);
    return m_finished;
}

std::vector<Dictionary> Recording::completedFiles() const
{
    std::lock_guard lock(m_mutex);
    std::vector<Dictionary> files;
    for (const auto& n : m_posted) {
        if (n.name == OVRecordingFileCompleted)
            files.push_back(n.userInfo.toDictionary());
    }
    return files;
}

std::vector<std::string> Recording::alerts() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> messages;
    for (const auto& n : m_posted) {
        if (n.name == OVErrorAlertNotification || n.name == OVFatalErrorAlertNotification) {
            const std::string text =
                n.userInfo.toDictionary().get(OVErrorAlertNotificationMessage).toString();
            if (!text.empty())
                messages.push_back(text);
        }
    }
    return messages;
}

std::vector<Notification> Recording::notifications() const
{
    std::lock_guard lock(m_mutex);
    return m_posted;
}

const SongStream& songStream(const std::vector<double>& songSeconds)
{
    static std::mutex mutex;
    static std::map<std::vector<double>, SongStream> cache;
    std::lock_guard lock(mutex);
    auto it = cache.find(songSeconds);
    if (it != cache.end())
        return it->second;
    TempDir dir;
    SongStream stream;
    stream.audio = encodeWithLame(pcmSongs(songSeconds, 1.0), dir);
    // LAME delays its output by 1105 samples; a second is 16000 bytes at 128 kbit/s.
    const double delay = 1105.0 / 44100.0;
    double at = 0;
    for (std::size_t i = 0; i + 1 < songSeconds.size(); ++i) {
        at += songSeconds[i];
        stream.silences.emplace_back(static_cast<std::uint64_t>((at + delay) * 16000),
                                     static_cast<std::uint64_t>((at + 1.0 + delay) * 16000));
        at += 1.0;
    }
    return cache.emplace(songSeconds, std::move(stream)).first->second;
}

ByteVector audioOfFile(const std::string& path)
{
    const std::string bytes = readFile(path);
    std::size_t start = 0;
    if (bytes.size() >= 10 && bytes.compare(0, 3, "ID3") == 0) {
        const auto b = [&bytes](std::size_t i) {
            return static_cast<std::size_t>(static_cast<unsigned char>(bytes[i]));
        };
        start = 10 + ((b(6) << 21) | (b(7) << 14) | (b(8) << 7) | b(9));
    }
    return ByteVector(bytes.begin() + static_cast<long>(std::min(start, bytes.size())),
                      bytes.end());
}

} // namespace orvanta::test
