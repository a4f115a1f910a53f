#include "platform/speech/replacing_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/speech/settings.h"
#include "platform/speech/text_codec.h"

namespace lexavo::sp {
namespace {

// ".<name>.<random>.lexavo-part": hidden, so a file manager showing the folder does not
// offer a half-written file, and recognisable, so only these are ever swept.
constexpr const char* kTemporarySuffix = ".lexavo-part";
constexpr std::size_t kNameBytesKept = 100;  // keeps the temporary name under NAME_MAX

// The folder of `path`; the root is "/" here, where the program's folder form would be "".
std::string FolderOfFile(const std::string& path) {
    const std::string folder = FolderOf(path);
    return folder.empty() ? "/" : folder;
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string RandomTag() {
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    unsigned char bytes[8] = {};
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        const auto seed = static_cast<unsigned long>(::getpid()) ^ static_cast<unsigned long>(::time(nullptr));
        for (std::size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(seed >> (i * 5));
    }
    std::string tag;
    for (unsigned char b : bytes) tag.push_back(kDigits[b % 36]);
    return tag;
}

// Where a missing folder or a folder we may not write in is the cause, say so.
HRESULT CreateFailure(int err) {
    if (err == ENOENT || err == ENOTDIR) return ToHresult(Status::PathNotFound);
    return HresultFromErrno(err);
}

void SyncFolder(const std::string& folder) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    ::fsync(dir);  // some file systems cannot sync a folder; the rename itself has happened
    ::close(dir);
}

}  // namespace

bool ReplacingFile::IsTemporaryName(const std::string& name) {
    const std::string suffix = kTemporarySuffix;
    return name.size() > suffix.size() + 1 && name[0] == '.' &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void ReplacingFile::RemoveAbandoned(const std::string& folder) {
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!IsTemporaryName(name)) continue;
        const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        // A writer holds its file's lock until it has renamed or removed it.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(dirFd, name.c_str(), 0);
        ::close(fd);
    }
    ::closedir(dir);
}

HRESULT ReplacingFile::Open(const std::string& target, bool replaceExisting) {
    if (fd_ >= 0) return SPERR_ALREADY_INITIALIZED;
    if (target.empty() || target.find('\0') != std::string::npos) return ToHresult(Status::InvalidName);

    std::string real = target;
    struct stat st {};
    bool exists = ::lstat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return CreateFailure(errno);
    if (exists && S_ISLNK(st.st_mode)) {
        // Like a careful editor: the file the link names is replaced, the link stays.
        char* resolved = ::realpath(target.c_str(), nullptr);
        if (!resolved) return errno == ENOENT ? ToHresult(Status::DanglingLink) : HresultFromErrno(errno);
        real = resolved;
        std::free(resolved);
        exists = ::stat(real.c_str(), &st) == 0;
        if (!exists) return HresultFromErrno(errno);
    }
    if (exists) {
        if (S_ISDIR(st.st_mode)) return ToHresult(Status::IsAFolder);
        if (!S_ISREG(st.st_mode)) return ToHresult(Status::NotARegularFile);
        if (!replaceExisting) return ToHresult(Status::FileExists);
        // A file without any write permission is read-only, also for the superuser.
        if ((st.st_mode & 0222) == 0) return ToHresult(Status::ReadOnlyFile);
        if (::access(real.c_str(), W_OK) != 0)
            return errno == EROFS ? ToHresult(Status::WriteProtected) : ToHresult(Status::ReadOnlyFile);
    }

    const std::string folder = FolderOfFile(real);
    RemoveAbandoned(folder);
    const std::string name = NameOf(real);
    const std::string prefix =
        (folder == "/" ? "" : folder) + "/." + name.substr(0, Utf8CharBoundary(name, kNameBytesKept)) + ".";
    for (int attempt = 0;; ++attempt) {
        std::string temporary = prefix + RandomTag() + kTemporarySuffix;
        // 0666 less the umask for a new file; a replaced file keeps its permissions below.
        const int fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST && attempt < 16) continue;
            return CreateFailure(errno);
        }
        // Locked so that no other writer sweeps it away; a sweep may have come between the
        // open and the lock, which leaves the file unlinked: then take another name.
        struct stat own {};
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &own) != 0 || own.st_nlink == 0) {
            ::close(fd);
            if (attempt < 16) continue;
            return E_FAIL;
        }
        if (exists) {
            ::fchmod(fd, st.st_mode & 07777);
            if (own.st_uid != st.st_uid || own.st_gid != st.st_gid) (void)::fchown(fd, st.st_uid, st.st_gid);
        }
        fd_ = fd;
        temporary_ = std::move(temporary);
        break;
    }
    target_ = std::move(real);
    replaceExisting_ = replaceExisting;
    return S_OK;
}

HRESULT ReplacingFile::Commit() {
    if (fd_ < 0) return SPERR_UNINITIALIZED;
    HRESULT hr = S_OK;
    if (::fsync(fd_) != 0) hr = HresultFromErrno(errno);
    if (SUCCEEDED(hr)) {
        int rc;
        if (replaceExisting_) {
            rc = ::rename(temporary_.c_str(), target_.c_str());
        } else {
            rc = ::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE);
        }
        if (rc != 0) hr = HresultFromErrno(errno);
    }
    if (FAILED(hr)) {
        Discard();
        return hr;
    }
    ::close(fd_);
    fd_ = -1;
    temporary_.clear();
    SyncFolder(FolderOfFile(target_));
    return S_OK;
}

void ReplacingFile::Discard() {
    if (fd_ < 0) return;
    ::unlink(temporary_.c_str());  // a name of our own making, never the target
    ::close(fd_);
    fd_ = -1;
    temporary_.clear();
}

}  // namespace lexavo::sp
