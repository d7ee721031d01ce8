#include "DirectoryStation.h"

#include "Localization.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QString>

#include <algorithm>
#include <cctype>

namespace orvanta {

namespace {

std::string textOf(const QJsonObject& object, const char* key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isString())
        return value.toString().trimmed().toStdString();
    if (value.isDouble())
        return QString::number(value.toDouble()).toStdString();
    return {};
}

std::int64_t numberOf(const QJsonObject& object, const char* key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    double number = 0;
    if (value.isDouble())
        number = value.toDouble();
    else if (value.isString())
        number = value.toString().toDouble();
    else if (value.isBool())
        number = value.toBool() ? 1 : 0;
    // NaN and values past what a count can be are read as nothing.
    if (!(number >= 0 && number < 1e15))
        return 0;
    return static_cast<std::int64_t>(number);
}

bool isWebAddress(const std::string& address)
{
    auto startsWith = [&](std::string_view prefix) {
        return address.size() > prefix.size() &&
               std::equal(prefix.begin(), prefix.end(), address.begin(), [](char a, char b) {
                   return a == std::tolower(static_cast<unsigned char>(b));
               });
    };
    return startsWith("http://") || startsWith("https://");
}

bool sameLetters(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

} // namespace

std::string DirectoryStation::streamAddress() const
{
    return isWebAddress(url) ? url : resolvedUrl;
}

bool DirectoryStation::isRecordable() const
{
    return hasRecordableCodec(); // HLS too: its segments are read one by one
}

bool DirectoryStation::hasRecordableCodec() const
{
    static constexpr std::string_view kRecorded[] = {"MP3", "AAC",    "AAC+", "HE-AAC",
                                                     "OGG", "VORBIS", "OPUS", "UNKNOWN"};
    return codec.empty() ||
           std::any_of(std::begin(kRecorded), std::end(kRecorded),
                       [this](std::string_view c) { return sameLetters(codec, c); });
}

std::string DirectoryStation::genre() const
{
    constexpr int kMostTags = 3;
    std::string genre;
    int taken = 0;
    std::string_view rest = tags;
    while (!rest.empty() && taken < kMostTags) {
        const auto comma = rest.find(',');
        std::string tag(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        tag = QString::fromStdString(tag).trimmed().toStdString();
        if (tag.empty())
            continue;
        tag[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(tag[0])));
        if (!genre.empty())
            genre += ", ";
        genre += tag;
        ++taken;
    }
    return genre;
}

std::string percentEncoded(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 15];
        }
    }
    return encoded;
}

std::string DirectoryQuery::path() const
{
    std::string query;
    auto add = [&query](std::string_view key, std::string_view value) {
        if (value.empty())
            return;
        query += query.empty() ? '?' : '&';
        query += key;
        query += '=';
        query += percentEncoded(value);
    };
    add("name", name);
    add("tag", tag);
    add("countrycode", countryCode);
    add("language", language);
    add("codec", codec);
    if (minBitrate > 0)
        add("bitrateMin", std::to_string(minBitrate));
    add("order", order == Order::Votes ? "votes" : "clickcount");
    add("reverse", "true");
    add("hidebroken", "true");
    add("offset", std::to_string(std::max(0, offset)));
    add("limit", std::to_string(std::clamp(limit, 1, 500)));
    return "/json/stations/search" + query;
}

std::optional<std::vector<DirectoryStation>>
parseDirectoryStations(std::string_view json, std::string& error, std::size_t* entryCount)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray(json.data(), static_cast<qsizetype>(json.size())), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isArray()) {
        error = Orvanta::tr("The station directory sent an answer that cannot be read");
        return std::nullopt;
    }
    std::vector<DirectoryStation> stations;
    const QJsonArray entries = document.array();
    if (entryCount)
        *entryCount = static_cast<std::size_t>(entries.size());
    for (const QJsonValue& item : entries) {
        if (!item.isObject())
            continue;
        const QJsonObject object = item.toObject();
        DirectoryStation station;
        station.uuid = textOf(object, "stationuuid");
        station.name = textOf(object, "name");
        station.url = textOf(object, "url");
        station.resolvedUrl = textOf(object, "url_resolved");
        station.homepage = textOf(object, "homepage");
        station.favicon = textOf(object, "favicon");
        station.tags = textOf(object, "tags");
        station.country = textOf(object, "country");
        station.countryCode = textOf(object, "countrycode");
        station.language = textOf(object, "language");
        station.codec = textOf(object, "codec");
        station.bitrate =
            static_cast<int>(std::min<std::int64_t>(numberOf(object, "bitrate"), 1 << 20));
        station.votes = numberOf(object, "votes");
        station.clickCount = numberOf(object, "clickcount");
        station.hls = numberOf(object, "hls") != 0;
        station.lastCheckOk =
            !object.contains(QLatin1String("lastcheckok")) || numberOf(object, "lastcheckok") != 0;
        if (!isWebAddress(station.resolvedUrl))
            station.resolvedUrl.clear();
        if (!isWebAddress(station.homepage))
            station.homepage.clear();
        if (!isWebAddress(station.favicon))
            station.favicon.clear();
        if (station.uuid.empty() || station.name.empty() || station.streamAddress().empty())
            continue;
        stations.push_back(std::move(station));
    }
    return stations;
}

} // namespace orvanta
