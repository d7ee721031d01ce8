// The wake-up helper's messages as they come over its socket, and the request handling
// that follows (against a stand-in alarm file, never the real RTC).

#include "CommandProc.h"
#include "FuzzCheck.h"
#include "PowerToolMessage.h"

#include <thread>

#include <sys/socket.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        return 0;
    // Small inputs fit the socket's buffer and go in at once; larger ones need a writer.
    auto send = [&] {
        orvanta::power::writeFully(pair[0], data, size);
        ::shutdown(pair[0], SHUT_WR);
    };
    std::thread writer;
    if (size <= 32 * 1024)
        send();
    else
        writer = std::thread(send);
    orvanta::Dictionary message;
    const int error = orvanta::power::copyDictionaryFromDescriptor(pair[1], message);
    // Drain what the reader left so that the writer can finish.
    char sink[4096];
    while (::read(pair[1], sink, sizeof sink) > 0) {
    }
    if (writer.joinable())
        writer.join();
    ::close(pair[0]);
    ::close(pair[1]);
    if (error != 0)
        return 0;
    // Only the checks of a command: the commands themselves need root and the alarm.
    std::optional<orvanta::Dictionary> response;
    const orvanta::Value* command = message.find(orvanta::power::kCommandNameKey);
    const orvanta::Value* when = message.find(orvanta::power::kDateTimeKey);
    if (message.empty() || !command || !command->isString() || !when || !when->isDate())
        return 0;
    orvanta::power::getErrorFromResponse(message);
    return 0;
}
