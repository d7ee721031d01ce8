#include "MyID3Util.h"

#include <algorithm>

#include <QList>
#include <QString>
#include <QStringView>
#include <QTextBoundaryFinder>

#include "ID3v2Helper.h"

namespace orvanta {

namespace {

constexpr std::size_t kTitleOffset = 3;
constexpr std::size_t kArtistOffset = 33;
constexpr std::size_t kAlbumOffset = 63;
constexpr std::size_t kYearOffset = 93;
constexpr std::size_t kCommentOffset = 97;
constexpr std::size_t kGenreOffset = 127;
constexpr std::int64_t kLargestYear = 9999;

void writeTextField(Bytes& tag, std::size_t offset, const std::optional<std::string>& text)
{
    if (!text)
        return;
    const std::string latin1 = MyID3Util::latin1Text(*text, MyID3Util::kTextFieldSize);
    std::copy(latin1.begin(), latin1.end(), tag.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::optional<std::string> textField(const Dictionary& id3Tags, std::string_view key)
{
    const Value* value = id3Tags.find(key);
    return value ? ID3v2Helper::textForValue(*value) : std::nullopt;
}

} // namespace

Bytes MyID3Util::createID3v1TagWithTitle(const std::optional<std::string>& title,
                                         const std::optional<std::string>& artist,
                                         const std::optional<std::string>& album, std::int64_t year,
                                         const std::optional<std::string>& comment,
                                         std::uint8_t genre)
{
    Bytes tag(kTagSize, 0);
    tag[0] = 'T';
    tag[1] = 'A';
    tag[2] = 'G';
    writeTextField(tag, kTitleOffset, title);
    writeTextField(tag, kArtistOffset, artist);
    writeTextField(tag, kAlbumOffset, album);
    // Cutting a longer or negative year to four characters would store a different year.
    if (year > 0 && year <= kLargestYear) {
        const std::string digits = std::to_string(year);
        std::copy(digits.begin(), digits.end(),
                  tag.begin() + static_cast<std::ptrdiff_t>(kYearOffset));
    }
    writeTextField(tag, kCommentOffset, comment);
    tag[kGenreOffset] = genre;
    return tag;
}

std::string MyID3Util::latin1Text(std::string_view utf8, std::size_t maxLength)
{
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()))
                             .normalized(QString::NormalizationForm_C);
    std::string latin1;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = characters.toNextBoundary(); end > start && latin1.size() < maxLength;
         start = end, end = characters.toNextBoundary()) {
        const QList<uint> codePoints = QStringView(text).sliced(start, end - start).toUcs4();
        // A cluster such as CR LF is several characters that Latin-1 does hold.
        if (std::all_of(codePoints.begin(), codePoints.end(), [](uint c) { return c <= 0xFF; })) {
            for (const uint c : codePoints)
                latin1.push_back(static_cast<char>(c));
        } else {
            latin1.push_back('?');
        }
    }
    // One byte per character, so the cut never splits one.
    latin1.resize(std::min(latin1.size(), maxLength));
    return latin1;
}

Bytes createID3v1TagFromDictionary(const Dictionary& id3Tags)
{
    const std::int64_t year = ID3v2Helper::integerForValue(id3Tags.get("TYER")).value_or(0);
    return MyID3Util::createID3v1TagWithTitle(
        textField(id3Tags, "TIT2"), textField(id3Tags, "TPE1"), textField(id3Tags, "TALB"), year,
        textField(id3Tags, "COMM"), MyID3Util::kNoGenre);
}

} // namespace orvanta
