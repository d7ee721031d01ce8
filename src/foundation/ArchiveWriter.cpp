// The archive writer: values and records to bytes, shared containers written once.

#include "ArchiveCodec.h"

#include "ArchiveFormat.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace orvanta {

using namespace archive;

// ---------------------------------------------------------------------------------------
// Writer

ArchiveWriter::ArchiveWriter()
{
    m_out.append(kArchiveMagic);
    for (int shift = 0; shift < 32; shift += 8) {
        m_out.push_back(static_cast<char>((kArchiveVersion >> shift) & 0xff));
    }
}

void ArchiveWriter::putVarint(std::uint64_t value)
{
    while (value >= 0x80) {
        m_out.push_back(static_cast<char>((value & 0x7f) | 0x80));
        value >>= 7;
    }
    m_out.push_back(static_cast<char>(value));
}

void ArchiveWriter::putFixed64(std::uint64_t bits)
{
    if constexpr (std::endian::native == std::endian::big) {
        bits = __builtin_bswap64(bits);
    }
    char buffer[8];
    std::memcpy(buffer, &bits, 8);
    m_out.append(buffer, 8);
}

void ArchiveWriter::putString(std::string_view text)
{
    putVarint(text.size());
    m_out.append(text);
}

std::optional<std::uint64_t> ArchiveWriter::IdTable::findOrInsert(const void* key,
                                                                  std::uint64_t candidate)
{
    if ((used + 1) * 2 > buckets.size()) {
        std::vector<std::pair<const void*, std::uint64_t>> old(
            std::max<std::size_t>(64, buckets.size() * 2), {nullptr, 0});
        old.swap(buckets);
        used = 0;
        for (const auto& [oldKey, id] : old) {
            if (oldKey != nullptr) {
                findOrInsert(oldKey, id);
            }
        }
    }
    const std::size_t mask = buckets.size() - 1;
    std::size_t i = (reinterpret_cast<std::uintptr_t>(key) * 0x9E3779B97F4A7C15ull) >> 20 & mask;
    while (buckets[i].first != nullptr) {
        if (buckets[i].first == key) {
            return buckets[i].second;
        }
        i = (i + 1) & mask;
    }
    buckets[i] = {key, candidate};
    ++used;
    return std::nullopt;
}

bool ArchiveWriter::putReferenceIfSeen(const void* identity)
{
    if (std::optional<std::uint64_t> id = m_ids.findOrInsert(identity, m_nextId)) {
        putTag(kTagReference);
        putVarint(*id);
        return true;
    }
    ++m_nextId;
    return false;
}

void ArchiveWriter::encodeAbsent()
{
    putTag(kTagAbsent);
}

void ArchiveWriter::encodeValue(const Value& value)
{
    DepthGuard guard(m_depth, false);
    switch (value.type()) {
    case Value::Type::Null:
        putTag(kTagNull);
        break;
    case Value::Type::Bool:
        putTag(value.toBool() ? kTagTrue : kTagFalse);
        break;
    case Value::Type::Integer:
        putTag(kTagInteger);
        putFixed64(static_cast<std::uint64_t>(value.toInteger()));
        break;
    case Value::Type::Real:
        putTag(kTagReal);
        putFixed64(std::bit_cast<std::uint64_t>(value.toReal()));
        break;
    case Value::Type::String:
        putTag(kTagString);
        putString(value.toString());
        break;
    case Value::Type::Date:
        putTag(kTagDate);
        putFixed64(std::bit_cast<std::uint64_t>(value.toDate().secondsSince1970));
        break;
    case Value::Type::Data: {
        const Bytes& bytes = value.toData();
        putTag(kTagData);
        putVarint(bytes.size());
        m_out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        break;
    }
    case Value::Type::Array: {
        Array array = value.toArray();
        if (putReferenceIfSeen(array.identity())) {
            break;
        }
        m_retained.push_back(value);
        putTag(kTagArray);
        putVarint(array.size());
        for (const Value& item : array) {
            encodeValue(item);
        }
        break;
    }
    case Value::Type::Dictionary: {
        Dictionary dictionary = value.toDictionary();
        if (putReferenceIfSeen(dictionary.identity())) {
            break;
        }
        m_retained.push_back(value);
        putTag(kTagDictionary);
        putVarint(dictionary.size());
        for (const auto& [key, item] : dictionary) {
            // Keys repeat across thousands of history entries: write each text once.
            auto [it, inserted] = m_keys.try_emplace(key, m_keys.size() + 1);
            if (inserted) {
                putVarint(0);
                putString(key);
            } else {
                putVarint(it->second);
            }
            encodeValue(item);
        }
        break;
    }
    }
}

void ArchiveWriter::encodeObject(Archivable* object)
{
    if (object == nullptr) {
        putTag(kTagAbsent);
        return;
    }
    DepthGuard guard(m_depth, false);
    if (putReferenceIfSeen(object)) {
        return;
    }
    putTag(kTagRecord);
    putString(object->archiveClassName());
    object->encodeWithCoder(*this);
}

void ArchiveWriter::encodeObjectList(const std::vector<Archivable*>& objects)
{
    putTag(kTagObjectList);
    putVarint(objects.size());
    for (Archivable* object : objects) {
        encodeObject(object);
    }
}

void ArchiveWriter::encodeInt32(std::int32_t value)
{
    putTag(kTagInt32);
    putFixed64(static_cast<std::uint64_t>(static_cast<std::int64_t>(value)));
}

void ArchiveWriter::encodeChar(std::int8_t value)
{
    putTag(kTagChar);
    m_out.push_back(static_cast<char>(value));
}

void ArchiveWriter::encodeFloat(float value)
{
    putTag(kTagFloat);
    putFixed64(std::bit_cast<std::uint32_t>(value));
}

} // namespace orvanta
