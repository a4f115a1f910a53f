#include "platform/speech/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "platform/speech/text_codec.h"

namespace lexavo::sp {
namespace {

HRESULT ReadAll(int fd, std::string* out, std::size_t maxBytes) {
    char buf[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) return S_OK;
        if (n < 0) {
            if (errno == EINTR) continue;
            return HresultFromErrno(errno);
        }
        // Sizes that stat reports can lie (/proc), so the bound is kept while reading.
        if (out->size() + static_cast<std::size_t>(n) > maxBytes) return ToHresult(Status::TextFileTooLarge);
        out->append(buf, static_cast<std::size_t>(n));
    }
}

// Opens `path` for reading if it is a regular file within the bound; the caller closes *fd.
HRESULT OpenTextFile(const std::string& path, std::size_t maxBytes, int* fd, std::size_t* size) {
    // O_NONBLOCK: opening a pipe for reading would otherwise wait for a writer.
    *fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (*fd < 0) return HresultFromErrno(errno);
    struct stat st {};
    HRESULT hr = S_OK;
    if (::fstat(*fd, &st) != 0) hr = HresultFromErrno(errno);
    else if (S_ISDIR(st.st_mode)) hr = ToHresult(Status::IsAFolder);
    else if (!S_ISREG(st.st_mode)) hr = ToHresult(Status::NotARegularFile);
    else if (static_cast<std::size_t>(st.st_size) > maxBytes) hr = ToHresult(Status::TextFileTooLarge);
    if (FAILED(hr)) {
        ::close(*fd);
        *fd = -1;
    }
    *size = static_cast<std::size_t>(st.st_size);
    return hr;
}

}  // namespace

HRESULT CheckTextFile(const std::string& path, std::size_t maxBytes) {
    int fd;
    std::size_t size;
    const HRESULT hr = OpenTextFile(path, maxBytes, &fd, &size);
    if (SUCCEEDED(hr)) ::close(fd);
    return hr;
}

HRESULT ReadTextFile(const std::string& path, std::string* out, std::size_t maxBytes) {
    out->clear();
    int fd;
    std::size_t size;
    HRESULT hr = OpenTextFile(path, maxBytes, &fd, &size);
    if (FAILED(hr)) return hr;
    try {
        out->reserve(size);
        hr = ReadAll(fd, out, maxBytes);
        if (SUCCEEDED(hr)) {
            if (out->compare(0, 3, "\xEF\xBB\xBF") == 0) out->erase(0, 3);
            *out = Utf16ToUtf8(Utf8ToUtf16(*out));
        }
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    ::close(fd);
    if (FAILED(hr)) out->clear();
    return hr;
}

}  // namespace lexavo::sp
