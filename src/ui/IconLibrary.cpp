#include "IconLibrary.h"

#include <QHash>

// The shipped pictures are compiled into this static library, which registers them only
// when asked to.
static void registerShippedIcons()
{
    Q_INIT_RESOURCE(icons);
}

namespace orvanta::ui {

namespace {

struct Entry
{
    const char* name;
    const char* themeName;
    const char* shipped;
};

// Status dots keep their colours whatever the theme: they carry the meaning.
constexpr Entry kIcons[] = {
    {"aquaDotYellow", "", "dot-connecting"},
    {"aquaDotOnline", "", "dot-recording"},
    {"redDotOnline", "", "dot-scheduled"},
    {"AlertCaution", "dialog-warning", "dialog-warning"},
    {"speaker8x9", "audio-volume-high", "audio-volume-high"},
    {"Clock", "alarm-symbolic", "clock"},
    {"timerStatusHeader", "alarm-symbolic", "clock"},
    {"ripperStatus", "media-record", "media-record"},
    {"folder", "folder", "folder"},
    {"stream16", "audio-x-generic", "stream"},
    {"button-record", "media-record", "media-record"},
    {"button-stop", "media-playback-stop", "media-playback-stop"},
    {"button-skip", "media-skip-forward", "media-skip-forward"},
    {"button-listen", "audio-volume-high", "audio-volume-high"},
    {"button-listen-off", "audio-volume-muted", "audio-volume-muted"},
    {"button-showmusic", "folder-music", "folder-music"},
    {"toolbaritem-addstream", "list-add", "list-add"},
    {"toolbaritem-addfolder", "folder-new", "folder-new"},
    {"toolbaritem-delete", "edit-delete", "edit-delete"},
    {"toolbaritem-preferences", "preferences-system", "preferences-system"},
    {"toolbaritem-scheduler", "appointment-new", "appointment-new"},
    {"toolbaritem-splitoptions", "document-properties", "document-properties"},
    {"toolbaritem-editurls", "insert-link", "insert-link"},
    {"toolbaritem-downloadhistory", "document-open-recent", "document-open-recent"},
    {"toolbaritem-tunerview", "network-wireless", "network-wireless"},
    {"orvanta", "orvanta", "orvanta"},
    // The history's status column.
    {"attStatusConfirmed", "", "history-recorded"},
    {"ignored", "", "history-ignored"},
    {"skippedIgnored", "", "history-skipped"},
    {"duplicateConfirmed", "", "history-duplicate"},
    {"duplicateIgnored", "", "history-duplicate-ignored"},
    {"Stop_HistoryCorner", "edit-clear", "edit-clear"},
    {"missingFile", "dialog-warning", "dialog-warning"},
};

} // namespace

IconSource iconSourceFor(const QString& name)
{
    for (const Entry& entry : kIcons) {
        if (name == QLatin1String(entry.name))
            return {QString::fromLatin1(entry.themeName),
                    QStringLiteral(":/icons/%1.svg").arg(QLatin1String(entry.shipped))};
    }
    return {};
}

QIcon iconNamed(const QString& name)
{
    static const bool registered = (registerShippedIcons(), true);
    (void)registered;
    static QHash<QString, QIcon> cache;
    if (const auto it = cache.constFind(name); it != cache.constEnd())
        return *it;
    const IconSource source = iconSourceFor(name);
    QIcon icon;
    if (!source.fallback.isEmpty()) {
        const QIcon shipped(source.fallback);
        icon = source.themeName.isEmpty() ? shipped : QIcon::fromTheme(source.themeName, shipped);
    }
    cache.insert(name, icon);
    return icon;
}

} // namespace orvanta::ui
