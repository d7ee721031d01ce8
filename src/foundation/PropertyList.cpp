#include "PropertyList.h"

#include "AtomicFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include <pugixml.hpp>

namespace orvanta {

namespace {

// Deeper nesting is refused on both sides, so hostile files cannot exhaust the stack.
constexpr int kMaxDepth = 512;

constexpr std::string_view kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                     "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                     "<plist version=\"1.0\">\n";

// ---- calendar arithmetic (proleptic Gregorian, UTC) -----------------------------------

std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

bool isXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trimXmlSpace(std::string_view s)
{
    while (!s.empty() && isXmlSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isXmlSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// ---- writing ----------------------------------------------------------------------------

class Writer
{
public:
    std::string out;
    std::string error;

    bool write(const Value& v, int depth)
    {
        if (depth > kMaxDepth)
            return fail("nesting is deeper than " + std::to_string(kMaxDepth) +
                        " levels (is a container inside itself?)");
        indent(depth);
        switch (v.type()) {
        case Value::Type::Null:
            return fail("the null marker cannot be stored in a property list");
        case Value::Type::Bool:
            out += v.toBool() ? "<true/>\n" : "<false/>\n";
            return true;
        case Value::Type::Integer:
            out += "<integer>" + std::to_string(v.toInteger()) + "</integer>\n";
            return true;
        case Value::Type::Real:
            out += "<real>" + formatReal(v.toReal()) + "</real>\n";
            return true;
        case Value::Type::String:
            return writeString("string", v.toString());
        case Value::Type::Date: {
            const std::string text = formatPropertyListDate(v.toDate());
            if (text.empty())
                return fail("a date outside the years 1 to 9999 cannot be stored");
            out += "<date>" + text + "</date>\n";
            return true;
        }
        case Value::Type::Data:
            out += "<data>" + encodeBase64(v.toData()) + "</data>\n";
            return true;
        case Value::Type::Array: {
            const Array a = v.toArray();
            if (a.empty()) {
                out += "<array/>\n";
                return true;
            }
            out += "<array>\n";
            for (const Value& item : a) {
                if (!write(item, depth + 1))
                    return false;
            }
            indent(depth);
            out += "</array>\n";
            return true;
        }
        case Value::Type::Dictionary: {
            const Dictionary d = v.toDictionary();
            if (d.empty()) {
                out += "<dict/>\n";
                return true;
            }
            out += "<dict>\n";
            for (const auto& [key, item] : d) {
                indent(depth + 1);
                if (!writeString("key", key) || !write(item, depth + 1))
                    return false;
            }
            indent(depth);
            out += "</dict>\n";
            return true;
        }
        }
        return fail("unknown value type");
    }

private:
    bool fail(std::string message)
    {
        if (error.empty())
            error = std::move(message);
        return false;
    }

    void indent(int depth) { out.append(static_cast<std::size_t>(depth), '\t'); }

    static std::string formatReal(double d)
    {
        if (std::isnan(d))
            return "nan";
        if (std::isinf(d))
            return d > 0 ? "inf" : "-inf";
        std::array<char, 64> buffer{};
        auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), d);
        return ec == std::errc() ? std::string(buffer.data(), end) : std::string("0");
    }

    bool writeString(std::string_view tag, const std::string& s)
    {
        out += '<';
        out += tag;
        out += '>';
        std::size_t i = 0;
        while (i < s.size()) {
            const auto c = static_cast<unsigned char>(s[i]);
            if (c < 0x80) {
                if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                    return fail("text holds the control character " + std::to_string(c) +
                                ", which XML cannot carry");
                switch (c) {
                case '<':
                    out += "&lt;";
                    break;
                case '>':
                    out += "&gt;";
                    break;
                case '&':
                    out += "&amp;";
                    break;
                case '\r':
                    out += "&#13;"; // a literal CR would be read back as a line feed
                    break;
                default:
                    out += static_cast<char>(c);
                }
                ++i;
                continue;
            }
            const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
            char32_t cp = length == 4 ? c & 0x07 : length == 3 ? c & 0x0F : c & 0x1F;
            bool valid = length != 0 && i + length <= s.size();
            for (std::size_t k = 1; valid && k < length; ++k) {
                const auto cc = static_cast<unsigned char>(s[i + k]);
                valid = (cc & 0xC0) == 0x80;
                cp = (cp << 6) | (cc & 0x3F);
            }
            const char32_t minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
            if (!valid || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return fail("text is not valid UTF-8");
            if (cp == 0xFFFE || cp == 0xFFFF)
                return fail("text holds a character that XML cannot carry");
            out.append(s, i, length);
            i += length;
        }
        out += "</";
        out += tag;
        out += ">\n";
        return true;
    }
};

// ---- reading ----------------------------------------------------------------------------

class Reader
{
public:
    explicit Reader(std::string_view source) : m_source(source) {}

    std::string error;

    std::optional<Value> read(const pugi::xml_node& node, int depth)
    {
        if (depth > kMaxDepth)
            return fail(node, "nesting is deeper than " + std::to_string(kMaxDepth) + " levels");
        if (node.type() != pugi::node_element)
            return fail(node, "expected an element");
        const std::string_view name = node.name();
        if (name == "dict")
            return readDict(node, depth);
        if (name == "array")
            return readArray(node, depth);
        if (name == "true" || name == "false") {
            if (!trimXmlSpace(text(node)).empty() ||
                node.first_child().type() == pugi::node_element)
                return fail(node, "<" + std::string(name) + "/> must be empty");
            return Value(name == "true");
        }
        if (name == "string") {
            auto t = readText(node);
            return t ? std::optional<Value>(Value(std::move(*t))) : std::nullopt;
        }
        if (name == "integer")
            return readInteger(node);
        if (name == "real")
            return readReal(node);
        if (name == "date") {
            auto t = readText(node);
            if (!t)
                return std::nullopt;
            if (auto d = parsePropertyListDate(trimXmlSpace(*t)))
                return Value(*d);
            return fail(node, "invalid date \"" + *t + "\"");
        }
        if (name == "data") {
            auto t = readText(node);
            if (!t)
                return std::nullopt;
            if (auto bytes = decodeBase64(*t))
                return Value(std::move(*bytes));
            return fail(node, "invalid base64 data");
        }
        return fail(node, "unknown element <" + std::string(name) + ">");
    }

    std::size_t lineAt(std::ptrdiff_t offset) const
    {
        const auto end = static_cast<std::size_t>(
            std::clamp<std::ptrdiff_t>(offset, 0, static_cast<std::ptrdiff_t>(m_source.size())));
        return 1 + static_cast<std::size_t>(std::count(
                       m_source.begin(), m_source.begin() + static_cast<long>(end), '\n'));
    }

    std::nullopt_t fail(const pugi::xml_node& node, const std::string& message)
    {
        if (error.empty())
            error = "line " + std::to_string(lineAt(node.offset_debug())) + ": " + message;
        return std::nullopt;
    }

private:
    std::string_view m_source;

    static std::string text(const pugi::xml_node& node)
    {
        std::string s;
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
                s += child.value();
        }
        return s;
    }

    std::optional<std::string> readText(const pugi::xml_node& node)
    {
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_element)
                return fail(node, "<" + std::string(node.name()) + "> must hold text only");
        }
        return text(node);
    }

