#include "DictionaryExtensions.h"

namespace orvanta {

bool boolForKey(const Dictionary& dictionary, std::string_view key)
{
    const Value* value = dictionary.find(key);
    return value && value->isNumber() && value->toBool();
}

void setBool(Dictionary& dictionary, bool value, std::string_view key)
{
    dictionary.set(key, Value(value));
}

} // namespace orvanta
