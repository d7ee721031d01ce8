#pragma once

// Property-list values: the one value type passed between subsystems (node properties,
// presets, history entries, schedule entries, notification payloads).
//
// Scalars (null marker, boolean, integer, real, string, date, data) have value semantics.
// Arrays and dictionaries have reference semantics: copying a Value, an Array or a
// Dictionary shares the container, so an edit through one handle is seen through all.
// deepCopy() makes independent copies; operator== compares content; isSameObject()
// compares identity.
//
// Thread: a container may be read by several threads at once but must be edited by one
// thread at a time, with no concurrent readers; share a deepCopy() across threads instead.

#include <compare>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace orvanta {

class Value;

/// The null marker: a value that stands for "nothing" inside containers.
struct Null
{
    bool operator==(const Null&) const = default;
};

/// A point in time, in seconds since 1970-01-01T00:00:00Z (fractions allowed).
struct Date
{
    double secondsSince1970 = 0.0;

    static Date now();
    bool operator==(const Date&) const = default;
    auto operator<=>(const Date&) const = default;
};

using Bytes = std::vector<std::uint8_t>;

/// An ordered list of values with reference semantics.
class Array
{
public:
    Array();
    Array(std::initializer_list<Value> items);

    std::size_t size() const;
    bool empty() const;
    const Value& at(std::size_t index) const;
    Value& at(std::size_t index);
    const Value& operator[](std::size_t index) const { return at(index); }
    Value& operator[](std::size_t index) { return at(index); }

    void append(Value value);
    void insert(std::size_t index, Value value);
    void removeAt(std::size_t index);
    void clear();

    std::vector<Value>::const_iterator begin() const;
    std::vector<Value>::const_iterator end() const;
    std::vector<Value>::iterator begin();
    std::vector<Value>::iterator end();

    bool isSameObject(const Array& other) const { return m_items == other.m_items; }
    const void* identity() const { return m_items.get(); }

private:
    friend class Value;
    std::shared_ptr<std::vector<Value>> m_items;
};

/// A string-keyed dictionary that keeps insertion order, with reference semantics.
class Dictionary
{
public:
    using Entry = std::pair<std::string, Value>;

    Dictionary();
    Dictionary(std::initializer_list<std::pair<std::string_view, Value>> entries);

    std::size_t size() const;
    bool empty() const;
    bool contains(std::string_view key) const;

    /// The value under key, or nullptr when the key is missing.
    const Value* find(std::string_view key) const;
    Value* find(std::string_view key);
    /// The value under key, or the null marker when the key is missing.
    Value get(std::string_view key) const;

    /// Replaces the value of an existing key in place; a new key goes to the end.
    void set(std::string_view key, Value value);
    /// Returns whether the key was present.
    bool remove(std::string_view key);
    void clear();

    std::vector<std::string> keys() const;
    std::vector<Entry>::const_iterator begin() const;
    std::vector<Entry>::const_iterator end() const;

    bool isSameObject(const Dictionary& other) const { return m_impl == other.m_impl; }
    const void* identity() const { return m_impl.get(); }

private:
    friend class Value;
    struct Impl;
    std::shared_ptr<Impl> m_impl;
};

class Value
{
public:
    enum class Type { Null, Bool, Integer, Real, String, Date, Data, Array, Dictionary };

    Value() : m_storage(orvanta::Null{}) {}
    Value(orvanta::Null) : m_storage(orvanta::Null{}) {}
    Value(bool b) : m_storage(b) {}
    Value(int i) : m_storage(std::int64_t{i}) {}
    Value(long i) : m_storage(std::int64_t{i}) {}
    Value(long long i) : m_storage(std::int64_t{i}) {}
    Value(unsigned i) : m_storage(std::int64_t{i}) {}
    // Values past INT64_MAX wrap; property lists hold signed 64-bit integers only.
    Value(unsigned long i) : m_storage(static_cast<std::int64_t>(i)) {}
    Value(unsigned long long i) : m_storage(static_cast<std::int64_t>(i)) {}
    Value(double d) : m_storage(d) {}
    Value(const char* s) : m_storage(std::string(s)) {}
    Value(std::string s) : m_storage(std::move(s)) {}
    Value(std::string_view s) : m_storage(std::string(s)) {}
    Value(orvanta::Date d) : m_storage(d) {}
    Value(Bytes bytes);
    Value(orvanta::Array a) : m_storage(std::move(a)) {}
    Value(orvanta::Dictionary d) : m_storage(std::move(d)) {}

    Type type() const { return static_cast<Type>(m_storage.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isBool() const { return type() == Type::Bool; }
    bool isInteger() const { return type() == Type::Integer; }
    bool isReal() const { return type() == Type::Real; }
    bool isNumber() const { return isBool() || isInteger() || isReal(); }
    bool isString() const { return type() == Type::String; }
    bool isDate() const { return type() == Type::Date; }
    bool isData() const { return type() == Type::Data; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }

    /// Numbers convert to each other; anything else gives false / 0.
    bool toBool() const;
    std::int64_t toInteger() const;
    double toReal() const;

    /// The string, or an empty string for any other type.
    const std::string& toString() const;
    /// The date, or the epoch for any other type.
    orvanta::Date toDate() const;
    /// The bytes, or an empty buffer for any other type.
    const Bytes& toData() const;

    /// The container itself (shared), or a new empty one when this is not a container.
    orvanta::Array toArray() const;
    orvanta::Dictionary toDictionary() const;

    /// Independent copy of every nested container. Containers that appear several times
    /// in this value appear as one shared copy in the result.
    Value deepCopy() const;

    /// Content equality, recursively; types must match exactly.
    bool operator==(const Value& other) const;

    /// Identity for containers; content equality for scalars.
    bool isSameObject(const Value& other) const;

    static const char* typeName(Type type);

private:
    using DataPtr = std::shared_ptr<const Bytes>;
    std::variant<orvanta::Null, bool, std::int64_t, double, std::string, orvanta::Date, DataPtr,
                 orvanta::Array, orvanta::Dictionary>
        m_storage;
};

bool operator==(const Array& a, const Array& b);
bool operator==(const Dictionary& a, const Dictionary& b);

} // namespace orvanta
