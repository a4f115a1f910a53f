// A mount namespace for this thread whose mounts are not seen outside it.
#pragma once

#include <sched.h>
#include <sys/mount.h>

#include <fstream>
#include <string>

namespace lexavo::test {

// False where none can be had (no privilege, or mounts that would propagate outside).
inline bool EnterPrivateMountNamespace() {
    if (::unshare(CLONE_NEWNS) != 0) return false;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0) return true;
    // In a chroot "/" is no mount point and cannot be made private: the mounts must be already.
    std::ifstream info("/proc/self/mountinfo");
    for (std::string line; std::getline(info, line);)
        if (line.find(" shared:") != std::string::npos) return false;
    return true;
}

}  // namespace lexavo::test
