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
inline constexpr std::string_view NP_SCHEDULED_RECORDING_PATH = "NP_SCHEDULED_RECORDING_PATH";
inline constexpr std::string_view NP_URLS_TO_VISIT = "NP_URLS_TO_VISIT";
inline constexpr std::string_view NP_ALWAYSMANUAL = "NP_ALWAYSMANUAL";
inline constexpr std::string_view NP_MANUALSPLITTYPE = "NP_MANUALSPLITTYPE";
inline constexpr std::string_view NP_SPLITTIMEMINS = "NP_SPLITTIMEMINS";
inline constexpr std::string_view NP_SPLITSIZEMB = "NP_SPLITSIZEMB";
inline constexpr std::string_view NP_REWINDSECS = "NP_REWINDSECS";
/// Seconds around a title change searched for the gap between songs; 0 searches only the
/// metadata periods on both sides of the change.
inline constexpr std::string_view NP_SPLIT_SEARCH_SECONDS = "NP_SPLIT_SEARCH_SECONDS";
/// kbit/s: an HLS station's variant nearest this rate is recorded; 0 or none, the highest.
inline constexpr std::string_view NP_HLS_VARIANT_KBPS = "NP_HLS_VARIANT_KBPS";
inline constexpr std::string_view NP_NUMBER_RECORDINGS = "NP_NUMBER_RECORDINGS";
inline constexpr std::string_view NP_LANGUAGE_ENCODING = "NP_LANGUAGE_ENCODING";
inline constexpr std::string_view NUMBER_RECORDINGS_TRACK = "NUMBER_RECORDINGS_TRACK";
inline constexpr std::string_view SPLIT_EARLIER_OR_LATER = "SPLIT_EARLIER_OR_LATER";
inline constexpr std::string_view NP_USERNAME = "NP_USERNAME";
inline constexpr std::string_view NP_PASSWORD = "NP_PASSWORD";
inline constexpr std::string_view NP_STREAMTITLE_SEPARATOR = "NP_STREAMTITLE_SEPARATOR";
inline constexpr std::string_view NP_STREAMTITLE_CLEAN = "NP_STREAMTITLE_CLEAN";
inline constexpr std::string_view NP_STREAMTITLE_CLEAN_LIST = "NP_STREAMTITLE_CLEAN_LIST";
inline constexpr std::string_view NP_STREAMTITLE_IGNORE = "NP_STREAMTITLE_IGNORE";
inline constexpr std::string_view NP_STREAMTITLE_IGNORE_LIST = "NP_STREAMTITLE_IGNORE_LIST";

inline constexpr std::string_view NP_TYPE = "NP_TYPE";
inline constexpr std::string_view NP_URLS = "NP_URLS";
inline constexpr std::string_view NP_SELECTEDURLINDEX = "NP_SELECTEDURLINDEX";
inline constexpr std::string_view NP_PRESET_ID = "NP_PRESET_ID";
inline constexpr std::string_view NP_OUTLINEVIEW_GROUP_EXPAND = "NP_OUTLINEVIEW_GROUP_EXPAND";
inline constexpr std::string_view NP_BITRATE = "NP_BITRATE";
inline constexpr std::string_view NP_STEREO = "NP_STEREO";
inline constexpr std::string_view NP_COMMENT = "NP_COMMENT";
inline constexpr std::string_view NP_RECORDING_SCHEDULE = "NP_RECORDING_SCHEDULE";
/// Seconds from the station's title changes to its song gaps, as its last clear splits found
/// them (negative: the titles come late); the newest last, a dozen at most.
inline constexpr std::string_view NP_SPLIT_OFFSETS = "NP_SPLIT_OFFSETS";
/// The station directory's identifier of a stream added from it (for its click count).
inline constexpr std::string_view NP_DIRECTORY_UUID = "NP_DIRECTORY_UUID";
/// The web address of the station's logo, when the directory names one.
inline constexpr std::string_view NP_LOGO_URL = "NP_LOGO_URL";

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
