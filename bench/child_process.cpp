#include "bench/child_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

ChildRun RunChild(const std::vector<std::string>& argv) {
    // Built before the fork: between fork and exec only async-signal-safe calls are allowed.
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error(std::string("Cannot fork: ") + std::strerror(errno));
    }
    if (pid == 0) {
        const int null_fd = open("/dev/null", O_WRONLY);
        if (null_fd >= 0) {
            dup2(null_fd, STDOUT_FILENO);
        }
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error(std::string("Cannot wait for ") + argv[0] + ": " + std::strerror(errno));
        }
    }
    const auto finished = std::chrono::steady_clock::now();

    ChildRun run;
    run.wall_seconds = std::chrono::duration<double>(finished - started).count();
    run.peak_rss_kb = usage.ru_maxrss;
    run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}
