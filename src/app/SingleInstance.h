#pragma once

// One Orvanta per user: the first start listens on a local socket in the user's runtime
// folder; a later start hands its addresses and files to it, which raises its window and
// adds them, and then ends. A socket left by a program that crashed is taken over.
//
// Messages are lines: "activate", then one "open <address or path>" per argument; the
// running program answers "ok".
//
// Thread: main.

#include <QObject>
#include <QStringList>

#include <functional>

class QLocalServer;

namespace orvanta::app {

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    /// What the running program does with a later start's message: raise the window and
    /// open these (maybe none).
    using Handler = std::function<void(const QStringList& open)>;

    /// The socket's path: <runtime folder>/orvanta-instance.
    static QString socketPath();

    explicit SingleInstance(QString path = socketPath());
    ~SingleInstance() override;

    /// Hands open to a running program; true when one took it (this start should end).
    bool handOver(const QStringList& open, int timeoutMs = 2000);
    /// Becomes the running program; false when the socket could not be made.
    bool listen(Handler handler);

private:
    void serve();

    QString m_path;
    QLocalServer* m_server = nullptr;
    Handler m_handler;
};

} // namespace orvanta::app
