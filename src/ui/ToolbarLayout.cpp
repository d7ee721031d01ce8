#include "ToolbarLayout.h"

namespace orvanta::ui {

const std::vector<ToolbarItemInfo>& ToolbarLayout::allowedItems()
{
    using namespace toolbar;
    // The labels are translated where they are shown, in the customising dialogue.
    static const std::vector<ToolbarItemInfo> items = {
        {kControlView,
         QStringLiteral(QT_TRANSLATE_NOOP("orvanta::ui::ToolbarCustomizeDialog", "Controls"))},
        {kAddStream,
         QStringLiteral(QT_TRANSLATE_NOOP("orvanta::ui::ToolbarCustomizeDialog", "Add Stream"))},
        {kAddFolder,
         QStringLiteral(QT_TRANSLATE_NOOP("orvanta::ui::ToolbarCustomizeDialog", "Add Folder"))},
        {kDelete,
         QStringLiteral(QT_TRANSLATE_NOOP("orvanta::ui::ToolbarCustomizeDialog", "Delete..."))},
        {kPreferences,
         QStringLiteral(QT_TRANSLATE_NOOP("orvanta::ui::ToolbarCustomizeDialog", "Preferences"))},
        {kSeparator,
         QStringLiteral(QT_TRANSLATE_NOOP("orvanta::ui::ToolbarCustomizeDialog", "Separator")),
         true},
        {kFlexibleSpace,
         QStringLiteral(QT_TRANSLATE_NOOP("orvanta::ui::ToolbarCustomizeDialog", "Flexible Space")),
         true},
        {kTunerView,
         QStringLiteral(QT_TRANSLATE_NOOP("orvanta::ui::ToolbarCustomizeDialog", "Tuner..."))},
        {kScheduler,
         QStringLiteral(QT_TRANSLATE_NOOP("orvanta::ui::ToolbarCustomizeDialog", "Scheduler"))},
        {kSplitOptions, QStringLiteral(QT_TRANSLATE_NOOP("orvanta::ui::ToolbarCustomizeDialog",
                                                         "Recording Style"))},
        {kEditURLs,
         QStringLiteral(QT_TRANSLATE_NOOP("orvanta::ui::ToolbarCustomizeDialog", "Edit URLs"))},
        {kHistory,
         QStringLiteral(QT_TRANSLATE_NOOP("orvanta::ui::ToolbarCustomizeDialog", "History"))},
    };
    return items;
}

const ToolbarItemInfo* ToolbarLayout::itemInfo(const QString& identifier)
{
    for (const ToolbarItemInfo& item : allowedItems()) {
        if (item.identifier == identifier)
            return &item;
    }
    return nullptr;
}

QStringList ToolbarLayout::defaultItems()
{
    using namespace toolbar;
    return {kControlView, kSeparator,    kAddStream, kAddFolder,     kDelete,
            kSeparator,   kSplitOptions, kScheduler, kEditURLs,      kSeparator,
            kHistory,     kSeparator,    kTunerView, kFlexibleSpace, kPreferences};
}

QStringList ToolbarLayout::sanitized(const QStringList& saved)
{
    QStringList shown;
    for (const QString& identifier : saved) {
        const ToolbarItemInfo* info = itemInfo(identifier);
        if (!info || (!info->repeatable && shown.contains(identifier)))
            continue;
        shown.append(identifier);
    }
    const bool onlySpacing = std::all_of(
        shown.begin(), shown.end(), [](const QString& id) { return itemInfo(id)->repeatable; });
    return shown.isEmpty() || onlySpacing ? defaultItems() : shown;
}

} // namespace orvanta::ui
