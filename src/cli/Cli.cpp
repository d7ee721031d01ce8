// Argument helpers, value parsing and the library wrapper of orvanta-cli.

#include "Cli.h"

#include "Localization.h"
#include "PrefsController.h"
#include "PropertyList.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sstream>

namespace orvanta::cli {

namespace {

std::vector<std::string> splitPath(const std::string& path)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(path);
    while (std::getline(stream, part, '/')) {
        if (!part.empty()) {
            parts.push_back(part);
        }
    }
    return parts;
}

std::optional<std::int64_t> parseInteger(const std::string& text)
{
    std::int64_t result = 0;
    const char* end = text.data() + text.size();
    auto [ptr, error] = std::from_chars(text.data(), end, result);
    if (text.empty() || error != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return result;
}

std::optional<double> parseReal(const std::string& text)
{
    if (text.empty()) {
        return std::nullopt;
    }
    try {
        std::size_t used = 0;
        const double result = std::stod(text, &used);
        if (used != text.size()) {
            return std::nullopt;
        }
        return result;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

std::optional<std::string> takeOption(Args& args, std::string_view name)
{
    auto it = std::find(args.begin(), args.end(), name);
    if (it == args.end()) {
        return std::nullopt;
    }
    if (it + 1 == args.end()) {
        throw UsageError(Orvanta::tr("%1 needs a value", {std::string(name)}));
    }
    std::string value = *(it + 1);
    args.erase(it, it + 2);
    return value;
}

bool takeFlag(Args& args, std::string_view name)
{
    auto it = std::find(args.begin(), args.end(), name);
    if (it == args.end()) {
        return false;
    }
    args.erase(it);
    return true;
}

void rejectUnknownOptions(const Args& args)
{
    for (const std::string& arg : args) {
        if (arg.size() > 2 && arg.starts_with("--")) {
            throw UsageError(Orvanta::tr("unknown option %1", {arg}));
        }
    }
}

std::string describe(const Value& value, bool quoteStrings)
{
    using Type = Value::Type;
    switch (value.type()) {
    case Type::Bool:
        return value.toBool() ? "true" : "false";
    case Type::Integer:
        return std::to_string(value.toInteger());
    case Type::Real: {
        std::ostringstream out;
        out << value.toReal();
        return out.str();
    }
    case Type::String:
        return quoteStrings ? "\"" + value.toString() + "\"" : value.toString();
    case Type::Date:
        return formatPropertyListDate(value.toDate());
    case Type::Array: {
        // A list of strings (the title lists of a preset) as its quoted items.
        std::string text = "[";
        for (const Value& item : value.toArray()) {
            text += (text.size() > 1 ? ", " : "") + describe(item, true);
        }
        return text + "]";
    }
    default:
        return std::string("(") + Value::typeName(value.type()) + ")";
    }
}

std::optional<Value> parseValueAs(const std::string& text, Value::Type type)
{
    using Type = Value::Type;
    switch (type) {
    case Type::Bool:
        if (text == "true" || text == "yes" || text == "1") {
            return Value(true);
        }
        if (text == "false" || text == "no" || text == "0") {
            return Value(false);
        }
        return std::nullopt;
    case Type::Integer:
        if (auto integer = parseInteger(text)) {
            return Value(*integer);
        }
        return std::nullopt;
    case Type::Real:
        if (auto real = parseReal(text)) {
            return Value(*real);
        }
        return std::nullopt;
    case Type::String:
        return Value(text);
    default:
        return std::nullopt;
    }
}

Value parseValueByForm(const std::string& text)
{
    if (text == "true") {
        return Value(true);
    }
    if (text == "false") {
        return Value(false);
    }
    if (auto integer = parseInteger(text)) {
        return Value(*integer);
    }
    if (auto real = parseReal(text)) {
        return Value(*real);
    }
    return Value(text);
}

Library::Library()
    : m_controller(std::make_unique<MyOLVController>(&PrefsController::sharedInstance()))
{
    std::string alert;
    m_controller->setAlertHandler([&alert](const std::string& title, const std::string& text) {
        alert = title + ": " + text;
    });
    const auto result = m_controller->loadOLVData();
    m_controller->setAlertHandler({});
    if (result == MyOLVController::LoadResult::Unreadable) {
        throw Failure(alert.empty() ? Orvanta::tr("cannot read %1", {m_controller->libraryPath()})
                                    : alert);
    }
}

Node* findNode(Node* root, const std::string& path)
{
    const std::vector<std::string> parts = splitPath(path);
    if (parts.empty()) {
        throw UsageError(Orvanta::tr("empty station path"));
    }
    Node* node = root;
    std::string walked;
    for (const std::string& part : parts) {
        walked += walked.empty() ? part : "/" + part;
        const auto& children = node->children();
        auto it = std::find_if(children.begin(), children.end(),
                               [&part](const NodePtr& child) { return child->name() == part; });
        if ((node != root && node->nodeType() != Node::kGroup) || it == children.end()) {
            throw Failure(Orvanta::tr("no station or group \"%1\" in the library", {walked}));
        }
        node = it->get();
    }
    return node;
}

Node* Library::find(const std::string& path) const
{
    return findNode(root(), path);
}

Node* Library::findGroup(const std::string& path) const
{
    if (splitPath(path).empty()) {
        return root();
    }
    Node* node = find(path);
    if (node->nodeType() != Node::kGroup) {
        throw Failure(Orvanta::tr("\"%1\" is a station, not a group", {path}));
    }
    return node;
}

void Library::save()
{
    if (!m_controller->saveOLVData()) {
        throw Failure(
            Orvanta::tr("could not save the library to %1", {m_controller->libraryPath()}));
    }
}

} // namespace orvanta::cli
