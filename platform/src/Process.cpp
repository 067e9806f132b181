#include "platform/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

bool EndsWithIgnoringCase(const std::string& text, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return text.size() >= n && strcasecmp(text.c_str() + text.size() - n, suffix) == 0;
}

bool IsScript(const std::string& path) {
    return EndsWithIgnoringCase(path, ".bat") || EndsWithIgnoringCase(path, ".sh") ||
           access(path.c_str(), X_OK) != 0;
}

// In the detached grandchild: only async-signal-safe calls until exec.
[[noreturn]] void RunChild(char* const* argv, int errorPipe) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        if (null > 2) close(null);
    }
    // Descriptors of the caller (files, sockets) stay with the caller.
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != errorPipe) fcntl(fd, F_SETFD, FD_CLOEXEC);
    execv(argv[0], argv);
    const int error = errno;
    ssize_t ignored = write(errorPipe, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

}  // namespace

bool StartHidden(const char* path, const std::vector<std::string>& arguments) {
    if (!path || !*path) return false;
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return false;

    // Everything the child needs is built before the fork.
    std::vector<std::string> words;
    if (IsScript(path)) words.push_back("/bin/sh");
    words.push_back(path);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
    const pid_t middle = fork();
    if (middle < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return false;
    }
    if (middle == 0) {
        // The middle process only forks the real child and leaves, so that the child
        // is adopted by init and never needs waiting for.
        setsid();
        const pid_t child = fork();
        if (child == 0) RunChild(argv.data(), pipeFds[1]);
        _exit(child < 0 ? 1 : 0);
    }
    close(pipeFds[1]);
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    // The pipe closes on a successful exec; a failed one writes its error first.
    int childError = 0;
    ssize_t got;
    do {
        got = read(pipeFds[0], &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    close(pipeFds[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
}

}  // namespace platform
