#include "tests/support/xvfb_server.h"

#include "tests/support/child_process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

extern char** environ;

namespace lexavo::test {

XvfbServer::XvfbServer() {
    int fds[2];
    if (::pipe(fds) != 0) {
        error_ = "pipe failed";
        return;
    }
    // Xvfb picks a free display and writes its number to the descriptor.
    const std::string fd = std::to_string(fds[1]);
    // -noreset: the server would otherwise reset, refusing connections, whenever its last client leaves.
    std::vector<std::string> args = {"Xvfb", "-displayfd", fd, "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 0x1 /*O_WRONLY*/, 0);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        error_ = "Xvfb could not be started (is it installed?)";
        return;
    }
    pid_ = pid;
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20); std::chrono::steady_clock::now() < end;) {
        if (::poll(&p, 1, 200) <= 0) continue;
        char c;
        if (::read(fds[0], &c, 1) != 1) break;
        if (c == '\n') break;
        number += c;
    }
    ::close(fds[0]);
    if (number.empty()) {
        error_ = "Xvfb did not report its display";
        return;
    }
    display_ = ":" + number;
    ::setenv("DISPLAY", display_.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
}

XvfbServer::~XvfbServer() { StopChild(pid_); }

}  // namespace lexavo::test
