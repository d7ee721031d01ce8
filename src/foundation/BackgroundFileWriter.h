#pragma once

// Writes a file of ours off the caller's thread: the caller hands over the bytes (taken
// where the data lives), a thread of the writer's own replaces the file atomically and
// syncs it. A newer write given while one is on its way replaces the one still waiting,
// so bursts cost one write each way; flush() waits until the newest bytes are on disc.
//
// Thread-safe. The destructor writes what is still waiting, then joins its thread.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace orvanta {

class BackgroundFileWriter
{
public:
    /// Called on the writer's thread when a write fails, with the reason.
    using ErrorHandler = std::function<void(const std::string& error)>;

    BackgroundFileWriter(std::string path, unsigned mode, ErrorHandler onError = {});
    ~BackgroundFileWriter();
    BackgroundFileWriter(const BackgroundFileWriter&) = delete;
    BackgroundFileWriter& operator=(const BackgroundFileWriter&) = delete;

    /// Queues bytes as the file's next content; returns at once.
    void write(std::string bytes);
    /// Waits until nothing is waiting or being written.
    void flush();
    /// Writes that reached the disc (for tests).
    std::size_t completedWrites() const;

private:
    void run();

    const std::string m_path;
    const unsigned m_mode;
    ErrorHandler m_onError;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<std::string> m_waiting;
    bool m_writing = false;
    bool m_stopping = false;
    std::size_t m_completed = 0;
    std::thread m_thread;
};

} // namespace orvanta
