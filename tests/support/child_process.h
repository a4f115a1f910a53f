// Stopping a helper process a test started.
#pragma once

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

namespace lexavo::test {

// Asks the process to end, gives it two seconds, then kills it; always reaps it.
inline void StopChild(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100 && ::waitpid(pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (::waitpid(pid, &status, WNOHANG) == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
}

}  // namespace lexavo::test