    std::optional<Value> readInteger(const pugi::xml_node& node)
    {
        auto raw = readText(node);
        if (!raw)
            return std::nullopt;
        std::string_view s = trimXmlSpace(*raw);
        bool negative = false;
        if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
            negative = s.front() == '-';
            s.remove_prefix(1);
        }
        int base = 10;
        if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
            base = 16;
            s.remove_prefix(2);
        }
        std::uint64_t magnitude = 0;
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
        if (s.empty() || ec == std::errc::invalid_argument || end != s.data() + s.size())
            return fail(node, "invalid integer \"" + *raw + "\"");
        const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : INT64_MAX;
        if (ec == std::errc::result_out_of_range || magnitude > limit)
            return fail(node, "integer \"" + *raw + "\" does not fit in 64 bits");
        if (negative)
            return Value(static_cast<std::int64_t>(0 - magnitude));
        return Value(static_cast<std::int64_t>(magnitude));
    }

    std::optional<Value> readReal(const pugi::xml_node& node)
    {
        auto raw = readText(node);
        if (!raw)
            return std::nullopt;
        std::string_view s = trimXmlSpace(*raw);
        std::string lower(s);
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        bool negative = false;
        std::string_view body = lower;
        if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
            negative = body.front() == '-';
            body.remove_prefix(1);
        }
        if (body == "inf" || body == "infinity")
            return Value(negative ? -HUGE_VAL : HUGE_VAL);
        if (body == "nan")
            return Value(std::nan(""));
        double d = 0;
        auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), d);
        if (body.empty() || ec != std::errc() || end != body.data() + body.size())
            return fail(node, "invalid real \"" + *raw + "\"");
        return Value(negative ? -d : d);
    }

    std::optional<Value> readArray(const pugi::xml_node& node, int depth)
    {
        Array result;
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_comment)
                continue;
            if (child.type() != pugi::node_element) {
                if (trimXmlSpace(child.value()).empty())
                    continue;
                return fail(child, "unexpected text in <array>");
            }
            auto item = read(child, depth + 1);
            if (!item)
                return std::nullopt;
            result.append(std::move(*item));
        }
        return Value(result);
    }

    std::optional<Value> readDict(const pugi::xml_node& node, int depth)
    {
        Dictionary result;
        std::optional<std::string> pendingKey;
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_comment)
                continue;
            if (child.type() != pugi::node_element) {
                if (trimXmlSpace(child.value()).empty())
                    continue;
                return fail(child, "unexpected text in <dict>");
            }
            if (!pendingKey) {
                if (std::string_view(child.name()) != "key")
                    return fail(child, "expected <key> in <dict>, found <" +
                                           std::string(child.name()) + ">");
                pendingKey = readText(child);
                if (!pendingKey)
                    return std::nullopt;
                continue;
            }
            if (std::string_view(child.name()) == "key")
                return fail(child, "<key> \"" + *pendingKey + "\" has no value");
            auto item = read(child, depth + 1);
            if (!item)
                return std::nullopt;
            result.set(*pendingKey, std::move(*item));
            pendingKey.reset();
        }
        if (pendingKey)
            return fail(node, "<key> \"" + *pendingKey + "\" has no value");
        return Value(result);
    }
};

} // namespace

