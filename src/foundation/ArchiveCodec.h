#pragma once

// The library archive: a sequential, versioned binary encoding of property-list values and
// of archivable objects (records "object of class X, then its fields in order").
//
// Layout: the magic "ORVARCH1", a little-endian 32-bit format version, then one item.
// Every item starts with a one-byte tag; counts, lengths and object ids are unsigned
// LEB128 numbers; integers and reals are 8 little-endian bytes (reals keep their bits).
// Arrays, dictionaries and records get the next object id when first written; a second
// occurrence is written as a reference to that id, so shared containers and back links
// (a child's parent) come back as one shared object. Dictionary keys are interned.
// Identical input gives identical bytes, so a library read and saved again is unchanged.
//
// Reading is bounded: every length is checked against the remaining input and nesting is
// limited to kMaxArchiveDepth, so corrupt input ends in an ArchiveError, never a crash.
//
// Thread: a writer or reader is used by one thread; distinct instances are independent.

#include "Value.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace orvanta {

inline constexpr std::string_view kArchiveMagic = "ORVARCH1";
inline constexpr std::uint32_t kArchiveVersion = 1;
inline constexpr int kMaxArchiveDepth = 1000;

class ArchiveReader;
class ArchiveWriter;

/// Raised by the reader on truncated, corrupt or unexpected input.
class ArchiveError : public std::runtime_error
{
public:
    explicit ArchiveError(const std::string& what) : std::runtime_error(what) {}
};

/// An object that writes itself as a record and is rebuilt from one.
class Archivable
{
public:
    virtual ~Archivable() = default;
    virtual std::string archiveClassName() const = 0;
    /// Writes the fields in order. Non-const: an object may tidy itself before writing.
    virtual void encodeWithCoder(ArchiveWriter& writer) = 0;
    /// Reads the fields in the order written; throws ArchiveError on bad input.
    virtual void initWithCoder(ArchiveReader& reader) = 0;
};

using ArchivablePtr = std::shared_ptr<Archivable>;

class ArchiveWriter
{
public:
    ArchiveWriter();

    /// Whether objects should leave their live state untouched while writing (a background
    /// save of a copy); objects read this in encodeWithCoder.
    void setLeaveObjectsUntouched(bool untouched) { m_leaveUntouched = untouched; }
    bool leaveObjectsUntouched() const { return m_leaveUntouched; }

    void encodeValue(const Value& value);
    /// "No object" (distinct from the null marker).
    void encodeAbsent();
    /// nullptr writes "no object"; an object already written becomes a reference.
    void encodeObject(Archivable* object);
    void encodeObjectList(const std::vector<Archivable*>& objects);
    void encodeInt32(std::int32_t value);
    void encodeChar(std::int8_t value);
    void encodeFloat(float value);

    /// The archive so far, header included.
    const std::string& bytes() const { return m_out; }

private:
    void putTag(std::uint8_t tag) { m_out.push_back(static_cast<char>(tag)); }
    void putVarint(std::uint64_t value);
    void putFixed64(std::uint64_t bits);
    void putString(std::string_view text);
    bool putReferenceIfSeen(const void* identity);
    void enter();

    std::string m_out;
    // Containers written so far stay alive until the writer goes, so that the address of a
    // temporary copy is never reused by another container and mistaken for it.
    std::vector<Value> m_retained;
    // Object ids by address: open addressing, since a large library has a million
    // containers and a node-based map spends most of the save allocating.
    struct IdTable
    {
        std::vector<std::pair<const void*, std::uint64_t>> buckets;
        std::size_t used = 0;
        /// The id stored for key, or stores candidate and returns nothing.
        std::optional<std::uint64_t> findOrInsert(const void* key, std::uint64_t candidate);
    };
    IdTable m_ids;
    std::unordered_map<std::string, std::uint64_t> m_keys;
    std::uint64_t m_nextId = 0;
    int m_depth = 0;
    bool m_leaveUntouched = false;
};

class ArchiveReader
{
public:
    using Factory = std::function<ArchivablePtr()>;

    /// Checks the header; throws ArchiveError when it is not an archive of a known version.
    explicit ArchiveReader(std::string_view bytes);
    /// Unless keepResult() was called, empties every array and dictionary it read: on
    /// corrupt input a container may have been made to hold itself (references allow it),
    /// and such a loop would never be freed.
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;
    /// What was read is the caller's now.
    void keepResult() { m_keepResult = true; }
    /// Only what result reaches is the caller's: a container corrupt input left behind
    /// (a dictionary value replaced by a later one of the same key) is still emptied.
    void keepResult(const Value& result);

    void registerClass(const std::string& className, Factory factory);

    /// A property-list value (absent reads as nothing: std::nullopt).
    std::optional<Value> decodeOptionalValue();
    /// A value that must be present.
    Value decodeValue();
    /// A record or a reference to one; nullptr for "no object".
    ArchivablePtr decodeObject();
    std::vector<ArchivablePtr> decodeObjectList();
    std::int32_t decodeInt32();
    std::int8_t decodeChar();
    float decodeFloat();

    /// Whether every byte has been read.
    bool atEnd() const { return m_pos == m_in.size(); }

private:
    struct Slot
    {
        std::optional<Value> value;
        ArchivablePtr object;
    };

    std::uint8_t takeTag();
    std::uint8_t peekTag() const;
    std::uint64_t takeVarint();
    std::uint64_t takeFixed64();
    std::string takeString();
    const std::string& takeKey();
    std::size_t takeCount(std::size_t minimumItemSize);
    Value decodeValueAfterTag(std::uint8_t tag);
    ArchivablePtr decodeRecord();
    const Slot& slotFor(std::uint64_t id) const;
    [[noreturn]] void fail(const std::string& why) const;

    std::string_view m_in;
    std::size_t m_pos = 0;
    int m_depth = 0;
    std::vector<Slot> m_objects;
    std::deque<std::string> m_keys; // stable references while more keys arrive
    std::map<std::string, Factory, std::less<>> m_factories;
    bool m_keepResult = false;
    std::unordered_set<const void*> m_kept; // with keepResult(result): what it reaches
};

/// Whole-value helpers for archives that hold one property-list value.
std::string archiveValue(const Value& value);
/// The value, or nothing with error set.
std::optional<Value> unarchiveValue(std::string_view bytes, std::string& error);

} // namespace orvanta
