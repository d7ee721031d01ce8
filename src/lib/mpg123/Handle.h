#pragma once

// Owns one libmpg123 decoder handle (mpg123_new / mpg123_delete).
//
// Move-only. Thread: one thread at a time; separate handles may be used concurrently.

#include <mpg123.h>

namespace orvanta::mpg123 {

class Handle
{
public:
    /// mpg123_new with the default decoder; check with operator bool, since it can fail.
    Handle();
    ~Handle();

    Handle(Handle&& other) noexcept;
    Handle& operator=(Handle&& other) noexcept;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    explicit operator bool() const { return m_handle != nullptr; }
    mpg123_handle* get() const { return m_handle; }

private:
    mpg123_handle* m_handle;
};

} // namespace orvanta::mpg123
