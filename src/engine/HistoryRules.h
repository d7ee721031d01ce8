#pragma once

// The completed-title rule of a station's recording history: a title counts as recorded
// when an entry has exactly that STREAMTITLE and a dateCompleted. Entries of deleted,
// skipped or incomplete files never count.
//
// A station's history list is shared: the recording's worker reads it (duplicate check)
// while the main thread appends completed files and edits entries. Both sides hold
// historyListLock() for that, the main thread only around its changes.
//
// Thread: any.

#include "Value.h"

#include <mutex>
#include <string>

namespace orvanta {

bool historyContainsCompletedTitle(const Array& history, const std::string& streamTitle);

/// Guards every station's history list and its entries against the recording workers.
std::mutex& historyListLock();

} // namespace orvanta
