#include "Easy.h"

#include <utility>

namespace orvanta::curl {

namespace {

// The trampolines are the only code libcurl calls: nothing may unwind through its C frames,
// so every exception becomes an abort of the transfer.

// Any count other than the one given makes libcurl abort with CURLE_WRITE_ERROR.
constexpr std::size_t kAbortWrite = 0;

std::size_t headerTrampoline(char* buffer, std::size_t size, std::size_t count,
                             void* handler) noexcept
{
    const std::size_t length = size * count;
    try {
        const bool go = static_cast<Handler*>(handler)->onHeader(std::string_view(buffer, length));
        return go ? length : kAbortWrite;
    } catch (...) {
        return kAbortWrite;
    }
}

std::size_t writeTrampoline(char* buffer, std::size_t size, std::size_t count,
                            void* handler) noexcept
{
    const std::size_t length = size * count;
    try {
        const bool go = static_cast<Handler*>(handler)->onData(
            reinterpret_cast<const std::uint8_t*>(buffer), length);
        return go ? length : kAbortWrite;
    } catch (...) {
        return kAbortWrite;
    }
}

// Non-zero makes libcurl abort with CURLE_ABORTED_BY_CALLBACK.
int progressTrampoline(void* handler, curl_off_t /*downloadTotal*/, curl_off_t downloadNow,
                       curl_off_t /*uploadTotal*/, curl_off_t /*uploadNow*/) noexcept
{
    try {
        return static_cast<Handler*>(handler)->onProgress(downloadNow) ? 0 : 1;
    } catch (...) {
        return 1;
    }
}

} // namespace

Easy::Easy() : m_handle(curl_easy_init()) {}

Easy::~Easy()
{
    curl_easy_cleanup(m_handle);
}

Easy::Easy(Easy&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)),
      m_errorBuffer(std::move(other.m_errorBuffer)), m_lastResult(other.m_lastResult)
{}

Easy& Easy::operator=(Easy&& other) noexcept
{
    if (this != &other) {
        curl_easy_cleanup(m_handle);
        m_handle = std::exchange(other.m_handle, nullptr);
        m_errorBuffer = std::move(other.m_errorBuffer);
        m_lastResult = other.m_lastResult;
    }
    return *this;
}

void Easy::setHeaderHandler(Handler& handler)
{
    curl_easy_setopt(m_handle, CURLOPT_HEADERFUNCTION, &headerTrampoline);
    curl_easy_setopt(m_handle, CURLOPT_HEADERDATA, static_cast<void*>(&handler));
}

void Easy::setWriteHandler(Handler& handler)
{
    curl_easy_setopt(m_handle, CURLOPT_WRITEFUNCTION, &writeTrampoline);
    curl_easy_setopt(m_handle, CURLOPT_WRITEDATA, static_cast<void*>(&handler));
}

void Easy::setProgressHandler(Handler& handler)
{
    curl_easy_setopt(m_handle, CURLOPT_XFERINFOFUNCTION, &progressTrampoline);
    curl_easy_setopt(m_handle, CURLOPT_XFERINFODATA, static_cast<void*>(&handler));
}

void Easy::useErrorBuffer()
{
    if (!m_errorBuffer)
        m_errorBuffer = std::make_unique<char[]>(CURL_ERROR_SIZE);
    m_errorBuffer[0] = '\0';
    curl_easy_setopt(m_handle, CURLOPT_ERRORBUFFER, m_errorBuffer.get());
}

CURLcode Easy::perform()
{
    if (m_errorBuffer)
        m_errorBuffer[0] = '\0';
    m_lastResult = curl_easy_perform(m_handle);
    return m_lastResult;
}

std::string Easy::errorText() const
{
    if (m_errorBuffer && m_errorBuffer[0] != '\0')
        return std::string(m_errorBuffer.get());
    return curl_easy_strerror(m_lastResult);
}

} // namespace orvanta::curl
