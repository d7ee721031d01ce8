#include "Log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

#include <syslog.h>
#include <unistd.h>

namespace orvanta {

namespace {

std::mutex& sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

LogSink& sinkSlot()
{
    static LogSink sink;
    return sink;
}

void emit(const std::string& line)
{
    static std::once_flag opened;
    std::call_once(opened, [] { ::openlog("Orvanta", LOG_PID, LOG_USER); });
    ::syslog(LOG_NOTICE, "%s", line.c_str());
    if (::isatty(STDERR_FILENO))
        std::fprintf(stderr, "Orvanta: %s\n", line.c_str());
    LogSink sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = sinkSlot();
    }
    // Called outside the lock, so a sink may log or replace itself.
    if (sink)
        sink(line);
}

} // namespace

void logMessage(std::string_view operation, std::string_view text)
{
    std::string line;
    line.reserve(operation.size() + 3 + text.size());
    line.append(operation).append(" : ").append(text);
    emit(line);
}

void logFormat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string line;
    if (length > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, args);
        line.assign(buffer.data(), static_cast<std::size_t>(length));
    }
    va_end(args);
    emit(line);
}

LogSink setLogSink(LogSink sink)
{
    std::lock_guard lock(sinkMutex());
    LogSink previous = std::move(sinkSlot());
    sinkSlot() = std::move(sink);
    return previous;
}

} // namespace orvanta
