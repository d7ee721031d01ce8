#pragma once

// The toolbar's items and which of them the user shows, in which order: the identifiers,
// labels, the default and the allowed sets, and the saved configuration. Pure data, so the
// rules are testable without widgets.
//
// Thread: any.

#include <QString>
#include <QStringList>

#include <vector>

namespace orvanta::ui {

namespace toolbar {
inline const QString kIdentifier = QStringLiteral("MYTOOLBARIDENTIFIER3");
inline const QString kControlView = QStringLiteral("toolbaritem-controlview");
inline const QString kTunerView = QStringLiteral("toolbaritem-tunerview");
inline const QString kAddStream = QStringLiteral("toolbaritem-addstream");
inline const QString kAddFolder = QStringLiteral("toolbaritem-addfolder");
inline const QString kDelete = QStringLiteral("toolbaritem-delete");
inline const QString kPreferences = QStringLiteral("toolbaritem-preferences");
inline const QString kScheduler = QStringLiteral("toolbaritem-scheduler");
inline const QString kSplitOptions = QStringLiteral("toolbaritem-splitoptions");
inline const QString kEditURLs = QStringLiteral("toolbaritem-editurls");
inline const QString kHistory = QStringLiteral("toolbaritem-downloadhistory");
inline const QString kSeparator = QStringLiteral("NSToolbarSeparatorItem");
inline const QString kFlexibleSpace = QStringLiteral("NSToolbarFlexibleSpaceItem");
} // namespace toolbar

struct ToolbarItemInfo
{
    QString identifier;
    QString label;           // untranslated; shown through the translation table
    bool repeatable = false; // separators and spaces may stand several times
};

class ToolbarLayout
{
public:
    /// Every item the user may show, in the order the customisation offers them.
    static const std::vector<ToolbarItemInfo>& allowedItems();
    static const ToolbarItemInfo* itemInfo(const QString& identifier);
    static QStringList defaultItems();

    /// A saved configuration as shown: unknown identifiers dropped, an item that may stand
    /// once kept at its first place only; nothing usable gives the default set.
    static QStringList sanitized(const QStringList& saved);
};

} // namespace orvanta::ui
