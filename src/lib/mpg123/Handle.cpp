#include "Handle.h"

#include <mutex>
#include <utility>

namespace orvanta::mpg123 {

namespace {

void initialiseOnce()
{
    // A no-op since libmpg123 1.27, but older releases need it before the first handle.
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

mpg123_handle* newHandle()
{
    initialiseOnce();
    return mpg123_new(nullptr, nullptr);
}

} // namespace

Handle::Handle() : m_handle(newHandle()) {}

Handle::~Handle()
{
    mpg123_delete(m_handle); // accepts a null handle
}

Handle::Handle(Handle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}

Handle& Handle::operator=(Handle&& other) noexcept
{
    if (this != &other) {
        mpg123_delete(m_handle);
        m_handle = std::exchange(other.m_handle, nullptr);
    }
    return *this;
}

} // namespace orvanta::mpg123
