#include "IcyTestServer.h"

#include "IcyTestNet.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvanta::test {

using namespace net;

namespace {

// ---------------------------------------------------------------------------------------------
// Mounts and the body of a stream

struct Resource
{
    bool isFile = false;
    std::string contentType, body;        // file
    IcyMount mount;                       // stream; titles sorted
    std::vector<std::string> titleBlocks; // per title: length byte + padded text
};

std::string metadataBlock(const IcyTitle& title)
{
    std::string text;
    if (title.raw) {
        text = title.text.substr(0, kMaxMetadataBytes);
    } else {
        static const std::string kPrefix = "StreamTitle='";
        static const std::string kSuffix = "';StreamUrl='';";
        text = kPrefix + title.text.substr(0, kMaxMetadataBytes - kPrefix.size() - kSuffix.size()) +
               kSuffix;
    }
    const std::size_t blocks = (text.size() + 15) / 16;
    std::string out(1, static_cast<char>(blocks));
    out += text;
    out.resize(1 + blocks * 16, '\0');
    return out;
}

const std::string& emptyMetadataBlock()
{
    static const std::string kEmpty(1, '\0');
    return kEmpty;
}

// Produces the body of one connection: audio with metadata blocks every metaint audio bytes.
class BodyGenerator
{
public:
    BodyGenerator(const Resource& resource, bool framing, bool onePass)
        : m_resource(resource),
          m_metaint(framing ? static_cast<std::uint64_t>(resource.mount.metaint) : 0),
          m_loop(resource.mount.loop && !onePass)
    {}

    // Fills up to max bytes; returns how many (0 only at the end of a finite body).
    std::size_t next(std::uint8_t* out, std::size_t max)
    {
        const auto& audio = m_resource.mount.audio;
        const std::uint64_t size = audio.size();
        std::size_t n = 0;
        m_metadataSpans.clear();
        while (n < max) {
            if (m_block) {
                const std::size_t take = std::min(max - n, m_block->size() - m_blockPos);
                std::memcpy(out + n, m_block->data() + m_blockPos, take);
                m_metadataSpans.emplace_back(n, n + take);
                n += take;
                m_blockPos += take;
                if (m_blockPos == m_block->size())
                    m_block = nullptr;
                continue;
            }
            if (m_metaint && m_fill == m_metaint) {
                m_block = &blockAfter(m_audio);
                m_blockPos = 0;
                m_fill = 0;
                continue;
            }
            if (size == 0 || (!m_loop && m_audio >= size))
                break;
            const std::uint64_t position = m_loop ? m_audio % size : m_audio;
            std::uint64_t take = std::min<std::uint64_t>(max - n, size - position);
            if (m_metaint)
                take = std::min(take, m_metaint - m_fill);
            std::memcpy(out + n, audio.data() + position, static_cast<std::size_t>(take));
            n += static_cast<std::size_t>(take);
            m_audio += take;
            m_fill += take;
        }
        return n;
    }

    // The metadata block (length byte first) that follows audio byte end (a multiple of
    // metaint); advances the schedule of titles sent.
    const std::string& blockAfter(std::uint64_t end)
    {
        const auto& titles = m_resource.mount.titles;
        const std::uint64_t size = m_resource.mount.audio.size();
        const std::int64_t count = static_cast<std::int64_t>(titles.size());
        if (count == 0)
            return emptyMetadataBlock();
        std::uint64_t pass = 0;
        std::uint64_t offset = end;
        if (m_loop && size > 0) {
            pass = end / size;
            offset = end % size;
        }
        auto greatestAtOrBefore = [&titles](std::uint64_t at) -> std::int64_t {
            const auto it = std::upper_bound(titles.begin(), titles.end(), at,
                                             [](std::uint64_t value, const IcyTitle& title) {
                                                 return value < title.atAudioByte;
                                             });
            return static_cast<std::int64_t>(it - titles.begin()) - 1;
        };
        std::int64_t index = greatestAtOrBefore(offset);
        if (index < 0 && m_loop && pass > 0 && size > 0) {
            index = greatestAtOrBefore(size - 1); // the previous pass's last title
            --pass;
        }
        if (index < 0)
            return emptyMetadataBlock();
        const std::int64_t event = static_cast<std::int64_t>(pass) * count + index;
        if (!m_resource.mount.repeatTitle) {
            if (event <= m_lastEvent)
                return emptyMetadataBlock();
            m_lastEvent = event;
        }
        return m_resource.titleBlocks[static_cast<std::size_t>(index)];
    }

