#pragma once

// Tags and nesting guard shared by the archive writer and reader (internal to the codec).

#include "ArchiveCodec.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace orvanta::archive {

enum Tag : std::uint8_t {
    kTagAbsent = 0,
    kTagNull,
    kTagFalse,
    kTagTrue,
    kTagInteger,
    kTagReal,
    kTagString,
    kTagDate,
    kTagData,
    kTagArray,
    kTagDictionary,
    kTagReference,
    kTagRecord,
    kTagObjectList,
    kTagInt32,
    kTagChar,
    kTagFloat,
};

inline const char* tagName(std::uint8_t tag)
{
    static const char* const kNames[] = {
        "absent", "null",        "false", "true",  "integer",    "real",
        "string", "date",        "data",  "array", "dictionary", "reference",
        "record", "object list", "int32", "char",  "float"};
    return tag <= kTagFloat ? kNames[tag] : "unknown";
}

// Counts nesting on the way down and releases it on the way up, also when unwinding.
class DepthGuard
{
public:
    DepthGuard(int& depth, bool reading) : m_depth(depth)
    {
        if (++m_depth > kMaxArchiveDepth) {
            --m_depth;
            if (reading) {
                throw ArchiveError("archive nests deeper than " + std::to_string(kMaxArchiveDepth) +
                                   " levels");
            }
            throw std::length_error("value nests too deeply to archive");
        }
    }
    ~DepthGuard() { --m_depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& m_depth;
};

} // namespace orvanta::archive
