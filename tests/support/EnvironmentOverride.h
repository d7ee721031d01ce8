#pragma once

// Environment variables set for the lifetime of an object; the old values come back when it
// goes. Tests that need a home of their own (scripts, the music folder) use it.

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace orvanta::test {

// Sets environment variables for the lifetime of the object and puts the old values back.
class EnvironmentOverride
{
public:
    ~EnvironmentOverride()
    {
        for (const auto& [name, old] : m_saved) {
            if (old)
                ::setenv(name.c_str(), old->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }
    void set(const std::string& name, const std::string& value)
    {
        remember(name);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    void unset(const std::string& name)
    {
        remember(name);
        ::unsetenv(name.c_str());
    }

private:
    void remember(const std::string& name)
    {
        if (m_saved.count(name))
            return;
        const char* old = std::getenv(name.c_str());
        m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    std::map<std::string, std::optional<std::string>> m_saved;
};

} // namespace orvanta::test