    // The audio bytes among bytes [from, to) of the last next()'s output.
    std::uint64_t audioBytesIn(std::size_t from, std::size_t to) const
    {
        std::uint64_t metadata = 0;
        for (const auto& [begin, end] : m_metadataSpans)
            if (begin < to && from < end)
                metadata += std::min(end, to) - std::max(begin, from);
        return to - from - metadata;
    }

private:
    const Resource& m_resource;
    std::vector<std::pair<std::size_t, std::size_t>> m_metadataSpans; // of the last next()
    const std::uint64_t m_metaint;
    const bool m_loop;
    std::uint64_t m_audio = 0; // audio bytes produced
    std::uint64_t m_fill = 0;  // audio bytes since the last metadata block
    const std::string* m_block = nullptr;
    std::size_t m_blockPos = 0;
    std::int64_t m_lastEvent = -1;
};

std::uint64_t onePassBodySize(const Resource& resource, bool framing)
{
    const std::uint64_t size = resource.mount.audio.size();
    std::uint64_t total = size;
    if (framing && resource.mount.metaint > 0) {
        const auto metaint = static_cast<std::uint64_t>(resource.mount.metaint);
        BodyGenerator generator(resource, true, true);
        for (std::uint64_t end = metaint; end <= size; end += metaint)
            total += generator.blockAfter(end).size();
    }
    return total;
}

// Sends the body of a stream, paced and limited as the mount says.
void streamBody(int fd, int stopFd, const Resource& resource, bool framing,
                std::atomic<std::uint64_t>& audioSent)
{
    const IcyMount& mount = resource.mount;
    BodyGenerator generator(resource, framing, false);
    const std::size_t chunk = std::max<std::size_t>(1, mount.sendChunk);
    const std::uint64_t rate = mount.bytesPerSecond;
    const std::uint64_t grain = rate ? std::clamp<std::uint64_t>(rate / 4, 1, chunk) : chunk;
    const std::uint64_t limit = std::min(mount.stallAfterBodyBytes, mount.closeAfterBodyBytes);
    std::vector<std::uint8_t> buffer(chunk);
    std::size_t have = 0;
    std::size_t offset = 0;
    std::uint64_t sent = 0;
    const auto start = Clock::now();

    for (;;) {
        if (sent >= mount.closeAfterBodyBytes)
            return;
        if (sent >= mount.stallAfterBodyBytes) {
            holdOpen(fd, stopFd);
            return;
        }
        if (offset == have) {
            have = generator.next(buffer.data(), static_cast<std::size_t>(
                                                     std::min<std::uint64_t>(chunk, limit - sent)));
            offset = 0;
            if (have == 0)
                return; // the end of a finite body
        }
        std::size_t count = have - offset;
        if (rate) {
            using Wide = unsigned __int128;
            const std::uint64_t need = std::min<std::uint64_t>(count, grain);
            const auto elapsed =
                std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
            const auto due = static_cast<std::uint64_t>(Wide(elapsed) * rate / 1'000'000'000u);
            if (due < sent + need) {
                const auto at = static_cast<std::int64_t>(
                    (Wide(sent + need) * 1'000'000'000u + rate - 1) / rate);
                if (!sleepOnConnection(fd, stopFd, start + std::chrono::nanoseconds(at)))
                    return;
                continue;
            }
            count = static_cast<std::size_t>(std::min<std::uint64_t>(count, due - sent));
        }
        const ssize_t r = ::send(fd, buffer.data() + offset, count, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (r > 0) {
            audioSent += generator.audioBytesIn(offset, offset + static_cast<std::size_t>(r));
            offset += static_cast<std::size_t>(r);
            sent += static_cast<std::uint64_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitFd(fd, POLLOUT, stopFd, std::nullopt) == Wake::Stop)
                return;
            continue;
        }
        return; // the client is gone
    }
}

void serveMount(int fd, int stopFd, const Resource& resource, const Request& request,
                std::atomic<std::uint64_t>& audioSent)
{
    const IcyMount& mount = resource.mount;
    if (mount.headerDelayMs > 0 &&
        !sleepOnConnection(fd, stopFd,
                           Clock::now() + std::chrono::milliseconds(mount.headerDelayMs)))
        return;

    if (!mount.user.empty() || !mount.password.empty()) {
        const std::string expected = base64(mount.user + ":" + mount.password);
        const std::string given = request.header("authorization").value_or("");
        const auto space = given.find(' ');
        const bool ok = space != std::string::npos && lower(given.substr(0, space)) == "basic" &&
                        trim(given.substr(space + 1)) == expected;
        if (!ok) {
            std::vector<std::string> headers = {"WWW-Authenticate: Basic realm=\"Orvanta Test\""};
            headers.insert(headers.end(), mount.extraHeaders.begin(), mount.extraHeaders.end());
            sendAll(fd, stopFd, simpleResponse(401, headers));
            return;
        }
    }
    if (!mount.redirectTo.empty()) {
        const int code = mount.statusCode == 301 || mount.statusCode == 302 ||
                                 mount.statusCode == 303 || mount.statusCode == 307 ||
                                 mount.statusCode == 308
                             ? mount.statusCode
                             : 302;
        std::vector<std::string> headers = {"Location: " + mount.redirectTo};
        headers.insert(headers.end(), mount.extraHeaders.begin(), mount.extraHeaders.end());
        sendAll(fd, stopFd, simpleResponse(code, headers));
        return;
    }
    if (mount.statusCode != 200) {
        sendAll(fd, stopFd, simpleResponse(mount.statusCode, mount.extraHeaders, mount.errorBody));
        return;
    }

    const bool asked = trim(request.header("icy-metadata").value_or("")) == "1";
    const bool offered = (mount.metaint > 0 || !mount.metaintHeaderValue.empty()) &&
                         (asked || !mount.metadataOnlyWhenAsked);
    const std::string realMetaint = std::to_string(mount.metaint);
    const bool framing =
        offered && mount.metaint > 0 &&
        (mount.metaintHeaderValue.empty() || mount.metaintHeaderValue == realMetaint);
    const std::string metaintLine =
        mount.metaintHeaderName + ":" +
        (mount.metaintHeaderValue.empty() ? realMetaint : mount.metaintHeaderValue) + "\r\n";

    std::string head;
    if (mount.style == IcyMount::Style::Shoutcast) {
        head = "ICY 200 OK\r\n";
        head += "icy-notice1:<BR>This stream requires <a "
                "href=\"http://www.winamp.com/\">Winamp</a><BR>\r\n";
        if (!mount.name.empty())
            head += "icy-name:" + mount.name + "\r\n";
        if (!mount.genre.empty())
            head += "icy-genre:" + mount.genre + "\r\n";
        if (!mount.url.empty())
            head += "icy-url:" + mount.url + "\r\n";
        head += "content-type:" + mount.contentType + "\r\n";
        head += "icy-pub:1\r\n";
        if (mount.bitrate > 0)
            head += "icy-br:" + std::to_string(mount.bitrate) + "\r\n";
        if (offered)
            head += metaintLine;
    } else {
        head = "HTTP/1.0 200 OK\r\n";
        head += "Content-Type: " + mount.contentType + "\r\n";
        if (!mount.name.empty())
            head += "icy-name:" + mount.name + "\r\n";
        if (!mount.genre.empty())
            head += "icy-genre:" + mount.genre + "\r\n";
        if (mount.bitrate > 0)
            head += "icy-br:" + std::to_string(mount.bitrate) + "\r\n";
        if (!mount.url.empty())
            head += "icy-url:" + mount.url + "\r\n";
        if (offered)
            head += metaintLine;
        head += "Server: Icecast 2.4.4\r\n";
    }
    if (mount.sendContentLength)
        head += "Content-Length: " + std::to_string(onePassBodySize(resource, framing)) + "\r\n";
    for (const auto& line : mount.extraHeaders)
        head += line + "\r\n";
    head += "\r\n";
    if (!sendAll(fd, stopFd, head) || request.method == "HEAD")
        return;
    streamBody(fd, stopFd, resource, framing, audioSent);
}

} // namespace

// -------------------------------------------------------------------------------------------------
// IcyTestServer

struct IcyTestServer::Impl
{
    explicit Impl(std::uint16_t port) : listener(port) {}

    void handle(int fd, int stopFd)
    {
        std::string head, rest;
        bool tooLarge = false;
        if (!readHead(fd, stopFd, &head, &rest, &tooLarge))
            return;
        {
            std::lock_guard lock(mutex);
            requests.push_back(head);
            ++connections;
        }
        countChanged.notify_all();
        Request request;
        if (tooLarge || !parseRequest(head, &request)) {
            sendAll(fd, stopFd, simpleResponse(400));
            return;
        }
        if (request.method != "GET" && request.method != "HEAD") {
            sendAll(fd, stopFd, simpleResponse(405, {"Allow: GET, HEAD"}));
            return;
        }
        std::shared_ptr<const Resource> resource;
        bool fail = false;
        {
            std::lock_guard lock(mutex);
            const auto it = resources.find(pathOf(request.target));
            if (it != resources.end())
                resource = it->second;
            if (auto failing = failures.find(pathOf(request.target));
                failing != failures.end() && failing->second > 0) {
                --failing->second;
                fail = true;
            }
        }
        if (fail) {
            sendAll(fd, stopFd, simpleResponse(503));
            return;
        }
        if (!resource) {
            sendAll(fd, stopFd, simpleResponse(404));
            return;
        }
        if (resource->isFile) {
            std::string response = "HTTP/1.0 200 OK\r\nContent-Type: " + resource->contentType +
                                   "\r\nContent-Length: " + std::to_string(resource->body.size()) +
                                   "\r\nConnection: close\r\n\r\n";
            if (request.method != "HEAD")
                response += resource->body;
            sendAll(fd, stopFd, response);
            return;
        }
        serveMount(fd, stopFd, *resource, request, audioSent);
    }

    Listener listener;
    mutable std::mutex mutex;
    mutable std::condition_variable countChanged;
    std::map<std::string, std::shared_ptr<const Resource>> resources;
    std::map<std::string, int> failures; // requests still to answer 503, by path
    std::vector<std::string> requests;
    int connections = 0;
    std::atomic<std::uint64_t> audioSent{0};
};

IcyTestServer::IcyTestServer() : IcyTestServer(0) {}

IcyTestServer::IcyTestServer(std::uint16_t port) : m_impl(std::make_unique<Impl>(port))
{
    Impl* impl = m_impl.get();
    m_impl->listener.start([impl](int fd, int stopFd) { impl->handle(fd, stopFd); });
}

IcyTestServer::~IcyTestServer()
{
    m_impl->listener.stop();
}

void IcyTestServer::addMount(const std::string& path, IcyMount mount)
{
    auto resource = std::make_shared<Resource>();
    std::stable_sort(
        mount.titles.begin(), mount.titles.end(),
        [](const IcyTitle& a, const IcyTitle& b) { return a.atAudioByte < b.atAudioByte; });
    for (const auto& title : mount.titles)
        resource->titleBlocks.push_back(metadataBlock(title));
    resource->mount = std::move(mount);
    std::lock_guard lock(m_impl->mutex);
    m_impl->resources[path] = std::move(resource);
}

void IcyTestServer::addFile(const std::string& path, std::string contentType, std::string body)
{
    auto resource = std::make_shared<Resource>();
    resource->isFile = true;
    resource->contentType = std::move(contentType);
    resource->body = std::move(body);
    std::lock_guard lock(m_impl->mutex);
    m_impl->resources[path] = std::move(resource);
}

void IcyTestServer::failNextRequests(const std::string& path, int count)
{
    std::lock_guard lock(m_impl->mutex);
    m_impl->failures[path] = count;
}

void IcyTestServer::removePath(const std::string& path)
{
    std::lock_guard lock(m_impl->mutex);
    m_impl->resources.erase(path);
}

std::uint16_t IcyTestServer::port() const
{
    return m_impl->listener.port();
}

std::string IcyTestServer::url(const std::string& path) const
{
    const std::string slash = !path.empty() && path.front() == '/' ? "" : "/";
    return "http://127.0.0.1:" + std::to_string(port()) + slash + path;
}

int IcyTestServer::connectionCount() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->connections;
}

std::vector<std::string> IcyTestServer::requests() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->requests;
}

bool IcyTestServer::waitForConnections(int count, int timeoutMs) const
{
    std::unique_lock lock(m_impl->mutex);
    return m_impl->countChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                         [&] { return m_impl->connections >= count; });
}

std::uint64_t IcyTestServer::audioBytesSent() const
{
    return m_impl->audioSent.load();
}

int IcyTestServer::openConnectionCount() const
{
    return m_impl->listener.openCount();
}

void IcyTestServer::dropAllConnections()
{
    m_impl->listener.dropAll();
}

} // namespace orvanta::test
