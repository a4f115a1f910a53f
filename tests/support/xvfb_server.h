// A private X server (Xvfb) for tests that show real windows; DISPLAY points at it while it
// lives.
#pragma once

#include <string>

namespace lexavo::test {

class XvfbServer {
public:
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Ready() const { return !display_.empty(); }
    const std::string& Display() const { return display_; }
    const std::string& Error() const { return error_; }

private:
    int pid_ = -1;
    std::string display_;
    std::string error_;
};

}  // namespace lexavo::test
