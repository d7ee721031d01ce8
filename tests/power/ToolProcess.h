#pragma once

// Runs the real wake-up helper as the application does (its input and output one end of a
// socket pair), optionally as another user, and collects what it answers.

#include "Value.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace orvanta::test {

struct ToolRun
{
    int exitStatus = -1; // -1: killed by a signal or not started
    pid_t pid = -1;
    std::string output; // everything it wrote
};

/// tool with arguments; asUser runs it through setpriv as that user (and their groups);
/// environment is all it gets; input is written, then the sending side shut. With atPause,
/// only the first pauseAfter bytes of input go before atPause is called with the process.
ToolRun runTool(const std::string& tool, const std::vector<std::string>& arguments,
                std::optional<std::string> asUser, const std::vector<std::string>& environment,
                const std::string& input, std::size_t pauseAfter = 0,
                const std::function<void(pid_t)>& atPause = {});

/// The real, effective, saved and file-system user ids of a running process, as
/// /proc/PID/status gives them ("Uid:\t0\t0\t0\t0").
std::string userIdsOf(pid_t pid);

/// The bytes of a message: the length, then the property list.
std::string messageBytes(const Dictionary& message);
/// What the application sends: 32 opaque bytes, then the request.
std::string requestBytes(const Dictionary& request);
/// The message at offset of output; nothing when there is none.
std::optional<Dictionary> messageIn(const std::string& output, std::size_t offset = 0);

/// A local user made for a test and removed afterwards (with their home).
class TestUser
{
public:
    /// groups: further groups to join (by name).
    explicit TestUser(const std::string& name, const std::string& groups = {});
    ~TestUser();
    TestUser(const TestUser&) = delete;
    TestUser& operator=(const TestUser&) = delete;

    bool created() const { return m_created; }
    const std::string& name() const { return m_name; }
    uid_t uid() const { return m_uid; }
    gid_t gid() const { return m_gid; }

private:
    std::string m_name;
    bool m_created = false;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
};

} // namespace orvanta::test
