#pragma once

// What every recording client needs from the application: where to post, the preferences,
// the main thread's mailbox (servers live there), the thread group its threads belong to
// and the listening relay. Everything referenced must outlive the group's joinAll().

#include <memory>

namespace orvanta {

class Mailbox;
class NotificationCenter;
class OwnedThreads;
class PreferencesReader;
class RelayInput;

struct RecordingContext
{
    NotificationCenter& center;
    const PreferencesReader& prefs;
    Mailbox& mainMailbox;
    OwnedThreads& threads;             // the client thread and its worker
    std::shared_ptr<RelayInput> relay; // the listening relay; none when there is none
};

} // namespace orvanta
