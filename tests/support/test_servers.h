// One private X server and one private sound server per test process, started on first use
// and stopped when the process ends.
#pragma once

#include "tests/support/pulse_server.h"
#include "tests/support/xvfb_server.h"

namespace lexavo::test {

inline XvfbServer& SharedXvfb() {
    static XvfbServer server;
    return server;
}

inline PulseServer& SharedPulse() {
    static PulseServer server;
    return server;
}

}  // namespace lexavo::test
