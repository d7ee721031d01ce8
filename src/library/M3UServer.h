#pragma once

// The main-thread half of a playlist-source recording. It behaves exactly like MP3Server
// (properties at registration, then the client's worker); the core tells the two apart by
// type to pick the matching client.
//
// Thread: main.

#include "GenericServer.h"

namespace orvanta {

class M3UServer : public MP3Server
{
public:
    using MP3Server::MP3Server;
};

} // namespace orvanta
