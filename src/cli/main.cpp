// orvanta-cli: the application core without a window.

#include "PrefsController.h"
#include "PropertyList.h"
#include "Version.h"

#include <cstdio>
#include <string>
#include <string_view>

#include <QCoreApplication>

namespace {

constexpr const char* kUsage = "usage: orvanta-cli COMMAND\n"
                               "\n"
                               "commands:\n"
                               "  defaults   list every preference with its current value\n"
                               "  version    print the version\n"
                               "  help       print this text\n";

std::string describe(const orvanta::Value& value)
{
    using Type = orvanta::Value::Type;
    switch (value.type()) {
    case Type::Bool:
        return value.toBool() ? "true" : "false";
    case Type::Integer:
        return std::to_string(value.toInteger());
    case Type::Real:
        return std::to_string(value.toReal());
    case Type::String:
        return "\"" + value.toString() + "\"";
    case Type::Date:
        return orvanta::formatPropertyListDate(value.toDate());
    default:
        return std::string("(") + orvanta::Value::typeName(value.type()) + ")";
    }
}

int listDefaults()
{
    auto& prefs = orvanta::PrefsController::sharedInstance();
    const orvanta::Dictionary user = prefs.userValues();
    std::printf("# preferences in %s\n", prefs.storePath().c_str());
    for (const auto& [key, initial] : orvanta::PrefsController::registeredDefaults()) {
        const bool stored = user.contains(key);
        std::printf("%s = %s%s\n", key.c_str(), describe(prefs.getPrefsForKey(key)).c_str(),
                    stored ? "" : "  (initial)");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::string_view command = argc > 1 ? argv[1] : "help";
    if (command == "defaults" && argc == 2)
        return listDefaults();
    if (command == "version" && argc == 2) {
        std::printf("orvanta-cli %s\n", orvanta::kBundleVersion);
        return 0;
    }
    if ((command == "help" || command == "--help") && argc <= 2) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::fputs(kUsage, stderr);
    return 2;
}
