#pragma once

// What the recording clients hand to the listening relay: every audio block, and the client
// whose current song names what is playing. The relay itself lives with the station library;
// the engine knows it only through this interface.

#include "MyFileWriter.h"

#include <memory>

namespace orvanta {

class GenericClient;

class RelayInput : public RawDataWriter
{
public:
    /// The client whose currentSong() gives the titles the relay sends; the relay reads it
    /// on its own threads, so the client's currentSong() must be thread-safe. Thread: any.
    virtual void setDelegate(std::weak_ptr<GenericClient> client) = 0;
    /// The content type a player is told, and what it must get before the first audio to
    /// decode from the middle of the stream (an Ogg stream's header pages; none for frame
    /// formats). Thread: any.
    virtual void setStreamFormat(std::string contentType, Bytes streamHeader) = 0;
};

} // namespace orvanta
