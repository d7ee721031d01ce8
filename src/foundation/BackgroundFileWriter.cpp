#include "BackgroundFileWriter.h"

#include "AtomicFile.h"

namespace orvanta {

BackgroundFileWriter::BackgroundFileWriter(std::string path, unsigned mode, ErrorHandler onError)
    : m_path(std::move(path)), m_mode(mode), m_onError(std::move(onError))
{}

BackgroundFileWriter::~BackgroundFileWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundFileWriter::write(std::string bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_waiting = std::move(bytes);
        // Started on first use: a writer that never writes costs no thread.
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
    }
    m_changed.notify_all();
}

void BackgroundFileWriter::flush()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_waiting && !m_writing; });
}

std::size_t BackgroundFileWriter::completedWrites() const
{
    std::lock_guard lock(m_mutex);
    return m_completed;
}

void BackgroundFileWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_waiting || m_stopping; });
        if (!m_waiting)
            return; // stopping with nothing left to write
        const std::string bytes = std::move(*m_waiting);
        m_waiting.reset();
        m_writing = true;
        lock.unlock();
        std::string error;
        const bool written = writeFileAtomically(m_path, bytes, m_mode, error);
        if (!written && m_onError)
            m_onError(error);
        lock.lock();
        m_writing = false;
        if (written)
            ++m_completed;
        m_changed.notify_all();
    }
}

} // namespace orvanta
