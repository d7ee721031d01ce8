#pragma once

// What every recording client needs from the application: where to post, the preferences,
// the main thread's mailbox (servers live there) and the listening relay.

#include <memory>

namespace orvanta {

class Mailbox;
class NotificationCenter;
class PreferencesReader;
class RelayInput;

struct RecordingContext
{
    NotificationCenter& center;
    const PreferencesReader& prefs;
    Mailbox& mainMailbox;
    std::shared_ptr<RelayInput> relay; // the listening relay; none when there is none
};

} // namespace orvanta
