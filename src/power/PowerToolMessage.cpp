#include "PowerToolMessage.h"

#include "PropertyList.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvanta::power {

int readFully(int fd, void* buffer, std::size_t size)
{
    auto* bytes = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t got = ::read(fd, bytes, size);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno == ECONNRESET ? EPIPE : errno; // the peer went away
        }
        if (got == 0)
            return EPIPE;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return 0;
}

int writeFully(int fd, const void* buffer, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(buffer);
    while (size > 0) {
        // send() where we can: a peer that went away must not raise SIGPIPE.
        ssize_t put = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (put < 0 && errno == ENOTSOCK)
            put = ::write(fd, bytes, size);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return errno == ECONNRESET ? EPIPE : errno;
        }
        if (put == 0)
            return EPIPE;
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    return 0;
}

int writeDictionaryToDescriptor(int fd, const Dictionary& message)
{
    std::string error;
    const std::optional<std::string> body = serializePropertyList(Value(message), error);
    if (!body || body->size() > kMaximumMessageSize)
        return EINVAL;
    const auto length = static_cast<std::uint32_t>(body->size());
    if (const int result = writeFully(fd, &length, sizeof length))
        return result;
    return writeFully(fd, body->data(), body->size());
}

int copyDictionaryFromDescriptor(int fd, Dictionary& message)
{
    std::uint32_t length = 0;
    if (const int result = readFully(fd, &length, sizeof length))
        return result;
    if (length == 0)
        return kParameterError;
    if (length > kMaximumMessageSize)
        return kMessageTooLarge;
    std::string body(length, '\0');
    if (const int result = readFully(fd, body.data(), body.size()))
        return result;
    std::string error;
    const std::optional<Value> root = parsePropertyList(body, error);
    if (!root || !root->isDictionary())
        return kParameterError;
    message = root->toDictionary();
    return 0;
}

namespace {

/// The descriptor numbers a message lists; false when the list is there but malformed.
bool listedDescriptors(const Dictionary& message, std::vector<int>& descriptors)
{
    const Value* listed = message.find(kDescriptorsKey);
    if (!listed)
        return true;
    if (!listed->isArray())
        return false;
    for (const Value& item : listed->toArray()) {
        if (!item.isInteger() || item.toInteger() < 0 ||
            item.toInteger() > std::numeric_limits<int>::max())
            return false;
        descriptors.push_back(static_cast<int>(item.toInteger()));
    }
    return true;
}

int sendDescriptor(int socket, int descriptor)
{
    char byte = 'D';
    iovec data{&byte, 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr header{};
    header.msg_iov = &data;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    cmsghdr* rights = CMSG_FIRSTHDR(&header);
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(rights), &descriptor, sizeof(int));
    for (;;) {
        const ssize_t sent = ::sendmsg(socket, &header, MSG_NOSIGNAL);
        if (sent == 1)
            return 0;
        if (sent < 0 && errno == EINTR)
            continue;
        return sent < 0 ? errno : EPIPE;
    }
}

int receiveDescriptor(int socket, int& descriptor)
{
    char byte = 0;
    iovec data{&byte, 1};
    // Room for more than one: a sender passing two at once is refused, not half-read.
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)] = {};
    msghdr header{};
    header.msg_iov = &data;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    ssize_t got;
    do {
        got = ::recvmsg(socket, &header, MSG_CMSG_CLOEXEC);
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return errno;
    if (got == 0)
        return EPIPE;
    int received = -1;
    bool foreign = (header.msg_flags & MSG_CTRUNC) != 0;
    for (cmsghdr* part = CMSG_FIRSTHDR(&header); part; part = CMSG_NXTHDR(&header, part)) {
        const bool oneRight = part->cmsg_level == SOL_SOCKET && part->cmsg_type == SCM_RIGHTS &&
                              part->cmsg_len == CMSG_LEN(sizeof(int));
        if (part->cmsg_level == SOL_SOCKET && part->cmsg_type == SCM_RIGHTS) {
            // Whatever arrived is ours to close, wanted or not.
            const std::size_t count = (part->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (std::size_t i = 0; i < count; ++i) {
                int fd;
                std::memcpy(&fd, CMSG_DATA(part) + i * sizeof(int), sizeof fd);
                if (oneRight && received < 0)
                    received = fd;
                else
                    ::close(fd);
            }
        }
        if (!oneRight)
            foreign = true;
    }
    if (byte != 'D' || foreign || received < 0) {
        if (received >= 0)
            ::close(received);
        return EINVAL;
    }
    descriptor = received;
    return 0;
}

} // namespace

int writeDictionaryAndDescriptors(int fd, const Dictionary& message)
{
    std::vector<int> descriptors;
    if (!listedDescriptors(message, descriptors))
        return EINVAL;
    if (const int result = writeDictionaryToDescriptor(fd, message))
        return result;
    for (int descriptor : descriptors) {
        if (const int result = sendDescriptor(fd, descriptor))
            return result;
    }
    return 0;
}

int copyDictionaryTranslatingDescriptors(int fd, Dictionary& message)
{
    Dictionary read;
    if (const int result = copyDictionaryFromDescriptor(fd, read))
        return result;
    std::vector<int> numbers;
    if (!listedDescriptors(read, numbers))
        return kParameterError;
    Array received;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        int descriptor = -1;
        if (const int result = receiveDescriptor(fd, descriptor)) {
            for (const Value& open : received)
                ::close(static_cast<int>(open.toInteger()));
            return result;
        }
        received.append(Value(descriptor));
    }
    if (!numbers.empty())
        read.set(kDescriptorsKey, Value(received));
    message = read;
    return 0;
}

void closeListedDescriptors(const Dictionary& message)
{
    std::vector<int> descriptors;
    listedDescriptors(message, descriptors);
    for (int descriptor : descriptors)
        ::close(descriptor);
}

int waitForChild(int child, int& status)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::waitpid(child, &status, 0) == child)
            return 0;
        if (errno == EINTR) {
            --attempt;
            continue;
        }
        if (errno != ECHILD)
            return errno;
    }
    return ECHILD;
}

int getErrorFromResponse(const Dictionary& response)
{
    const Value* error = response.find(kErrorNumberKey);
    if (!error || !error->isInteger() || error->toInteger() < std::numeric_limits<int>::min() ||
        error->toInteger() > std::numeric_limits<int>::max())
        return kObjectCreationFailed;
    return static_cast<int>(error->toInteger());
}

int errorToHelperToolResult(int error)
{
    switch (error) {
    case kNoError:
        return 0;
    case kInvalidInvocation:
    case kPrivilegesRefused:
    case kAuthorisationCancelled:
    case kInternalError:
        return error - 5360;
    case kAuthorisationDenied:
        return 2;
    case kAuthorisationCanceledByUser:
        return 3;
    default:
        return 4;
    }
}

int helperToolResultToError(int status)
{
    if (status == 0)
        return kNoError;
    if (status >= 1 && status <= 4)
        return 5360 + status;
    return kInternalError;
}

} // namespace orvanta::power
