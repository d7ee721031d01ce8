#include "Value.h"

#include <chrono>
#include <stdexcept>

namespace orvanta {

namespace {

// Small dictionaries are searched linearly; an index pays off only past this size.
constexpr std::size_t kIndexThreshold = 16;

struct StringHash
{
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

const std::string kEmptyString;
const Bytes kEmptyBytes;

} // namespace

Date Date::now()
{
    using namespace std::chrono;
    const auto since = system_clock::now().time_since_epoch();
    return Date{duration<double>(since).count()};
}

// ---- Array ----------------------------------------------------------------------------

Array::Array() : m_items(std::make_shared<std::vector<Value>>()) {}

Array::Array(std::initializer_list<Value> items)
    : m_items(std::make_shared<std::vector<Value>>(items))
{}

std::size_t Array::size() const
{
    return m_items->size();
}
bool Array::empty() const
{
    return m_items->empty();
}
const Value& Array::at(std::size_t index) const
{
    return m_items->at(index);
}
Value& Array::at(std::size_t index)
{
    return m_items->at(index);
}
void Array::append(Value value)
{
    m_items->push_back(std::move(value));
}

void Array::insert(std::size_t index, Value value)
{
    if (index > m_items->size())
        throw std::out_of_range("Array::insert");
    m_items->insert(m_items->begin() + static_cast<std::ptrdiff_t>(index), std::move(value));
}

void Array::removeAt(std::size_t index)
{
    if (index >= m_items->size())
        throw std::out_of_range("Array::removeAt");
    m_items->erase(m_items->begin() + static_cast<std::ptrdiff_t>(index));
}

void Array::clear()
{
    m_items->clear();
}
std::vector<Value>::const_iterator Array::begin() const
{
    return m_items->cbegin();
}
std::vector<Value>::const_iterator Array::end() const
{
    return m_items->cend();
}
std::vector<Value>::iterator Array::begin()
{
    return m_items->begin();
}
std::vector<Value>::iterator Array::end()
{
    return m_items->end();
}

bool operator==(const Array& a, const Array& b)
{
    if (a.isSameObject(b))
        return true;
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!(a.at(i) == b.at(i)))
            return false;
    }
    return true;
}

// ---- Dictionary -----------------------------------------------------------------------

struct Dictionary::Impl
{
    std::vector<Entry> entries;
    // Built on demand for large dictionaries; cleared whenever positions change.
    mutable std::unordered_map<std::string, std::size_t, StringHash, std::equal_to<>> index;

    std::ptrdiff_t position(std::string_view key) const
    {
        if (entries.size() < kIndexThreshold) {
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (entries[i].first == key)
                    return static_cast<std::ptrdiff_t>(i);
            }
            return -1;
        }
        if (index.empty()) {
            index.reserve(entries.size());
            for (std::size_t i = 0; i < entries.size(); ++i)
                index.emplace(entries[i].first, i);
        }
        auto it = index.find(key);
        return it == index.end() ? -1 : static_cast<std::ptrdiff_t>(it->second);
    }
};

Dictionary::Dictionary() : m_impl(std::make_shared<Impl>()) {}

Dictionary::Dictionary(std::initializer_list<std::pair<std::string_view, Value>> entries)
    : Dictionary()
{
    for (const auto& [key, value] : entries)
        set(key, value);
}

std::size_t Dictionary::size() const
{
    return m_impl->entries.size();
}
bool Dictionary::empty() const
{
    return m_impl->entries.empty();
}
bool Dictionary::contains(std::string_view key) const
{
    return m_impl->position(key) >= 0;
}

const Value* Dictionary::find(std::string_view key) const
{
    const auto pos = m_impl->position(key);
    return pos < 0 ? nullptr : &m_impl->entries[static_cast<std::size_t>(pos)].second;
}

Value* Dictionary::find(std::string_view key)
{
    const auto pos = m_impl->position(key);
    return pos < 0 ? nullptr : &m_impl->entries[static_cast<std::size_t>(pos)].second;
}

Value Dictionary::get(std::string_view key) const
{
    const Value* v = find(key);
    return v ? *v : Value();
}

void Dictionary::set(std::string_view key, Value value)
{
    if (Value* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    m_impl->entries.emplace_back(std::string(key), std::move(value));
    if (!m_impl->index.empty())
        m_impl->index.emplace(m_impl->entries.back().first, m_impl->entries.size() - 1);
}

bool Dictionary::remove(std::string_view key)
{
    const auto pos = m_impl->position(key);
    if (pos < 0)
        return false;
    m_impl->entries.erase(m_impl->entries.begin() + pos);
    m_impl->index.clear();
    return true;
}

void Dictionary::clear()
{
    m_impl->entries.clear();
    m_impl->index.clear();
}

std::vector<std::string> Dictionary::keys() const
{
    std::vector<std::string> result;
    result.reserve(size());
    for (const auto& entry : m_impl->entries)
        result.push_back(entry.first);
    return result;
}

std::vector<Dictionary::Entry>::const_iterator Dictionary::begin() const
{
    return m_impl->entries.cbegin();
}

std::vector<Dictionary::Entry>::const_iterator Dictionary::end() const
{
    return m_impl->entries.cend();
}

bool operator==(const Dictionary& a, const Dictionary& b)
{
    if (a.isSameObject(b))
        return true;
    if (a.size() != b.size())
        return false;
    // Content equality ignores order, as two dictionaries with the same pairs are equal.
    for (const auto& [key, value] : a) {
        const Value* other = b.find(key);
        if (!other || !(value == *other))
            return false;
    }
    return true;
}

// ---- Value ----------------------------------------------------------------------------

Value::Value(Bytes bytes) : m_storage(std::make_shared<const Bytes>(std::move(bytes))) {}

bool Value::toBool() const
{
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(m_storage);
    case Type::Integer:
        return std::get<std::int64_t>(m_storage) != 0;
    case Type::Real:
        return std::get<double>(m_storage) != 0.0;
    default:
        return false;
    }
}

