#include "ToolbarLayout.h"

namespace orvanta::ui {

const std::vector<ToolbarItemInfo>& ToolbarLayout::allowedItems()
{
    using namespace toolbar;
    static const std::vector<ToolbarItemInfo> items = {
        {kControlView, QStringLiteral("Controls")},
        {kAddStream, QStringLiteral("Add Stream")},
        {kAddFolder, QStringLiteral("Add Folder")},
        {kDelete, QStringLiteral("Delete...")},
        {kPreferences, QStringLiteral("Preferences")},
        {kSeparator, QStringLiteral("Separator"), true},
        {kFlexibleSpace, QStringLiteral("Flexible Space"), true},
        {kTunerView, QStringLiteral("Tuner...")},
        {kScheduler, QStringLiteral("Scheduler")},
        {kSplitOptions, QStringLiteral("Recording Style")},
        {kEditURLs, QStringLiteral("Edit URLs")},
        {kHistory, QStringLiteral("History")},
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
