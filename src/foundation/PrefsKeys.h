#pragma once

// Keys of the application preferences.

#include <string_view>

namespace orvanta::prefs {

inline constexpr std::string_view kBundleVersion = "bundleversion";
inline constexpr std::string_view kDownloadPath = "downloadpath";
inline constexpr std::string_view kProxyHost = "proxyhost";
inline constexpr std::string_view kProxyPort = "proxyport";
inline constexpr std::string_view kUseProxy = "useproxy";
inline constexpr std::string_view kUseAqua = "useaqua";
inline constexpr std::string_view kIgnoreFileSize = "ignorefilesize";
inline constexpr std::string_view kIgnoreFileSizeKB = "ignorefilesizekb";
inline constexpr std::string_view kRelayPort = "relayport";
inline constexpr std::string_view kSearchPorts = "searchports";
inline constexpr std::string_view kDiskSpaceSafety = "diskspacesafety";
inline constexpr std::string_view kReplaceStreamName = "replacestreamname";
inline constexpr std::string_view kUseID3v1 = "useid3v1";
inline constexpr std::string_view kLowSpeedDisconnect = "LowSpeedDisconnect";
inline constexpr std::string_view kLowSpeedLimitSeconds = "LowSpeedLimitSeconds";
inline constexpr std::string_view kAutoReconnect = "AutoReconnect";
inline constexpr std::string_view kPlaylistDeleteSource = "PlaylistDeleteSource";
inline constexpr std::string_view kAutoReconnectWaitSeconds = "AutoReconnectWaitSeconds";
inline constexpr std::string_view kIgnoreDuplicateRecordings = "IgnoreDuplicateRecordings";
inline constexpr std::string_view kMilitaryTimeInFilenames = "MilitaryTimeInFilenames";
inline constexpr std::string_view kDirLayout = "DirLayout";
inline constexpr std::string_view kScheduledDirLayout = "ScheduledDirLayout";
inline constexpr std::string_view kWakeFromSleep = "WakeFromSleep";
inline constexpr std::string_view kWakeFromSleepWarnIfQuitting = "WakeFromSleepWarnIfQuitting";
inline constexpr std::string_view kListenWithApplication = "listenWithApplication";
/// How long and how much of the streams as received is kept (days, MiB); 0 keeps none.
inline constexpr std::string_view kJournalDays = "JournalDays";
// Minutes kept of a station heard but not recorded (0: heard directly, nothing kept).
inline constexpr std::string_view kListenBufferMinutes = "ListenBufferMinutes";
/// Closing the window hides it in the tray (where there is one) instead of quitting.
inline constexpr std::string_view kKeepRecordingInTray = "KeepRecordingInTray";
inline constexpr std::string_view kJournalBudgetMB = "JournalBudgetMB";
/// Address of the station directory to search; empty: the public servers, found by name.
inline constexpr std::string_view kStationDirectory = "stationdirectory";

// Used but never registered: left behind by older versions, removed at every quit.
inline constexpr std::string_view kRadioStreams = "radiostreams";
inline constexpr std::string_view kRadioStreamsPath = "radiostreamspath";

/// Folder-layout bits of DirLayout and ScheduledDirLayout.
enum DirLayoutBit : int {
    kLayoutGenre = 1,
    kLayoutStream = 2,
    kLayoutScheduledName = 4,
    kLayoutArtist = 8,
    kLayoutAlbum = 16,
    kLayoutDay = 32,
    kLayoutTime = 64,
};

} // namespace orvanta::prefs