std::string formatPropertyListDate(Date date)
{
    if (!std::isfinite(date.secondsSince1970))
        return {};
    const auto total = static_cast<std::int64_t>(std::floor(date.secondsSince1970));
    std::int64_t days = total / 86400;
    std::int64_t seconds = total % 86400;
    if (seconds < 0) {
        seconds += 86400;
        days -= 1;
    }
    std::int64_t year = 0;
    unsigned month = 0, day = 0;
    civilFromDays(days, year, month, day);
    if (year < 1 || year > 9999)
        return {};
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ",
                  static_cast<long long>(year), month, day, static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return buffer;
}

std::optional<Date> parsePropertyListDate(std::string_view text)
{
    // YYYY[-MM[-DD[THH[:MM[:SS]]]]]Z, as written by every common property-list writer.
    if (text.empty() || text.back() != 'Z')
        return std::nullopt;
    text.remove_suffix(1);
    int fields[6] = {0, 1, 1, 0, 0, 0};
    const char separators[6] = {0, '-', '-', 'T', ':', ':'};
    const std::size_t widths[6] = {4, 2, 2, 2, 2, 2};
    std::size_t pos = 0;
    for (int i = 0; i < 6 && pos < text.size(); ++i) {
        if (i > 0) {
            if (text[pos] != separators[i])
                return std::nullopt;
            ++pos;
        }
        if (pos + widths[i] > text.size())
            return std::nullopt;
        int value = 0;
        for (std::size_t k = 0; k < widths[i]; ++k) {
            const char c = text[pos + k];
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + (c - '0');
        }
        fields[i] = value;
        pos += widths[i];
    }
    if (pos != text.size())
        return std::nullopt;
    if (fields[1] < 1 || fields[1] > 12 || fields[2] < 1 || fields[2] > 31 || fields[3] > 23 ||
        fields[4] > 59 || fields[5] > 60)
        return std::nullopt;
    const std::int64_t days = daysFromCivil(fields[0], static_cast<unsigned>(fields[1]),
                                            static_cast<unsigned>(fields[2]));
    const std::int64_t seconds =
        days * 86400 + fields[3] * 3600 + fields[4] * 60 + static_cast<std::int64_t>(fields[5]);
    return Date{static_cast<double>(seconds)};
}