std::int64_t Value::toInteger() const
{
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(m_storage) ? 1 : 0;
    case Type::Integer:
        return std::get<std::int64_t>(m_storage);
    case Type::Real: {
        const double d = std::get<double>(m_storage);
        // Out-of-range and NaN conversions are undefined in C++; clamp them.
        if (!(d == d))
            return 0;
        if (d >= 9.2233720368547758e18)
            return INT64_MAX;
        if (d <= -9.2233720368547758e18)
            return INT64_MIN;
        return static_cast<std::int64_t>(d);
    }
    default:
        return 0;
    }
}

double Value::toReal() const
{
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(m_storage) ? 1.0 : 0.0;
    case Type::Integer:
        return static_cast<double>(std::get<std::int64_t>(m_storage));
    case Type::Real:
        return std::get<double>(m_storage);
    default:
        return 0.0;
    }
}

const std::string& Value::toString() const
{
    return isString() ? std::get<std::string>(m_storage) : kEmptyString;
}

Date Value::toDate() const
{
    return isDate() ? std::get<orvanta::Date>(m_storage) : Date{};
}

const Bytes& Value::toData() const
{
    return isData() ? *std::get<DataPtr>(m_storage) : kEmptyBytes;
}

Array Value::toArray() const
{
    return isArray() ? std::get<orvanta::Array>(m_storage) : orvanta::Array();
}

Dictionary Value::toDictionary() const
{
    return isDictionary() ? std::get<orvanta::Dictionary>(m_storage) : orvanta::Dictionary();
}

namespace {

struct DeepCopier
{
    std::unordered_map<const void*, Value> copies;

    Value copy(const Value& v)
    {
        if (v.isArray()) {
            const Array source = v.toArray();
            if (auto it = copies.find(source.identity()); it != copies.end())
                return it->second;
            Array result;
            copies.emplace(source.identity(), result);
            for (const Value& item : source)
                result.append(copy(item));
            return result;
        }
        if (v.isDictionary()) {
            const Dictionary source = v.toDictionary();
            if (auto it = copies.find(source.identity()); it != copies.end())
                return it->second;
            Dictionary result;
            copies.emplace(source.identity(), result);
            for (const auto& [key, item] : source)
                result.set(key, copy(item));
            return result;
        }
        return v;
    }
};

} // namespace

Value Value::deepCopy() const
{
    DeepCopier copier;
    return copier.copy(*this);
}

bool Value::operator==(const Value& other) const
{
    if (type() != other.type())
        return false;
    switch (type()) {
    case Type::Null:
        return true;
    case Type::Bool:
        return std::get<bool>(m_storage) == std::get<bool>(other.m_storage);
    case Type::Integer:
        return std::get<std::int64_t>(m_storage) == std::get<std::int64_t>(other.m_storage);
    case Type::Real:
        return std::get<double>(m_storage) == std::get<double>(other.m_storage);
    case Type::String:
        return std::get<std::string>(m_storage) == std::get<std::string>(other.m_storage);
    case Type::Date:
        return std::get<orvanta::Date>(m_storage) == std::get<orvanta::Date>(other.m_storage);
    case Type::Data:
        return toData() == other.toData();
    case Type::Array:
        return std::get<orvanta::Array>(m_storage) == std::get<orvanta::Array>(other.m_storage);
    case Type::Dictionary:
        return std::get<orvanta::Dictionary>(m_storage) ==
               std::get<orvanta::Dictionary>(other.m_storage);
    }
    return false;
}

bool Value::isSameObject(const Value& other) const
{
    if (isArray() && other.isArray())
        return toArray().isSameObject(other.toArray());
    if (isDictionary() && other.isDictionary())
        return toDictionary().isSameObject(other.toDictionary());
    if (isArray() || isDictionary() || other.isArray() || other.isDictionary())
        return false;
    return *this == other;
}

const char* Value::typeName(Type type)
{
    switch (type) {
    case Type::Null:
        return "null";
    case Type::Bool:
        return "boolean";
    case Type::Integer:
        return "integer";
    case Type::Real:
        return "real";
    case Type::String:
        return "string";
    case Type::Date:
        return "date";
    case Type::Data:
        return "data";
    case Type::Array:
        return "array";
    case Type::Dictionary:
        return "dictionary";
    }
    return "unknown";
}

} // namespace orvanta
