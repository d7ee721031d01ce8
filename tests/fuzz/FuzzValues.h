#pragma once

// Containers of the value model share their storage, so a decoded archive may hold a
// container inside itself (the format allows it). Harnesses cut such loops after their
// checks so that the leak checker sees only real leaks.

#include "Value.h"

#include <set>

namespace orvanta::fuzz {

inline void breakCycles(Value& value, std::set<const void*>& ancestors)
{
    if (value.isArray()) {
        Array array = value.toArray();
        if (!ancestors.insert(array.identity()).second) {
            array.clear();
            return;
        }
        // Every item is visited first: clearing at the first loop would drop later items
        // with loops of their own unbroken.
        bool loops = false;
        for (std::size_t i = 0; i < array.size(); ++i) {
            Value item = array.at(i);
            if ((item.isArray() && ancestors.count(item.toArray().identity())) ||
                (item.isDictionary() && ancestors.count(item.toDictionary().identity())))
                loops = true;
            else
                breakCycles(item, ancestors);
        }
        if (loops)
            array.clear();
        ancestors.erase(array.identity());
    } else if (value.isDictionary()) {
        Dictionary dictionary = value.toDictionary();
        if (!ancestors.insert(dictionary.identity()).second) {
            dictionary.clear();
            return;
        }
        for (const std::string& key : dictionary.keys()) {
            Value item = dictionary.get(key);
            const bool loops =
                (item.isArray() && ancestors.count(item.toArray().identity())) ||
                (item.isDictionary() && ancestors.count(item.toDictionary().identity()));
            if (loops)
                dictionary.remove(key);
            else
                breakCycles(item, ancestors);
        }
        ancestors.erase(dictionary.identity());
    }
}

inline void breakCycles(Value value)
{
    std::set<const void*> ancestors;
    breakCycles(value, ancestors);
}

} // namespace orvanta::fuzz
