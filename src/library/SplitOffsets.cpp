#include "SplitOffsets.h"

#include "Node.h"
#include "NodePropertyKeys.h"

namespace orvanta {

void rememberSplitOffset(Node& node, double seconds)
{
    // A copy, not a recording's list.
    Array offsets;
    if (const auto stored = node.propertyForKey(np::NP_SPLIT_OFFSETS); stored && stored->isArray())
        for (const Value& offset : stored->toArray())
            if (offset.isNumber())
                offsets.append(offset);
    offsets.append(Value(seconds));
    Array kept;
    const std::size_t first =
        offsets.size() > kKeptSplitOffsets ? offsets.size() - kKeptSplitOffsets : 0;
    for (std::size_t i = first; i < offsets.size(); ++i)
        kept.append(offsets[i]);
    node.setProperty(Value(kept), np::NP_SPLIT_OFFSETS);
}

} // namespace orvanta
