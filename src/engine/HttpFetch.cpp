#include "HttpFetch.h"

#include "Localization.h"

#include <algorithm>
#include <cctype>

namespace orvanta {

namespace {

class BodyCollector final : public curl::Handler
{
public:
    BodyCollector(std::size_t maxBytes, const std::atomic<bool>* cancelled)
        : m_maxBytes(maxBytes), m_cancelled(cancelled)
    {}

    bool onHeader(std::string_view line) override
    {
        if (const auto status = parseStatusLine(line)) {
            // Every response of a redirection chain starts afresh.
            m_status = *status;
            m_contentType.clear();
            return true;
        }
        constexpr std::string_view kContentType = "content-type:";
        if (line.size() > kContentType.size() &&
            std::equal(kContentType.begin(), kContentType.end(), line.begin(),
                       [](char a, char b) { return a == std::tolower((unsigned char)b); })) {
            std::string_view value = line.substr(kContentType.size());
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
                value.remove_prefix(1);
            while (!value.empty() && (value.back() == '\r' || value.back() == '\n'))
                value.remove_suffix(1);
            m_contentType = std::string(value);
        }
        return true;
    }

    bool onData(const std::uint8_t* data, std::size_t length) override
    {
        if (m_body.size() + length > m_maxBytes) {
            m_tooLarge = true;
            return false;
        }
        m_body.append(reinterpret_cast<const char*>(data), length);
        return true;
    }

    bool onProgress(std::int64_t) override { return !(m_cancelled && m_cancelled->load()); }

    const StatusLine& status() const { return m_status; }
    const std::string& contentType() const { return m_contentType; }
    std::string& body() { return m_body; }
    bool tooLarge() const { return m_tooLarge; }

private:
    std::size_t m_maxBytes;
    const std::atomic<bool>* m_cancelled;
    StatusLine m_status;
    std::string m_contentType;
    std::string m_body;
    bool m_tooLarge = false;
};

} // namespace

HttpFetchResult fetchHttpBody(const HttpRequest& request, const PreferencesReader* prefs,
                              std::size_t maxBytes, const std::atomic<bool>* cancelled)
{
    HttpFetchResult result;
    BodyCollector collector(maxBytes, cancelled);
    auto transfer = HttpTransfer::create(request, prefs, collector, result.error);
    if (!transfer)
        return result;
    const CURLcode code = transfer->perform();
    result.status = collector.status().code;
    result.contentType = collector.contentType();
    if (cancelled && cancelled->load()) {
        result.error = Orvanta::tr("Cancelled");
    } else if (collector.tooLarge()) {
        result.error = Orvanta::tr("The server's answer is too large");
    } else if (code != CURLE_OK) {
        const std::string detail = transfer->errorText();
        result.error =
            Orvanta::tr("Could not reach the server (%1)",
                        {detail.empty() ? std::string(curl_easy_strerror(code)) : detail});
    } else if (result.status >= 400) {
        result.error = httpErrorText(collector.status());
    } else if (result.status < 200 || result.status >= 300) {
        result.error = Orvanta::tr("The server gave an unexpected answer (%1)",
                                   {std::to_string(result.status)});
    }
    if (result.ok())
        result.body = std::move(collector.body());
    return result;
}

} // namespace orvanta
