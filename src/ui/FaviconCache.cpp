#include "FaviconCache.h"

#include "HttpFetch.h"
#include "StationDirectory.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>
#include <QStandardPaths>

namespace orvanta::ui {

FaviconCache::FaviconCache(const PreferencesReader& prefs, QObject* parent)
    : QObject(parent), m_prefs(prefs)
{}

FaviconCache::~FaviconCache()
{
    m_stopping = true;
    m_worker.joinAll();
}

QString FaviconCache::cachePath(const QString& url)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                           QStringLiteral("/Orvanta/favicons");
    const QByteArray name = QCryptographicHash::hash(url.toUtf8(), QCryptographicHash::Sha1);
    return folder + QLatin1Char('/') + QString::fromLatin1(name.toHex()) + QStringLiteral(".png");
}

QIcon FaviconCache::icon(const QString& url)
{
    if (const auto known = m_icons.constFind(url); known != m_icons.cend())
        return *known;
    if (m_asked.contains(url))
        return {};
    m_asked.insert(url);
    const QString path = cachePath(url);
    QImage kept;
    if (QFileInfo::exists(path) && kept.load(path)) {
        const QIcon found(QPixmap::fromImage(kept));
        m_icons.insert(url, found);
        return found;
    }
    bool start = false;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(url);
        start = !m_fetching;
        m_fetching = true;
    }
    if (start && !m_worker.start("FaviconCache", [this] { fetchQueued(); })) {
        std::lock_guard lock(m_mutex);
        m_fetching = false;
    }
    return {};
}

void FaviconCache::fetchQueued()
{
    for (;;) {
        QString url;
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty() || m_stopping) {
                m_fetching = false;
                return;
            }
            url = m_queue.front();
            m_queue.pop_front();
        }
        HttpRequest request;
        request.url = url.toStdString();
        request.userAgent = StationDirectory::userAgent();
        request.connectTimeoutSeconds = 5;
        request.totalTimeoutSeconds = 10;
        request.maxRedirects = 3;
        const HttpFetchResult result = fetchHttpBody(request, &m_prefs, kMaxIconBytes, &m_stopping);
        // Decoded here, so a broken or hostile image never reaches the window; what is
        // kept is a small PNG of our own.
        QImage image;
        QByteArray png;
        if (result.ok() &&
            image.loadFromData(reinterpret_cast<const uchar*>(result.body.data()),
                               static_cast<int>(result.body.size())) &&
            !image.isNull()) {
            image =
                image.scaled(kIconSize, kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
        }
        QMetaObject::invokeMethod(
            this, [this, url, png] { arrived(url, png); }, Qt::QueuedConnection);
    }
}

void FaviconCache::arrived(const QString& url, const QByteArray& png)
{
    QImage image;
    if (png.isEmpty() || !image.loadFromData(png))
        return; // no image there: not asked again while the program runs
    const QString path = cachePath(url);
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(png);
        file.commit();
    }
    m_icons.insert(url, QIcon(QPixmap::fromImage(image)));
    emit iconArrived(url);
}

} // namespace orvanta::ui
