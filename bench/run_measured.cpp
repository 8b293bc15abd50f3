// usage: run_measured PROGRAM [ARGS...]
// Runs PROGRAM with its standard output and error thrown away and writes its peak resident
// memory in KiB and its user and system time in seconds to descriptor 3. A small process of its
// own, because a child's peak counts the memory of the process it was forked from.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    fcntl(3, F_SETFD, FD_CLOEXEC);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    dprintf(3, "%ld %.3f %.3f\n", usage.ru_maxrss, seconds(usage.ru_utime),
            seconds(usage.ru_stime));
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}
