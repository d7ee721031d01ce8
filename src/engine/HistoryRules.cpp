#include "HistoryRules.h"

#include "NodePropertyKeys.h"

namespace orvanta {

bool historyContainsCompletedTitle(const Array& history, const std::string& streamTitle)
{
    for (const Value& entry : history) {
        const Dictionary d = entry.toDictionary();
        const Value* title = d.find(fileinfo::kStreamTitle);
        if (title && title->isString() && title->toString() == streamTitle &&
            d.contains(fileinfo::kDateCompleted))
            return true;
    }
    return false;
}

std::mutex& historyListLock()
{
    static std::mutex lock;
    return lock;
}

} // namespace orvanta
