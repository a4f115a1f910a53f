// A stand-in "xdg-open" placed first on PATH: it writes what it was asked to open into a file
// instead of opening anything.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/temp_dir.h"

namespace lexavo::test {

class XdgOpenStandIn {
public:
    XdgOpenStandIn() {
        const std::string script = dir_.Write("xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"" + Log() + "\"\n");
        ::chmod(script.c_str(), 0755);
        const char* path = std::getenv("PATH");
        ::setenv("PATH", (dir_.Path() + ":" + (path ? path : "/usr/bin:/bin")).c_str(), 1);
    }
    std::string Log() const { return dir_.File("opened.txt"); }
    // What was opened so far, one argument a line.
    std::string Opened() const {
        std::ifstream in(Log());
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Waits up to `ms` for something to be opened.
    std::string WaitOpened(int ms = 5000) const {
        for (int i = 0; i < ms / 20 && Opened().empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return Opened();
    }

private:
    TempDir dir_;
};

}  // namespace lexavo::test
