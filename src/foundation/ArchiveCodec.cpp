// The archive reader: bounded decoding of values and records, and the whole-value helpers.

#include "ArchiveCodec.h"

#include "ArchiveFormat.h"

#include <bit>
#include <cstring>

namespace orvanta {

using namespace archive;

// ---------------------------------------------------------------------------------------
// Reader

ArchiveReader::ArchiveReader(std::string_view bytes) : m_in(bytes)
{
    if (m_in.size() < kArchiveMagic.size() + 4 ||
        m_in.substr(0, kArchiveMagic.size()) != kArchiveMagic) {
        throw ArchiveError("not a library archive (bad magic)");
    }
    m_pos = kArchiveMagic.size();
    std::uint32_t version = 0;
    for (int i = 0; i < 4; ++i) {
        version |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_in[m_pos++])) << (8 * i);
    }
    if (version != kArchiveVersion) {
        throw ArchiveError("unsupported archive version " + std::to_string(version));
    }
}

void ArchiveReader::registerClass(const std::string& className, Factory factory)
{
    m_factories[className] = std::move(factory);
}

void ArchiveReader::fail(const std::string& why) const
{
    throw ArchiveError(why + " at offset " + std::to_string(m_pos));
}

std::uint8_t ArchiveReader::peekTag() const
{
    if (m_pos >= m_in.size()) {
        fail("archive truncated");
    }
    return static_cast<std::uint8_t>(m_in[m_pos]);
}

std::uint8_t ArchiveReader::takeTag()
{
    std::uint8_t tag = peekTag();
    ++m_pos;
    return tag;
}

std::uint64_t ArchiveReader::takeVarint()
{
    std::uint64_t value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (m_pos >= m_in.size()) {
            fail("archive truncated");
        }
        auto byte = static_cast<std::uint8_t>(m_in[m_pos++]);
        value |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
        if ((byte & 0x80) == 0) {
            return value;
        }
    }
    fail("malformed number");
}

std::uint64_t ArchiveReader::takeFixed64()
{
    if (m_in.size() - m_pos < 8) {
        fail("archive truncated");
    }
    std::uint64_t bits = 0;
    std::memcpy(&bits, m_in.data() + m_pos, 8);
    if constexpr (std::endian::native == std::endian::big) {
        bits = __builtin_bswap64(bits);
    }
    m_pos += 8;
    return bits;
}

std::size_t ArchiveReader::takeCount(std::size_t minimumItemSize)
{
    std::uint64_t count = takeVarint();
    // Every item needs at least minimumItemSize bytes, so a count beyond what is left is
    // corruption; checking here keeps a bad count from reserving gigabytes.
    if (count > (m_in.size() - m_pos) / minimumItemSize) {
        fail("length beyond the end of the archive");
    }
    return static_cast<std::size_t>(count);
}

std::string ArchiveReader::takeString()
{
    std::size_t length = takeCount(1);
    std::string text(m_in.substr(m_pos, length));
    m_pos += length;
    return text;
}

const std::string& ArchiveReader::takeKey()
{
    std::uint64_t index = takeVarint();
    if (index == 0) {
        m_keys.push_back(takeString());
        return m_keys.back();
    }
    if (index > m_keys.size()) {
        fail("unknown dictionary key reference");
    }
    return m_keys[index - 1];
}

const ArchiveReader::Slot& ArchiveReader::slotFor(std::uint64_t id) const
{
    if (id >= m_objects.size()) {
        fail("reference to an object not yet read");
    }
    return m_objects[id];
}

namespace {

const void* containerIdentity(const Value& value)
{
    if (value.isArray())
        return value.toArray().identity();
    if (value.isDictionary())
        return value.toDictionary().identity();
    return nullptr;
}

void markReachable(const Value& value, std::unordered_set<const void*>& reached)
{
    std::vector<Value> pending{value};
    while (!pending.empty()) {
        const Value current = std::move(pending.back());
        pending.pop_back();
        const void* identity = containerIdentity(current);
        if (!identity || !reached.insert(identity).second)
            continue;
        if (current.isArray()) {
            for (const Value& item : current.toArray())
                pending.push_back(item);
        } else {
            for (const auto& entry : current.toDictionary())
                pending.push_back(entry.second);
        }
    }
}

} // namespace

void ArchiveReader::keepResult(const Value& result)
{
    m_keepResult = true;
    markReachable(result, m_kept);
}

ArchiveReader::~ArchiveReader()
{
    if (m_keepResult && m_kept.empty())
        return;
    for (Slot& slot : m_objects) {
        if (!slot.value || (m_keepResult && m_kept.count(containerIdentity(*slot.value))))
            continue;
        if (slot.value->isArray())
            slot.value->toArray().clear();
        else if (slot.value->isDictionary())
            slot.value->toDictionary().clear();
    }
}

