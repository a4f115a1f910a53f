// A file written under a temporary name beside its target and renamed over the target only
// once it is complete and on disk: a failure, a kill or a full disk leaves the target as it was.
#pragma once

#include <sys/types.h>

#include <string>

#include "platform/speech/status.h"

namespace lexavo::sp {

class ReplacingFile {
public:
    ReplacingFile() = default;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ~ReplacingFile() { Discard(); }

    // Checks the target and creates the temporary file beside it. The target may be missing
    // or a regular file (refused when `replaceExisting` is false); a symbolic link is
    // followed, so the file it names is replaced and the link stays. Folders, devices, pipes,
    // sockets and read-only files are refused. Temporary files that writers which are gone
    // left in that folder are removed first.
    HRESULT Open(const std::string& target, bool replaceExisting);
    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    const std::string& TemporaryPath() const { return temporary_; }

    // Puts the file on disk and renames it over the target, then puts the folder entry on
    // disk. On failure the temporary file is removed and the target is untouched.
    HRESULT Commit();
    // Removes the temporary file; the target is untouched.
    void Discard();

    // Removes the temporary files in `folder` whose writers are gone (no process holds their
    // lock). Nothing else in the folder is touched.
    static void RemoveAbandoned(const std::string& folder);
    // Whether `name` (a file name, no folder) has the shape of this class's temporary files.
    static bool IsTemporaryName(const std::string& name);

private:
    int fd_ = -1;
    std::string target_;     // the file replaced: a symbolic link resolved
    std::string temporary_;  // beside target_
    bool replaceExisting_ = true;
};

}  // namespace lexavo::sp
