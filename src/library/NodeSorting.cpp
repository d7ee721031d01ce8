// The sorting family of the station list's columns.

#include "Node.h"

#include "NodePropertyKeys.h"

#include <algorithm>
#include <array>

#include <QString>

namespace orvanta {

namespace {

int compareTextCaseInsensitive(const std::optional<Value>& a, const std::optional<Value>& b)
{
    // A missing text sorts like an empty one.
    QString left = a ? QString::fromStdString(a->toString()) : QString();
    QString right = b ? QString::fromStdString(b->toString()) : QString();
    int result = QString::compare(left, right, Qt::CaseInsensitive);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

} // namespace

// ---------------------------------------------------------------------------------------
// Sorting

int Node::inverse(int result)
{
    return result == -1 ? 1 : (result == 1 ? -1 : 0);
}

int Node::integerComparisonDescending(std::int64_t a, std::int64_t b)
{
    return a > b ? 1 : (a < b ? -1 : 0);
}

int Node::streamComparisonDescending(const Node& other) const
{
    return compareTextCaseInsensitive(propertyForKey(np::NP_NAME),
                                      other.propertyForKey(np::NP_NAME));
}

int Node::bitrateComparisonDescending(const Node& other) const
{
    auto bitrate = [](const Node& node) {
        const Value* value = node._properties.find(np::NP_BITRATE);
        return value ? value->toInteger() : 0;
    };
    return integerComparisonDescending(bitrate(*this), bitrate(other));
}

int Node::commentComparisonDescending(const Node& other) const
{
    return compareTextCaseInsensitive(propertyForKey(np::NP_COMMENT),
                                      other.propertyForKey(np::NP_COMMENT));
}

int Node::streamComparisonAscending(const Node& other) const
{
    return inverse(streamComparisonDescending(other));
}

int Node::bitrateComparisonAscending(const Node& other) const
{
    return inverse(bitrateComparisonDescending(other));
}

int Node::commentComparisonAscending(const Node& other) const
{
    return inverse(commentComparisonDescending(other));
}

Node::Comparison Node::comparisonNamed(std::string_view name)
{
    if (!name.empty() && name.back() == ':') {
        name.remove_suffix(1);
    }
    static const std::array<std::pair<std::string_view, Comparison>, 6> kTable = {{
        {"streamComparisonDescending", &Node::streamComparisonDescending},
        {"bitrateComparisonDescending", &Node::bitrateComparisonDescending},
        {"commentComparisonDescending", &Node::commentComparisonDescending},
        {"streamComparisonAscending", &Node::streamComparisonAscending},
        {"bitrateComparisonAscending", &Node::bitrateComparisonAscending},
        {"commentComparisonAscending", &Node::commentComparisonAscending},
    }};
    for (const auto& [entryName, comparison] : kTable) {
        if (entryName == name) {
            return comparison;
        }
    }
    return nullptr;
}

void Node::sortUsingSelector(Comparison comparison)
{
    std::stable_sort(
        _children.begin(), _children.end(),
        [comparison](const NodePtr& a, const NodePtr& b) { return ((*a).*comparison)(*b) < 0; });
    for (const NodePtr& child : _children) {
        if (child->nodeType() == kGroup) {
            child->sortUsingSelector(comparison);
        }
    }
}

} // namespace orvanta
