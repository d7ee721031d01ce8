#include "ToolProcess.h"

#include "PowerToolMessage.h"
#include "PropertyList.h"
#include "TempDir.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include <pwd.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvanta::test {

ToolRun runTool(const std::string& tool, const std::vector<std::string>& arguments,
                std::optional<std::string> asUser, const std::vector<std::string>& environment,
                const std::string& input, std::size_t pauseAfter,
                const std::function<void(pid_t)>& atPause)
{
    ToolRun run;
    std::vector<std::string> argv;
    if (asUser) {
        const passwd* user = ::getpwnam(asUser->c_str());
        if (!user)
            return run;
        argv = {"/usr/bin/setpriv", "--reuid=" + std::to_string(user->pw_uid),
                "--regid=" + std::to_string(user->pw_gid), "--init-groups"};
    }
    argv.push_back(tool);
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> args;
    for (std::string& argument : argv)
        args.push_back(argument.data());
    args.push_back(nullptr);
    std::vector<std::string> env = environment;
    std::vector<char*> envp;
    for (std::string& variable : env)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 0);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 1);
    const int spawned =
        ::posix_spawn(&run.pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    if (spawned != 0) {
        ::close(pair[0]);
        return run;
    }
    // It may stop reading early.
    std::size_t sent = 0;
    if (atPause) {
        sent = std::min(pauseAfter, input.size());
        power::writeFully(pair[0], input.data(), sent);
        atPause(run.pid);
    }
    power::writeFully(pair[0], input.data() + sent, input.size() - sent);
    ::shutdown(pair[0], SHUT_WR);
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(pair[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        run.output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pair[0]);
    int status = 0;
    while (::waitpid(run.pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string userIdsOf(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Uid:", 0) == 0)
            return line;
    }
    return {};
}

std::string messageBytes(const Dictionary& message)
{
    std::string error;
    const std::string body = serializePropertyList(Value(message), error).value();
    const auto length = static_cast<std::uint32_t>(body.size());
    return std::string(reinterpret_cast<const char*>(&length), sizeof length) + body;
}

std::string requestBytes(const Dictionary& request)
{
    return std::string(power::kAuthorisationSize, '\x5a') + messageBytes(request);
}

std::optional<Dictionary> messageIn(const std::string& output, std::size_t offset)
{
    std::uint32_t length = 0;
    if (output.size() < offset + sizeof length)
        return std::nullopt;
    std::memcpy(&length, output.data() + offset, sizeof length);
    if (output.size() < offset + sizeof length + length)
        return std::nullopt;
    std::string error;
    const auto root = parsePropertyList(output.substr(offset + sizeof length, length), error);
    if (!root || !root->isDictionary())
        return std::nullopt;
    return root->toDictionary();
}

TestUser::TestUser(const std::string& name, const std::string& groups) : m_name(name)
{
    runCommand("userdel -r " + name + " >/dev/null 2>&1"); // a leftover of a killed run
    std::string command = "useradd -m -U " + name;
    if (!groups.empty())
        command += " -G " + groups;
    if (runCommand(command + " 2>&1") != 0)
        return;
    const passwd* user = ::getpwnam(name.c_str());
    if (!user)
        return;
    m_uid = user->pw_uid;
    m_gid = user->pw_gid;
    m_created = true;
}

TestUser::~TestUser()
{
    if (m_created)
        runCommand("userdel -r " + m_name + " >/dev/null 2>&1");
}

} // namespace orvanta::test