std::string encodeBase64(const Bytes& bytes)
{
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned n = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
        out += kAlphabet[n & 63];
    }
    if (i + 1 == bytes.size()) {
        const unsigned n = bytes[i] << 16;
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        const unsigned n = (bytes[i] << 16) | (bytes[i + 1] << 8);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
        out += '=';
    }
    return out;
}

std::optional<Bytes> decodeBase64(std::string_view text)
{
    Bytes out;
    out.reserve(text.size() / 4 * 3);
    unsigned buffer = 0;
    int bits = 0;
    int padding = 0;
    for (const char c : text) {
        int v;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+')
            v = 62;
        else if (c == '/')
            v = 63;
        else if (c == '=') {
            ++padding;
            continue;
        } else if (isXmlSpace(c))
            continue;
        else
            return std::nullopt;
        if (padding > 0)
            return std::nullopt; // data after padding
        buffer = (buffer << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<std::uint8_t>((buffer >> bits) & 0xFF));
        }
    }
    if (padding > 2 || bits >= 6)
        return std::nullopt;
    return out;
}

std::optional<Value> parsePropertyList(std::string_view bytes, std::string& error)
{
    pugi::xml_document document;
    const unsigned options = pugi::parse_default | pugi::parse_ws_pcdata_single;
    const pugi::xml_parse_result parsed = document.load_buffer(bytes.data(), bytes.size(), options);
    Reader reader(bytes);
    if (!parsed) {
        error = "line " + std::to_string(reader.lineAt(parsed.offset)) + ": not well-formed XML (" +
                parsed.description() + ")";
        return std::nullopt;
    }
    pugi::xml_node root = document.document_element();
    if (!root) {
        error = "the file holds no property list";
        return std::nullopt;
    }
    if (std::string_view(root.name()) == "plist") {
        pugi::xml_node content;
        for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_element) {
                if (content) {
                    reader.fail(child, "<plist> holds more than one value");
                    error = reader.error;
                    return std::nullopt;
                }
                content = child;
            } else if (child.type() == pugi::node_pcdata && !trimXmlSpace(child.value()).empty()) {
                reader.fail(child, "unexpected text in <plist>");
                error = reader.error;
                return std::nullopt;
            }
        }
        if (!content) {
            error = "the property list is empty";
            return std::nullopt;
        }
        root = content;
    }
    auto value = reader.read(root, 0);
    if (!value)
        error = reader.error;
    return value;
}

std::optional<std::string> serializePropertyList(const Value& value, std::string& error)
{
    Writer writer;
    writer.out = kHeader;
    if (!writer.write(value, 0)) {
        error = writer.error;
        return std::nullopt;
    }
    writer.out += "</plist>\n";
    return std::move(writer.out);
}

std::optional<Value> readPropertyListFile(const std::string& path, std::string& error)
{
    auto bytes = readWholeFile(path, error);
    if (!bytes)
        return std::nullopt;
    std::string parseError;
    auto value = parsePropertyList(*bytes, parseError);
    if (!value)
        error = path + ": " + parseError;
    return value;
}

bool writePropertyListFile(const std::string& path, const Value& value, std::string& error,
                           unsigned mode)
{
    auto text = serializePropertyList(value, error);
    if (!text)
        return false;
    return writeFileAtomically(path, *text, mode, error);
}

} // namespace orvanta
