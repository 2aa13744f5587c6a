#pragma once

#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <grp.h>

#include <csignal>
#include <functional>
#include <optional>
#include <string>

namespace tunex::test {

// Runs `body` in a child process whose files may not grow beyond `limitBytes`, so writes fail
// with EFBIG as on a full disk; the result is the child's exit code, -1 when it did not exit.
inline int runWithFileSizeLimit(rlim_t limitBytes, const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{limitBytes, limitBytes};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            ::_exit(99);
        }
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// Runs `body` in a child process that, when started as root, gives up root for "nobody", so that
// folder permissions stop it as they stop a user; gives what `body` returned, or nothing when
// the child could not drop root or did not finish. The folders it must reach need search
// permission for others.
inline std::optional<std::string> runUnprivileged(const std::function<std::string()>& body) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        constexpr id_t kNobody = 65534;
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(99);
        }
        const std::string out = body();
        size_t written = 0;
        while (written < out.size()) {
            const ssize_t n = ::write(pipeFds[1], out.data() + written, out.size() - written);
            if (n <= 0) {
                ::_exit(98);
            }
            written += static_cast<size_t>(n);
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string out;
    char buffer[4096];
    ssize_t n = 0;
    while (child > 0 && (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
        out.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return out;
}

}  // namespace tunex::test
