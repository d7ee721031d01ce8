#pragma once

// Station icons from the station directory, fetched when first shown and kept in the
// user's cache folder ($XDG_CACHE_HOME/Orvanta/favicons), so a later search shows them at
// once. An address that gives no image is not asked again while the program runs.
//
// Thread: main; one worker fetches, in the order asked, and hands each icon back through
// a queued call. The worker is stopped and joined when the cache goes.

#include "OwnedThreads.h"

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <deque>
#include <mutex>

namespace orvanta {
class PreferencesReader;
}

namespace orvanta::ui {

class FaviconCache : public QObject
{
    Q_OBJECT
public:
    static constexpr std::size_t kMaxIconBytes = 512 * 1024;
    static constexpr int kIconSize = 32;

    explicit FaviconCache(const PreferencesReader& prefs, QObject* parent = nullptr);
    ~FaviconCache() override;

    /// The icon for url if it is known; otherwise a null icon, and it is fetched.
    QIcon icon(const QString& url);
    /// Where the icon of url is kept on disc.
    static QString cachePath(const QString& url);

signals:
    void iconArrived(const QString& url);

private:
    void fetchQueued();
    void arrived(const QString& url, const QByteArray& png);

    const PreferencesReader& m_prefs;
    QHash<QString, QIcon> m_icons;
    QSet<QString> m_asked; // fetched or being fetched
    std::mutex m_mutex;    // guards m_queue and m_fetching
    std::deque<QString> m_queue;
    bool m_fetching = false;
    std::atomic<bool> m_stopping{false};
    OwnedThreads m_worker;
};

} // namespace orvanta::ui
