#pragma once

// Keys of a station's properties and of the recording-properties dictionary that the
// engine reads (a station's own keys and those its recording-style preset merges in).

#include <string_view>

namespace orvanta::np {

inline constexpr std::string_view NP_NAME = "NP_NAME";
inline constexpr std::string_view NP_GENRE = "NP_GENRE";
inline constexpr std::string_view NP_HISTORY = "NP_HISTORY";
inline constexpr std::string_view NP_STREAMTITLE_PATTERN = "NP_STREAMTITLE_PATTERN";
inline constexpr std::string_view NP_GENRE_TYPE = "NP_GENRE_TYPE";
inline constexpr std::string_view NP_GENRE_CUSTOM = "NP_GENRE_CUSTOM";
inline constexpr std::string_view NP_STREAM_IF_NO_ALBUM = "NP_STREAM_IF_NO_ALBUM";
inline constexpr std::string_view NP_COMPILATION_FLAG = "NP_COMPILATION_FLAG";
inline constexpr std::string_view NP_COMPILATION_ALBUM_LABEL = "NP_COMPILATION_ALBUM_LABEL";

} // namespace orvanta::np

namespace orvanta::fileinfo {

// Keys of a recorded file's information (its history entry).
inline constexpr std::string_view kCompleteBaseDir = "completeBaseDir";
inline constexpr std::string_view kFilename = "filename";
inline constexpr std::string_view kID3Tags = "ID3TAGS";
inline constexpr std::string_view kDuplicate = "duplicate";
inline constexpr std::string_view kStreamTitle = "STREAMTITLE";
inline constexpr std::string_view kLocation = "location";
inline constexpr std::string_view kDateCompleted = "dateCompleted";

} // namespace orvanta::fileinfo
