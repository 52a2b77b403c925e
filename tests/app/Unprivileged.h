#pragma once

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

// Permission checks do not bind root: as root, run `check` in a child that
// has become "nobody"; otherwise run it here. True when `check` held.
inline bool holdsWithoutPrivilege(const std::function<bool()> &check)
{
    if (::geteuid() != 0)
        return check();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)
        && WEXITSTATUS(status) == 0;
}
