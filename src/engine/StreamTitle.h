#pragma once

// One ICY metadata block's track title, split into artist, title and album by the song
// information pattern of the recording-style preset, with the preset's noise words removed
// and its ignore list applied.
//
// Thread: an object belongs to the worker thread that made it. The two expressions that
// find the title in a metadata block are shared by all objects and all threads; they are
// compiled on first use, thread-safely, and never change afterwards.

#include "Value.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta {

namespace pcre2 {
class Regex;
}

class StreamTitle
{
public:
    /// The highest predefined pattern number; other numbers fall back to pattern 0.
    static constexpr int kLastPredefinedPattern = 8;

    /// The title of a metadata block: its bytes up to the first zero byte, decoded with
    /// encodingType (see TextEncodings.h). nullptr when the block holds no usable title
    /// (undecodable, no StreamTitle='…', empty). A new object splits with separator "-"
    /// and predefined pattern 2 (artist, title).
    static std::unique_ptr<StreamTitle> initWithMetadata(const std::uint8_t* bytes,
                                                         std::size_t length, int encodingType);

    StreamTitle(const StreamTitle&) = delete;
    StreamTitle& operator=(const StreamTitle&) = delete;
    ~StreamTitle();

    const std::string& streamTitle() const;
    void setStreamTitle(std::string title);

    /// Regular-expression text, inserted into predefined patterns unescaped so that presets
    /// can use alternatives; takes effect at the next setPredefinedPattern().
    void setSeparator(std::string separator);
    const std::string& separator() const { return _separator; }

    /// Noise strings, removed (ignoring case) before matching and before the ignore test.
    void setCleanArray(std::vector<std::string> clean);
    /// A title that contains one of these (ignoring case, after cleaning) is to be ignored.
    void setIgnoreArray(std::vector<std::string> ignore);

    /// Installs predefined pattern number (0 to 8) built with the current separator. An
    /// empty separator cannot split anything, so it gives pattern 0 (all text is the title).
    /// If the separator makes the pattern invalid, the previous pattern stays.
    void setPredefinedPattern(int number);

    /// Compiles pattern (UTF-8 mode) and installs it; on failure returns false and keeps the
    /// previous pattern.
    bool setSongInfoPattern(const std::string& pattern);

    std::optional<std::string> artist() const;
    std::optional<std::string> title() const;
    std::optional<std::string> album() const;

    /// The named group of the song information pattern applied to the cleaned title,
    /// trimmed; an empty string when the group matched empty; nothing when the pattern does
    /// not match or the group is unknown or unset.
    std::optional<std::string> getNamedSubstring(std::string_view groupName) const;

    bool shouldIgnore() const;

    /// TPE1 (artist), TALB (album) and TIT2 (title) for those that were found with text;
    /// nothing when all three are missing. Empty parts are left out so that the naming code
    /// falls back to its defaults instead of writing empty tags.
    std::optional<orvanta::Dictionary> ID3v2Tags() const;

private:
    explicit StreamTitle(std::string title);

    std::string _streamTitle;
    std::string _separator;
    std::unique_ptr<pcre2::Regex> _reSongInfo;
    std::vector<std::string> _cleanArray;
    std::vector<std::string> _ignoreArray;
};

} // namespace orvanta
