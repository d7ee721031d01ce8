#pragma once

// Owns one libcurl easy handle and, once useErrorBuffer() is called, its error buffer.
//
// Move-only; moving keeps the registered error buffer valid (it lives on the heap). Handlers
// are not owned: each must outlive the transfers it is set for.
// Thread: one thread at a time; the handlers run on the thread that calls perform().

#include "Handler.h"
#include "Slist.h"

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include <curl/curl.h>

namespace orvanta::curl {

class Easy
{
public:
    /// curl_easy_init; check with operator bool, since it can fail.
    Easy();
    ~Easy();

    Easy(Easy&& other) noexcept;
    Easy& operator=(Easy&& other) noexcept;
    Easy(const Easy&) = delete;
    Easy& operator=(const Easy&) = delete;

    explicit operator bool() const { return m_handle != nullptr; }
    CURL* get() const { return m_handle; }

    /// curl_easy_setopt, with the value brought to the type the option's kind expects
    /// (long for numbers and flags, curl_off_t for *_LARGE options), since a mismatched
    /// variadic argument is undefined behaviour. Strings are copied by libcurl;
    /// CURLOPT_POSTFIELDS, which libcurl does not copy, takes only a plain pointer.
    template <typename T> CURLcode setOption(CURLoption option, T value);

    /// The list is not copied: it must outlive the transfers that use it.
    CURLcode setOption(CURLoption option, const Slist& list)
    {
        return curl_easy_setopt(m_handle, option, list.get());
    }

    /// curl_easy_getinfo into *out, whose type must be the one the item documents.
    template <typename T> CURLcode getInfo(CURLINFO info, T* out) const
    {
        return curl_easy_getinfo(m_handle, info, out);
    }

    /// CURLOPT_HEADERFUNCTION and CURLOPT_HEADERDATA.
    void setHeaderHandler(Handler& handler);
    /// CURLOPT_WRITEFUNCTION and CURLOPT_WRITEDATA.
    void setWriteHandler(Handler& handler);
    /// CURLOPT_XFERINFOFUNCTION and CURLOPT_XFERINFODATA; the caller also clears
    /// CURLOPT_NOPROGRESS, or libcurl never calls it.
    void setProgressHandler(Handler& handler);

    /// CURLOPT_ERRORBUFFER to a buffer of CURL_ERROR_SIZE bytes owned here.
    void useErrorBuffer();

    /// curl_easy_perform; the error buffer is cleared first, so errorText() always describes
    /// this transfer.
    CURLcode perform();

    /// The last perform()'s result (CURLE_OK before the first).
    CURLcode lastResult() const { return m_lastResult; }

    /// libcurl's detailed text from the error buffer, or curl_easy_strerror of the last
    /// result when the buffer is empty or not used.
    std::string errorText() const;

private:
    template <typename T>
    static constexpr bool kIsString =
        std::is_same_v<T, std::string> || std::is_same_v<T, std::string_view>;

    CURL* m_handle;
    std::unique_ptr<char[]> m_errorBuffer;
    CURLcode m_lastResult = CURLE_OK;
};

template <typename T> CURLcode Easy::setOption(CURLoption option, T value)
{
    // The option numbers encode the kind of their argument (see CURLOPTTYPE_* in curl.h).
    const bool takesOffset = option >= CURLOPTTYPE_OFF_T && option < CURLOPTTYPE_BLOB;
    const bool takesLong = option < CURLOPTTYPE_OBJECTPOINT;
    if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
        if (takesOffset)
            return curl_easy_setopt(m_handle, option, static_cast<curl_off_t>(value));
        if (takesLong)
            return curl_easy_setopt(m_handle, option, static_cast<long>(value));
        return CURLE_BAD_FUNCTION_ARGUMENT;
    } else if constexpr (kIsString<T>) {
        // The temporary copy dies on return, which only options that libcurl copies allow.
        if (takesOffset || takesLong || option == CURLOPT_POSTFIELDS)
            return CURLE_BAD_FUNCTION_ARGUMENT;
        const std::string terminated(value);
        return curl_easy_setopt(m_handle, option, terminated.c_str());
    } else {
        static_assert(std::is_pointer_v<T> || std::is_null_pointer_v<T>,
                      "setOption takes a number, a string, a pointer or a function pointer");
        if (takesOffset || takesLong)
            return CURLE_BAD_FUNCTION_ARGUMENT;
        return curl_easy_setopt(m_handle, option, value);
    }
}

} // namespace orvanta::curl
