// The message format both sides of the wake-up helper speak, over real sockets and pipes.

#include "PowerToolMessage.h"

#include "PropertyList.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::power;

namespace {

struct SocketPair
{
    SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fd), 0); }
    ~SocketPair()
    {
        for (int end : fd)
            if (end >= 0)
                ::close(end);
    }
    void closeWriter()
    {
        ::close(fd[0]);
        fd[0] = -1;
    }
    int fd[2] = {-1, -1};
};

/// A raw message: the length in host order, then body.
void sendRaw(int fd, std::uint32_t length, const std::string& body)
{
    ASSERT_EQ(writeFully(fd, &length, sizeof length), 0);
    ASSERT_EQ(writeFully(fd, body.data(), body.size()), 0);
}

std::string plist(const Value& root)
{
    std::string error;
    return serializePropertyList(root, error).value();
}

} // namespace

TEST(PowerToolMessageTest, ARequestAndAResponseArriveAsTheyWereSent)
{
    SocketPair pair;
    const Dictionary request{{kCommandNameKey, Value(std::string(kScheduleWake))},
                             {kDateTimeKey, Value(Date{1'800'000'000})},
                             {"note", Value(std::string("caf\xC3\xA9"))},
                             {"list", Value(Array{Value(1), Value(-2), Value(true)})}};
    ASSERT_EQ(writeDictionaryToDescriptor(pair.fd[0], request), 0);
    Dictionary received;
    ASSERT_EQ(copyDictionaryFromDescriptor(pair.fd[1], received), 0);
    EXPECT_EQ(Value(received), Value(request));
    EXPECT_EQ(received.keys(), request.keys());
}

TEST(PowerToolMessageTest, TheReaderRefusesEmptyOversizedForeignAndCutMessages)
{
    {
        SocketPair pair;
        sendRaw(pair.fd[0], 0, "");
        Dictionary message;
        EXPECT_EQ(copyDictionaryFromDescriptor(pair.fd[1], message), kParameterError) << "empty";
    }
    {
        // Refused from the length alone: nothing of the body was sent.
        SocketPair pair;
        sendRaw(pair.fd[0], kMaximumMessageSize + 1, "");
        pair.closeWriter();
        Dictionary message;
        EXPECT_EQ(copyDictionaryFromDescriptor(pair.fd[1], message), kMessageTooLarge);
    }
    {
        SocketPair pair;
        const std::string body = plist(Value(Array{Value(1)}));
        sendRaw(pair.fd[0], static_cast<std::uint32_t>(body.size()), body);
        Dictionary message;
        EXPECT_EQ(copyDictionaryFromDescriptor(pair.fd[1], message), kParameterError)
            << "a root that is no dictionary";
    }
    {
        SocketPair pair;
        const std::string body = "<plist><dict><key>a</dict>";
        sendRaw(pair.fd[0], static_cast<std::uint32_t>(body.size()), body);
        Dictionary message;
        EXPECT_EQ(copyDictionaryFromDescriptor(pair.fd[1], message), kParameterError) << "garbage";
    }
    {
        SocketPair pair;
        const std::string body = plist(Value(Dictionary{{"a", Value(1)}}));
        sendRaw(pair.fd[0], static_cast<std::uint32_t>(body.size() + 10), body);
        pair.closeWriter();
        Dictionary message;
        EXPECT_EQ(copyDictionaryFromDescriptor(pair.fd[1], message), EPIPE) << "cut short";
    }
    {
        SocketPair pair;
        const std::uint16_t half = 7;
        ASSERT_EQ(writeFully(pair.fd[0], &half, sizeof half), 0);
        pair.closeWriter();
        Dictionary message;
        EXPECT_EQ(copyDictionaryFromDescriptor(pair.fd[1], message), EPIPE) << "half a length";
    }
}

TEST(PowerToolMessageTest, AMessageOfExactlyTheLimitIsRead)
{
    // Pad a dictionary's string so that the whole body is exactly the limit.
    const std::string empty = plist(Value(Dictionary{{"pad", Value(std::string())}}));
    const std::string body = plist(
        Value(Dictionary{{"pad", Value(std::string(kMaximumMessageSize - empty.size(), 'x'))}}));
    ASSERT_EQ(body.size(), kMaximumMessageSize);
    SocketPair pair;
    std::thread writer([&] { sendRaw(pair.fd[0], kMaximumMessageSize, body); });
    Dictionary message;
    EXPECT_EQ(copyDictionaryFromDescriptor(pair.fd[1], message), 0);
    writer.join();
    EXPECT_EQ(message.get("pad").toString().size(), kMaximumMessageSize - empty.size());
}

TEST(PowerToolMessageTest, ListedDescriptorsTravelAfterTheMessageAndArriveAsNewDescriptors)
{
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    SocketPair pair;
    const Dictionary message{{"x", Value(1)}, {kDescriptorsKey, Value(Array{Value(pipeEnds[1])})}};
    ASSERT_EQ(writeDictionaryAndDescriptors(pair.fd[0], message), 0);
    ::close(pipeEnds[1]);

    Dictionary received;
    ASSERT_EQ(copyDictionaryTranslatingDescriptors(pair.fd[1], received), 0);
    const Array descriptors = received.get(kDescriptorsKey).toArray();
    ASSERT_EQ(descriptors.size(), 1u);
    const int passed = static_cast<int>(descriptors[0].toInteger());
    ASSERT_EQ(writeFully(passed, "hi", 2), 0) << "the received descriptor is the pipe's write end";
    closeListedDescriptors(received);
    char got[3] = {};
    EXPECT_EQ(::read(pipeEnds[0], got, sizeof got), 2);
    EXPECT_STREQ(got, "hi");
    EXPECT_EQ(::read(pipeEnds[0], got, sizeof got), 0) << "every copy of the write end is closed";
    ::close(pipeEnds[0]);
}

TEST(PowerToolMessageTest, ADescriptorByteThatIsNotDOrCarriesNoDescriptorIsRefused)
{
    for (const char* sent : {"X", "D"}) {
        SocketPair pair;
        ASSERT_EQ(writeDictionaryToDescriptor(
                      pair.fd[0], Dictionary{{kDescriptorsKey, Value(Array{Value(5)})}}),
                  0);
        ASSERT_EQ(writeFully(pair.fd[0], sent, 1), 0); // a bare byte, no control part
        Dictionary received;
        EXPECT_EQ(copyDictionaryTranslatingDescriptors(pair.fd[1], received), EINVAL) << sent;
    }
    SocketPair pair;
    EXPECT_EQ(writeDictionaryAndDescriptors(pair.fd[0],
                                            Dictionary{{kDescriptorsKey, Value(std::string("3"))}}),
              EINVAL)
        << "a list that is no list of numbers";
}

TEST(PowerToolMessageTest, ErrorNumbersAndExitStatusesMapBothWays)
{
    EXPECT_EQ(getErrorFromResponse(Dictionary{{kErrorNumberKey, Value(0)}}), 0);
    EXPECT_EQ(getErrorFromResponse(Dictionary{{kErrorNumberKey, Value(kPowerNotFound)}}),
              kPowerNotFound);
    EXPECT_EQ(getErrorFromResponse(Dictionary{}), kObjectCreationFailed);
    EXPECT_EQ(getErrorFromResponse(Dictionary{{kErrorNumberKey, Value(std::string("0"))}}),
              kObjectCreationFailed);
    EXPECT_EQ(getErrorFromResponse(Dictionary{{kErrorNumberKey, Value(1LL << 40)}}),
              kObjectCreationFailed)
        << "no 32-bit number";

    EXPECT_EQ(errorToHelperToolResult(0), 0);
    for (int status = 1; status <= 4; ++status) {
        EXPECT_EQ(errorToHelperToolResult(5360 + status), status);
        EXPECT_EQ(helperToolResultToError(status), 5360 + status);
    }
    EXPECT_EQ(errorToHelperToolResult(kAuthorisationDenied), 2);
    EXPECT_EQ(errorToHelperToolResult(kAuthorisationCanceledByUser), 3);
    EXPECT_EQ(errorToHelperToolResult(kParameterError), 4);
    EXPECT_EQ(errorToHelperToolResult(EPIPE), 4);
    EXPECT_EQ(helperToolResultToError(0), 0);
    EXPECT_EQ(helperToolResultToError(5), kInternalError);
    EXPECT_EQ(helperToolResultToError(127), kInternalError);
}