Value ArchiveReader::decodeValueAfterTag(std::uint8_t tag)
{
    switch (tag) {
    case kTagNull:
        return Null{};
    case kTagFalse:
        return false;
    case kTagTrue:
        return true;
    case kTagInteger:
        return static_cast<std::int64_t>(takeFixed64());
    case kTagReal:
        return std::bit_cast<double>(takeFixed64());
    case kTagString:
        return takeString();
    case kTagDate:
        return Date{std::bit_cast<double>(takeFixed64())};
    case kTagData: {
        std::size_t length = takeCount(1);
        const auto* start = reinterpret_cast<const std::uint8_t*>(m_in.data() + m_pos);
        m_pos += length;
        return Bytes(start, start + length);
    }
    case kTagArray: {
        DepthGuard guard(m_depth, true);
        Array array;
        m_objects.push_back(Slot{Value(array), nullptr});
        std::size_t count = takeCount(1);
        for (std::size_t i = 0; i < count; ++i) {
            array.append(decodeValue());
        }
        return array;
    }
    case kTagDictionary: {
        DepthGuard guard(m_depth, true);
        Dictionary dictionary;
        m_objects.push_back(Slot{Value(dictionary), nullptr});
        std::size_t count = takeCount(2);
        for (std::size_t i = 0; i < count; ++i) {
            const std::string& key = takeKey();
            dictionary.set(key, decodeValue());
        }
        return dictionary;
    }
    case kTagReference: {
        const Slot& slot = slotFor(takeVarint());
        if (!slot.value) {
            fail("object found where a value was expected");
        }
        return *slot.value;
    }
    default:
        fail(std::string("unexpected ") + tagName(tag) + " where a value was expected");
    }
}

std::optional<Value> ArchiveReader::decodeOptionalValue()
{
    std::uint8_t tag = takeTag();
    if (tag == kTagAbsent) {
        return std::nullopt;
    }
    return decodeValueAfterTag(tag);
}

Value ArchiveReader::decodeValue()
{
    return decodeValueAfterTag(takeTag());
}

ArchivablePtr ArchiveReader::decodeRecord()
{
    DepthGuard guard(m_depth, true);
    std::string className = takeString();
    auto factory = m_factories.find(className);
    if (factory == m_factories.end()) {
        fail("unknown class \"" + className + "\"");
    }
    ArchivablePtr object = factory->second();
    // Registered before its fields so that back references (a child's parent) resolve.
    m_objects.push_back(Slot{std::nullopt, object});
    object->initWithCoder(*this);
    return object;
}

ArchivablePtr ArchiveReader::decodeObject()
{
    std::uint8_t tag = takeTag();
    switch (tag) {
    case kTagAbsent:
        return nullptr;
    case kTagRecord:
        return decodeRecord();
    case kTagReference: {
        const Slot& slot = slotFor(takeVarint());
        if (!slot.object) {
            fail("value found where an object was expected");
        }
        return slot.object;
    }
    default:
        fail(std::string("unexpected ") + tagName(tag) + " where an object was expected");
    }
}

std::vector<ArchivablePtr> ArchiveReader::decodeObjectList()
{
    std::uint8_t tag = takeTag();
    if (tag != kTagObjectList) {
        fail(std::string("unexpected ") + tagName(tag) + " where an object list was expected");
    }
    std::size_t count = takeCount(1);
    std::vector<ArchivablePtr> objects;
    objects.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        objects.push_back(decodeObject());
    }
    return objects;
}

std::int32_t ArchiveReader::decodeInt32()
{
    std::uint8_t tag = takeTag();
    if (tag != kTagInt32) {
        fail(std::string("unexpected ") + tagName(tag) + " where an int was expected");
    }
    auto value = static_cast<std::int64_t>(takeFixed64());
    if (value < INT32_MIN || value > INT32_MAX) {
        fail("int out of range");
    }
    return static_cast<std::int32_t>(value);
}

std::int8_t ArchiveReader::decodeChar()
{
    std::uint8_t tag = takeTag();
    if (tag != kTagChar) {
        fail(std::string("unexpected ") + tagName(tag) + " where a char was expected");
    }
    return static_cast<std::int8_t>(takeTag());
}

float ArchiveReader::decodeFloat()
{
    std::uint8_t tag = takeTag();
    if (tag != kTagFloat) {
        fail(std::string("unexpected ") + tagName(tag) + " where a float was expected");
    }
    std::uint64_t bits = takeFixed64();
    if (bits > UINT32_MAX) {
        fail("float out of range");
    }
    return std::bit_cast<float>(static_cast<std::uint32_t>(bits));
}

// ---------------------------------------------------------------------------------------

std::string archiveValue(const Value& value)
{
    ArchiveWriter writer;
    writer.encodeValue(value);
    return writer.bytes();
}

std::optional<Value> unarchiveValue(std::string_view bytes, std::string& error)
{
    try {
        ArchiveReader reader(bytes);
        Value value = reader.decodeValue();
        if (!reader.atEnd()) {
            error = "trailing bytes after the archived value";
            return std::nullopt;
        }
        reader.keepResult(value);
        return value;
    } catch (const ArchiveError& e) {
        error = e.what();
        return std::nullopt;
    }
}

} // namespace orvanta
