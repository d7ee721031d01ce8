#include "InheritedEnvironment.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace orvanta::powertool {

namespace {

struct Limit
{
    int resource;
    rlim_t soft;
    rlim_t hard;
};

// A sanitizer reserves far more address space than the data limit allows.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr rlim_t kDataLimit = RLIM_INFINITY;
#else
constexpr rlim_t kDataLimit = 6 * 1024 * 1024;
#endif

int setLimit(const Limit& limit, bool privileged)
{
    rlimit current{};
    if (::getrlimit(limit.resource, &current) != 0)
        return errno;
    auto within = [&](rlim_t hard) {
        // The soft limit can go no higher than the hard one.
        return rlimit{hard == RLIM_INFINITY ? limit.soft : std::min(limit.soft, hard), hard};
    };
    if (privileged) {
        const rlimit wanted = within(limit.hard);
        if (::setrlimit(limit.resource, &wanted) == 0)
            return 0;
        // Root without CAP_SYS_RESOURCE (a container) cannot raise a hard limit; what
        // matters is the soft one.
        if (errno != EPERM)
            return errno;
    }
    const rlimit wanted = within(current.rlim_max);
    return ::setrlimit(limit.resource, &wanted) == 0 ? 0 : errno;
}

} // namespace

int destroyInheritedEnvironment(bool privileged)
{
    if (::clearenv() != 0)
        return ENOMEM;

    if (::close_range(3, ~0U, 0) != 0) {
        const long table = ::sysconf(_SC_OPEN_MAX);
        for (int fd = 3; fd < (table > 0 ? table : 1024); ++fd)
            ::close(fd); // one that is not open is no error
    }

    for (int signal = 1; signal < 32; ++signal) {
        if (std::signal(signal, SIG_DFL) == SIG_ERR && signal != SIGKILL && signal != SIGSTOP)
            return errno;
    }
    sigset_t all;
    sigfillset(&all);
    if (::sigprocmask(SIG_UNBLOCK, &all, nullptr) != 0)
        return errno;

    ::umask(077);

    errno = 0;
    const int priority = ::getpriority(PRIO_PROCESS, 0);
    if (errno != 0)
        return errno;
    if (priority != 0 && privileged && ::setpriority(PRIO_PROCESS, 0, 0) != 0)
        return errno;

    const Limit limits[] = {
        {RLIMIT_CPU, RLIM_INFINITY, RLIM_INFINITY},
        {RLIMIT_FSIZE, RLIM_INFINITY, RLIM_INFINITY},
        {RLIMIT_DATA, kDataLimit, RLIM_INFINITY},
        {RLIMIT_STACK, 512 * 1024, 64 * 1024 * 1024},
        {RLIMIT_CORE, 0, RLIM_INFINITY},
        {RLIMIT_RSS, RLIM_INFINITY, RLIM_INFINITY},
        {RLIMIT_MEMLOCK, RLIM_INFINITY, RLIM_INFINITY},
        {RLIMIT_NOFILE, 256, RLIM_INFINITY},
    };
    for (const Limit& limit : limits) {
        // Unprivileged we cannot raise a soft limit past its hard one; leave those alone.
        if (const int error = setLimit(limit, privileged))
            return error;
    }
    if (privileged) {
        if (const int error = setLimit({RLIMIT_NPROC, 100, RLIM_INFINITY}, privileged))
            return error;
    }

    if (::chdir("/") != 0)
        return errno;
    const itimerval none{};
    for (int timer : {ITIMER_REAL, ITIMER_VIRTUAL, ITIMER_PROF}) {
        if (::setitimer(timer, &none, nullptr) != 0)
            return errno;
    }
    return 0;
}

} // namespace orvanta::powertool
