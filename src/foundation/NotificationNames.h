#pragma once

// The names of the notifications that recording clients, the file writer and the relay
// post, and the key of their alert message.

#include <array>
#include <string_view>

namespace orvanta {

inline constexpr std::string_view OVFatalErrorAlertNotification = "OVFatalErrorAlertNotification";
inline constexpr std::string_view OVErrorAlertNotification = "OVErrorAlertNotification";
inline constexpr std::string_view OVRelayConnectionOpenedNotification =
    "OVRelayConnectionOpenedNotification";
inline constexpr std::string_view OVRelayConnectionClosedNotification =
    "OVRelayConnectionClosedNotification";
inline constexpr std::string_view OVRelayConnectionErrorNotification =
    "OVRelayConnectionErrorNotification";
inline constexpr std::string_view OVStreamBitrateNotification = "OVStreamBitrateNotification";
inline constexpr std::string_view OVStreamStereoNotification = "OVStreamStereoNotification";
inline constexpr std::string_view OVStreamNameNotification = "OVStreamNameNotification";
inline constexpr std::string_view OVStreamGenreNotification = "OVStreamGenreNotification";
inline constexpr std::string_view OVMetaintNotification = "OVMetaintNotification";
inline constexpr std::string_view OVFinishedNotification = "OVFinishedNotification";
inline constexpr std::string_view OVRecordingFileCompleted = "OVRecordingFileCompleted";
inline constexpr std::string_view OVRelayConnectionListenNotification =
    "OVRelayConnectionListenNotification";
/// A split found its gap at this many seconds from the title change (a real number).
inline constexpr std::string_view OVSplitOffsetNotification = "OVSplitOffsetNotification";

/// Key of the message text in the user info of the two alert notifications.
inline constexpr std::string_view OVErrorAlertNotificationMessage =
    "OVErrorAlertNotificationMessage";

/// The names the application core observes, in the order it registers them.
inline constexpr std::array<std::string_view, 14> kObservedNotificationNames = {
    OVErrorAlertNotification,
    OVFatalErrorAlertNotification,
    OVRelayConnectionOpenedNotification,
    OVRelayConnectionClosedNotification,
    OVRelayConnectionErrorNotification,
    OVStreamBitrateNotification,
    OVStreamStereoNotification,
    OVStreamNameNotification,
    OVFinishedNotification,
    OVStreamGenreNotification,
    OVMetaintNotification,
    OVRecordingFileCompleted,
    OVRelayConnectionListenNotification,
    OVSplitOffsetNotification,
};

} // namespace orvanta
