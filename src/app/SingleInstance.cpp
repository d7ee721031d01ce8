#include "SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace orvanta::app {

namespace {
constexpr qsizetype kMaxMessageBytes = 64 * 1024;
}

QString SingleInstance::socketPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/orvanta-instance");
}

SingleInstance::SingleInstance(QString path) : m_path(std::move(path)) {}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

bool SingleInstance::handOver(const QStringList& open, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray message = "activate\n";
    for (const QString& item : open)
        message += "open " + item.toUtf8().replace('\n', ' ') + "\n";
    message += "end\n";
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The answer says the running program has taken it; without one, this start goes on.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    return socket.readLine().trimmed() == "ok";
}

bool SingleInstance::listen(Handler handler)
{
    m_handler = std::move(handler);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_path)) {
        // A socket file nobody answers on is left from a program that ended abruptly.
        QLocalServer::removeServer(m_path);
        if (!m_server->listen(m_path))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::serve);
    return true;
}

void SingleInstance::serve()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // Read up to the end of the message; a peer that sends too much is dropped.
            if (socket->bytesAvailable() > kMaxMessageBytes) {
                socket->abort();
                return;
            }
            QByteArray buffered = socket->property("buffered").toByteArray() + socket->readAll();
            if (buffered.size() > kMaxMessageBytes) {
                socket->abort();
                return;
            }
            // "end" on a line of its own; an address may well end in "end" too.
            if (!buffered.endsWith("\nend\n")) {
                socket->setProperty("buffered", buffered);
                return;
            }
            QStringList open;
            bool activate = false;
            for (const QByteArray& line : buffered.split('\n')) {
                if (line == "activate")
                    activate = true;
                else if (line.startsWith("open "))
                    open.append(QString::fromUtf8(line.mid(5)));
            }
            socket->write("ok\n");
            socket->flush();
            if (activate && m_handler)
                m_handler(open);
        });
    }
}

} // namespace orvanta::app
