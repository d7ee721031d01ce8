#include "FileManagerLink.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace orvanta::ui {

ShowItemResult showItemInFileManager(const QString& path)
{
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Asked only when a file manager is there (or can be started): otherwise the call
    // would wait for its time-out before failing.
    const bool available = bus.isConnected() && bus.interface() &&
                           (bus.interface()->isServiceRegistered(service).value() ||
                            bus.interface()->activatableServiceNames().value().contains(service));
    if (available) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                           service, QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
        if (bus.send(call))
            return ShowItemResult::FileManagerCalled;
    }
    const QFileInfo file(path);
    const QString folder = file.isDir() ? file.absoluteFilePath() : file.absolutePath();
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder)) ? ShowItemResult::FolderOpened
                                                                  : ShowItemResult::Failed;
}

} // namespace orvanta::ui
