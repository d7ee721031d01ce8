#include "Curl.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace orvanta::curl;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

const Global kGlobal;

// Upper bound on any transfer in this file, so that a fault cannot hang the suite.
constexpr long kTransferTimeoutSeconds = 8;

// A socket bound to 127.0.0.1 on a free port; listening only when asked.
int boundSocket(bool listening, std::uint16_t* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        (listening && ::listen(fd, 1) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ADD_FAILURE() << "loopback socket: " << std::strerror(errno);
        return fd;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

// Answers one connection on 127.0.0.1 with a canned response, then keeps the connection open
// for up to holdOpen or until the client leaves. Every wait is sliced and has a deadline.
class OneShotServer
{
public:
    explicit OneShotServer(std::string response, std::chrono::milliseconds holdOpen = 0ms)
        : m_listener(boundSocket(true, &m_port)), m_response(std::move(response)),
          m_holdOpen(holdOpen), m_thread([this] { serve(); })
    {}

    ~OneShotServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/stream"; }

    std::string request() const
    {
        std::lock_guard lock(m_mutex);
        return m_request;
    }

private:
    // Waits until fd has something to read; false on stop or at the deadline.
    bool readable(int fd, Clock::time_point deadline) const
    {
        while (!m_stop && Clock::now() < deadline) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0)
                return true;
        }
        return false;
    }

    void serve()
    {
        const auto deadline = Clock::now() + 10s;
        if (!readable(m_listener, deadline))
            return;
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        std::string head;
        char chunk[4096];
        while (head.find("\r\n\r\n") == std::string::npos && readable(client, deadline)) {
            const ssize_t got = ::recv(client, chunk, sizeof chunk, 0);
            if (got <= 0)
                break;
            head.append(chunk, static_cast<std::size_t>(got));
        }
        {
            std::lock_guard lock(m_mutex);
            m_request = head;
        }
        for (std::size_t sent = 0; sent < m_response.size();) {
            const ssize_t n =
                ::send(client, m_response.data() + sent, m_response.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        // Silent from here on; a read of 0 bytes means the client has gone.
        const auto holdUntil = Clock::now() + m_holdOpen;
        while (readable(client, holdUntil) && ::recv(client, chunk, sizeof chunk, 0) > 0) {
        }
        ::close(client);
    }

    std::uint16_t m_port = 0;
    int m_listener;
    std::string m_response;
    std::chrono::milliseconds m_holdOpen;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::string m_request;
    std::thread m_thread;
};

std::string body(std::size_t length)
{
    std::string result(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        result[i] = static_cast<char>(i * 7 % 251);
    return result;
}

// Records everything; aborts (or throws) at the first call of the kind it is told to.
struct Recorder : Handler
{
    enum class Fail {
        Never,
        HeaderFalse,
        HeaderThrows,
        DataFalse,
        DataThrows,
        ProgressFalse,
        ProgressThrows
    };
    Fail fail = Fail::Never;
    std::vector<std::string> headers;
    std::string data;
    std::size_t dataCalls = 0;
    std::int64_t lastProgress = -1;

    bool onHeader(std::string_view line) override
    {
        headers.emplace_back(line);
        if (fail == Fail::HeaderThrows)
            throw std::runtime_error("header");
        return fail != Fail::HeaderFalse;
    }
    bool onData(const std::uint8_t* bytes, std::size_t length) override
    {
        data.append(reinterpret_cast<const char*>(bytes), length);
        ++dataCalls;
        if (fail == Fail::DataThrows)
            throw 42; // not even a std::exception
        return fail != Fail::DataFalse;
    }
    bool onProgress(std::int64_t downloadedNow) override
    {
        lastProgress = downloadedNow;
        if (fail == Fail::ProgressThrows)
            throw std::runtime_error("progress");
        return fail != Fail::ProgressFalse;
    }
};

Easy transferTo(const std::string& url, Handler& handler)
{
    Easy easy;
    EXPECT_TRUE(easy);
    EXPECT_EQ(easy.setOption(CURLOPT_URL, url), CURLE_OK);
    EXPECT_EQ(easy.setOption(CURLOPT_NOSIGNAL, 1), CURLE_OK);
    EXPECT_EQ(easy.setOption(CURLOPT_TIMEOUT, kTransferTimeoutSeconds), CURLE_OK);
    EXPECT_EQ(easy.setOption(CURLOPT_NOPROGRESS, false), CURLE_OK);
    easy.setHeaderHandler(handler);
    easy.setWriteHandler(handler);
    easy.setProgressHandler(handler);
    easy.useErrorBuffer();
    return easy;
}

} // namespace

TEST(CurlTest, ResponseReachesTheHandlerLineByLineAndInOrder)
{
    ASSERT_TRUE(kGlobal.ok());
    const std::string payload = body(200 * 1024);
    OneShotServer server("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nContent-Length: " +
                         std::to_string(payload.size()) + "\r\n\r\n" + payload);
    Recorder recorder;
    Easy easy = transferTo(server.url(), recorder);
    const Slist headers{"Icy-MetaData: 1", "User-Agent: Orvanta-test"};
    ASSERT_EQ(easy.setOption(CURLOPT_HTTPHEADER, headers), CURLE_OK);

    ASSERT_EQ(easy.perform(), CURLE_OK) << easy.errorText();
    EXPECT_EQ(recorder.headers,
              (std::vector<std::string>{"HTTP/1.0 200 OK\r\n", "Content-Type: audio/mpeg\r\n",
                                        "Content-Length: 204800\r\n", "\r\n"}));
    EXPECT_GT(recorder.dataCalls, 1u) << "the body should arrive in several blocks";
    EXPECT_EQ(recorder.data, payload);
    EXPECT_EQ(recorder.lastProgress, static_cast<std::int64_t>(payload.size()));
    long status = 0;
    EXPECT_EQ(easy.getInfo(CURLINFO_RESPONSE_CODE, &status), CURLE_OK);
    EXPECT_EQ(status, 200);
    EXPECT_NE(server.request().find("\r\nIcy-MetaData: 1\r\nUser-Agent: Orvanta-test\r\n"),
              std::string::npos)
        << server.request();
}

TEST(CurlTest, HandlerRefusalOrExceptionAbortsTheTransfer)
{
    using Fail = Recorder::Fail;
    struct Case
    {
        Fail fail;
        CURLcode expected;
        bool bodyReached;
    };
    const Case cases[] = {
        {Fail::HeaderFalse, CURLE_WRITE_ERROR, false},
        {Fail::HeaderThrows, CURLE_WRITE_ERROR, false},
        {Fail::DataFalse, CURLE_WRITE_ERROR, true},
        {Fail::DataThrows, CURLE_WRITE_ERROR, true},
        {Fail::ProgressFalse, CURLE_ABORTED_BY_CALLBACK, false},
        {Fail::ProgressThrows, CURLE_ABORTED_BY_CALLBACK, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fail));
        // Without the abort this transfer would last until the server gives up.
        OneShotServer server("HTTP/1.0 200 OK\r\nContent-Length: 1000000\r\n\r\n" + body(5000), 5s);
        Recorder recorder;
        recorder.fail = c.fail;
        Easy easy = transferTo(server.url(), recorder);
        const auto started = Clock::now();
        EXPECT_EQ(easy.perform(), c.expected) << easy.errorText();
        EXPECT_LT(Clock::now() - started, 3s);
        EXPECT_EQ(recorder.dataCalls, c.bodyReached ? 1u : 0u) << "nothing after the abort";
    }
}

TEST(CurlTest, ProgressHandlerAbortsATransferThatReceivesNothing)
{
    OneShotServer server("HTTP/1.0 200 OK\r\nContent-Length: 1000000\r\n\r\n" + body(1000), 7s);
    struct Idle : Recorder
    {
        Clock::time_point armed = Clock::time_point::max();
        std::size_t idleReports = 0;
        bool onData(const std::uint8_t* bytes, std::size_t length) override
        {
            Recorder::onData(bytes, length);
            if (data.size() == 1000)
                armed = Clock::now() + 300ms; // the server is silent by then
            return true;
        }
        bool onProgress(std::int64_t downloadedNow) override
        {
            Recorder::onProgress(downloadedNow);
            if (Clock::now() < armed)
                return true;
            ++idleReports;
            return false;
        }
    } idle;
    Easy easy = transferTo(server.url(), idle);

    EXPECT_EQ(easy.perform(), CURLE_ABORTED_BY_CALLBACK) << easy.errorText();
    const auto late = Clock::now() - idle.armed;
    EXPECT_LT(late, 2s) << "progress reports must go on while no data arrives";
    EXPECT_EQ(idle.idleReports, 1u);
    EXPECT_EQ(idle.lastProgress, 1000);
}

TEST(CurlTest, IcyStatusLineIsAcceptedOnlyAsAnAlias)
{
    const std::string payload = body(3000);
    for (const bool alias : {false, true}) {
        SCOPED_TRACE(alias);
        OneShotServer server("ICY 200 OK\r\nicy-name: Test FM\r\nicy-metaint: 8192\r\n\r\n" +
                             payload); // the end of the body is the end of the connection
        Recorder recorder;
        Easy easy = transferTo(server.url(), recorder);
        const Slist aliases{"ICY 200 OK"};
        if (alias) {
            ASSERT_EQ(easy.setOption(CURLOPT_HTTP200ALIASES, aliases), CURLE_OK);
        }
        const CURLcode result = easy.perform();
        if (!alias) {
            EXPECT_NE(result, CURLE_OK);
            EXPECT_TRUE(recorder.data.empty());
            continue;
        }
        EXPECT_EQ(result, CURLE_OK) << easy.errorText();
        EXPECT_EQ(recorder.headers,
                  (std::vector<std::string>{"ICY 200 OK\r\n", "icy-name: Test FM\r\n",
                                            "icy-metaint: 8192\r\n", "\r\n"}));
        EXPECT_EQ(recorder.data, payload);
    }
}

TEST(CurlTest, RefusedConnectionIsExplainedAndTheTextIsPerTransfer)
{
    std::uint16_t port = 0;
    const int closed = boundSocket(false, &port); // bound, never listening: refused
    const std::string refusedUrl = "http://127.0.0.1:" + std::to_string(port) + "/";
    Recorder recorder;

    Easy plain = transferTo(refusedUrl, recorder);
    ASSERT_EQ(plain.setOption(CURLOPT_ERRORBUFFER, nullptr), CURLE_OK);
    ASSERT_EQ(plain.perform(), CURLE_COULDNT_CONNECT);
    EXPECT_EQ(plain.errorText(), "Couldn't connect to server") << "curl_easy_strerror's text";

    Easy detailed = transferTo(refusedUrl, recorder);
    Easy moved = std::move(detailed); // the error buffer must survive the move
    EXPECT_FALSE(detailed);
    EXPECT_NE(detailed.perform(), CURLE_OK) << "a moved-from handle fails but does not crash";
    ASSERT_EQ(moved.perform(), CURLE_COULDNT_CONNECT);
    EXPECT_NE(moved.errorText().find("127.0.0.1 port " + std::to_string(port)), std::string::npos)
        << moved.errorText();

    const std::error_code code = makeErrorCode(moved.lastResult());
    EXPECT_EQ(&code.category(), &curlCategory());
    EXPECT_STREQ(code.category().name(), "curl");
    EXPECT_EQ(code.value(), CURLE_COULDNT_CONNECT);
    EXPECT_EQ(code.message(), "Couldn't connect to server");
    EXPECT_FALSE(makeErrorCode(CURLE_OK));

    // The next transfer on the same handle starts with a clean buffer.
    OneShotServer server("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok");
    ASSERT_EQ(moved.setOption(CURLOPT_URL, server.url()), CURLE_OK);
    ASSERT_EQ(moved.perform(), CURLE_OK);
    EXPECT_EQ(moved.errorText(), "No error");
    ::close(closed);
}

TEST(CurlTest, OptionValuesAreCheckedAgainstTheOptionKind)
{
    Easy easy;
    ASSERT_TRUE(easy);
    EXPECT_EQ(easy.setOption(CURLOPT_VERBOSE, false), CURLE_OK);
    EXPECT_EQ(easy.setOption(CURLOPT_MAX_RECV_SPEED_LARGE, 1 << 20), CURLE_OK);
    EXPECT_EQ(easy.setOption(CURLOPT_USERAGENT, std::string_view("ua-and-more").substr(0, 2)),
              CURLE_OK);
    // A number where a pointer belongs, or a string libcurl would keep after it is gone.
    EXPECT_EQ(easy.setOption(CURLOPT_URL, 5), CURLE_BAD_FUNCTION_ARGUMENT);
    EXPECT_EQ(easy.setOption(CURLOPT_POSTFIELDS, std::string("a=b")), CURLE_BAD_FUNCTION_ARGUMENT);
    EXPECT_EQ(easy.setOption(CURLOPT_TIMEOUT, std::string("5")), CURLE_BAD_FUNCTION_ARGUMENT);
}

TEST(CurlTest, SlistKeepsCopiesInOrderAndMovesOwnership)
{
    Slist list;
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.get(), nullptr);
    const std::string source = "Pragma: no-cache, and text that is not part of the line";
    list.append(std::string_view(source).substr(0, 16)); // not terminated where it ends
    list.append("");
    list.append("ICY 200 OK");
    EXPECT_FALSE(list.empty());
    EXPECT_EQ(list.lines(), (std::vector<std::string>{"Pragma: no-cache", "", "ICY 200 OK"}));

    curl_slist* const head = list.get();
    Slist moved(std::move(list));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(moved.get(), head);
    Slist assigned{"a", "b"};
    assigned = std::move(moved); // the old "a", "b" are freed (ASan would see a leak)
    EXPECT_TRUE(moved.empty());
    EXPECT_EQ(assigned.lines().size(), 3u);
    Slist& same = assigned;
    assigned = std::move(same); // self-assignment keeps the list
    EXPECT_EQ(assigned.get(), head);
}
