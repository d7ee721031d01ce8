#include "StreamTitle.h"

#include <cstdlib>
#include <utility>

#include "Regex.h"

#include <QString>

#include "StringExtensions.h"
#include "TextEncodings.h"

namespace orvanta {

namespace {

constexpr std::string_view kStreamTitleGroup = "_streamtitle_";
constexpr const char* kArtistGroup = "_artist_";
constexpr const char* kTitleGroup = "_title_";
constexpr const char* kAlbumGroup = "_album_";

// The groups of each predefined pattern, in the order they appear in the title.
constexpr const char* kPredefinedGroups[StreamTitle::kLastPredefinedPattern + 1][3] = {
    {kTitleGroup, nullptr, nullptr},          // 0: the whole text
    {kTitleGroup, kArtistGroup, nullptr},     // 1
    {kArtistGroup, kTitleGroup, nullptr},     // 2
    {kTitleGroup, kArtistGroup, kAlbumGroup}, // 3
    {kTitleGroup, kAlbumGroup, kArtistGroup}, // 4
    {kArtistGroup, kAlbumGroup, kTitleGroup}, // 5
    {kArtistGroup, kTitleGroup, kAlbumGroup}, // 6
    {kAlbumGroup, kTitleGroup, kArtistGroup}, // 7
    {kAlbumGroup, kArtistGroup, kTitleGroup}, // 8
};

const pcre2::Regex* compileShared(const char* pattern)
{
    auto compiled = pcre2::Regex::compile(pattern);
    if (!compiled) // a constant pattern that does not compile is a bug, not bad input
        std::abort();
    // Never freed: workers may still be matching while static objects are destroyed at exit.
    return new pcre2::Regex(std::move(*compiled));
}

// Function-local statics: the first worker to get here compiles, the others wait for it.
const pcre2::Regex& titleWithUrlExpression()
{
    static const pcre2::Regex* const expression =
        compileShared("^StreamTitle='(?P<_streamtitle_>.*)';StreamUrl='(?P<_streamurl_>.*)'");
    return *expression;
}

const pcre2::Regex& titleOnlyExpression()
{
    static const pcre2::Regex* const expression =
        compileShared("^StreamTitle='(?P<_streamtitle_>.*)'");
    return *expression;
}

std::string removeCleanStrings(const std::string& text, const std::vector<std::string>& clean)
{
    if (clean.empty())
        return text;
    // QString compares case through Unicode case folding, so "É" matches "é" as well.
    QString result = QString::fromStdString(text);
    for (const std::string& noise : clean) {
        if (noise.empty()) // nothing to remove, and some removal loops never end on ""
            continue;
        result.remove(QString::fromStdString(noise), Qt::CaseInsensitive);
    }
    return result.toStdString();
}

std::optional<std::string> namedSubstring(const pcre2::Regex* expression, const std::string& text,
                                          const std::vector<std::string>& clean,
                                          std::string_view groupName)
{
    if (!expression || !*expression)
        return std::nullopt;
    const auto match = expression->match(removeCleanStrings(text, clean));
    if (!match)
        return std::nullopt;
    const auto group = match->group(groupName);
    if (!group)
        return std::nullopt;
    return stringByTrimmingWhitespaceAndNewline(*group);
}

std::string buildPredefinedPattern(int number, const std::string& separator)
{
    if (number < 0 || number > StreamTitle::kLastPredefinedPattern || separator.empty())
        number = 0;
    const auto& groups = kPredefinedGroups[number];
    std::string pattern = "^(?P<" + std::string(groups[0]) + ">.*)";
    for (int i = 1; i < 3 && groups[i]; ++i)
        pattern += "\\s?" + separator + "\\s?(?P<" + groups[i] + ">.*)";
    pattern += "$";
    return pattern;
}

} // namespace

std::unique_ptr<StreamTitle> StreamTitle::initWithMetadata(const std::uint8_t* bytes,
                                                           std::size_t length, int encodingType)
{
    const std::optional<std::string> text = decodeMetadataText(bytes, length, encodingType);
    if (!text)
        return nullptr;
    const std::vector<std::string> noClean;
    std::optional<std::string> found =
        namedSubstring(&titleWithUrlExpression(), *text, noClean, kStreamTitleGroup);
    // Only a missing match falls through: an empty title next to a StreamUrl is empty, and
    // the title-only expression would take "';StreamUrl='…" as the title.
    if (!found)
        found = namedSubstring(&titleOnlyExpression(), *text, noClean, kStreamTitleGroup);
    if (!found || found->empty())
        return nullptr;
    std::unique_ptr<StreamTitle> streamTitle(new StreamTitle(std::move(*found)));
    streamTitle->setSeparator("-");
    streamTitle->setPredefinedPattern(2);
    return streamTitle;
}

StreamTitle::StreamTitle(std::string title) : _streamTitle(std::move(title)) {}

StreamTitle::~StreamTitle() = default;

const std::string& StreamTitle::streamTitle() const
{
    return _streamTitle;
}

void StreamTitle::setStreamTitle(std::string title)
{
    _streamTitle = std::move(title);
}

void StreamTitle::setSeparator(std::string separator)
{
    _separator = std::move(separator);
}

void StreamTitle::setCleanArray(std::vector<std::string> clean)
{
    _cleanArray = std::move(clean);
}

void StreamTitle::setIgnoreArray(std::vector<std::string> ignore)
{
    _ignoreArray = std::move(ignore);
}

void StreamTitle::setPredefinedPattern(int number)
{
    setSongInfoPattern(buildPredefinedPattern(number, _separator));
}

bool StreamTitle::setSongInfoPattern(const std::string& pattern)
{
    auto compiled = pcre2::Regex::compile(pattern);
    if (!compiled)
        return false;
    _reSongInfo = std::make_unique<pcre2::Regex>(std::move(*compiled));
    return true;
}

std::optional<std::string> StreamTitle::artist() const
{
    return getNamedSubstring(kArtistGroup);
}

std::optional<std::string> StreamTitle::title() const
{
    return getNamedSubstring(kTitleGroup);
}

std::optional<std::string> StreamTitle::album() const
{
    return getNamedSubstring(kAlbumGroup);
}

std::optional<std::string> StreamTitle::getNamedSubstring(std::string_view groupName) const
{
    return namedSubstring(_reSongInfo.get(), _streamTitle, _cleanArray, groupName);
}

bool StreamTitle::shouldIgnore() const
{
    if (_ignoreArray.empty())
        return false;
    const QString text = QString::fromStdString(removeCleanStrings(_streamTitle, _cleanArray));
    for (const std::string& ignore : _ignoreArray) {
        // "" occurs in every text; an empty entry in the preset's list must not ignore all.
        if (!ignore.empty() && text.contains(QString::fromStdString(ignore), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

std::optional<orvanta::Dictionary> StreamTitle::ID3v2Tags() const
{
    orvanta::Dictionary tags;
    const std::pair<const char*, std::optional<std::string>> parts[] = {
        {"TPE1", artist()},
        {"TALB", album()},
        {"TIT2", title()},
    };
    for (const auto& [frame, text] : parts) {
        if (text && !text->empty())
            tags.set(frame, *text);
    }
    if (tags.empty())
        return std::nullopt;
    return tags;
}

} // namespace orvanta
