#include "KillChild.h"

#include <csignal>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

KilledChild RunUntilItSpeaksThenKill(const std::vector<std::string>& argv) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        execv(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    KilledChild r;
    char buffer[64] = {};
    ssize_t n = read(fds[0], buffer, sizeof buffer - 1);
    close(fds[0]);
    if (n > 0) r.said.assign(buffer, static_cast<std::size_t>(n));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    r.killedBySignal = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    return r;
}
