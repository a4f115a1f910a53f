#include "platform/speech/wave_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lexavo::sp {
namespace {

constexpr std::size_t kHeaderBytes = 44;
constexpr std::size_t kBufferBytes = 64 * 1024;

void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void PutLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void BuildHeader(std::uint8_t* h, const AudioFormat& f, std::uint64_t dataBytes) {
    // RIFF sizes are 32-bit; a longer file keeps the largest size it can state.
    const std::uint32_t data = dataBytes > 0xFFFFFFFFull - 36 ? 0xFFFFFFFFu - 36 : static_cast<std::uint32_t>(dataBytes);
    const std::uint16_t blockAlign = static_cast<std::uint16_t>(f.channels * f.bitsPerSample / 8);
    std::memcpy(h, "RIFF", 4);
    PutLe32(h + 4, 36 + data);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutLe32(h + 16, 16);
    PutLe16(h + 20, WAVE_FORMAT_PCM);
    PutLe16(h + 22, f.channels);
    PutLe32(h + 24, f.sampleRate);
    PutLe32(h + 28, f.sampleRate * blockAlign);
    PutLe16(h + 32, blockAlign);
    PutLe16(h + 34, f.bitsPerSample);
    std::memcpy(h + 36, "data", 4);
    PutLe32(h + 40, data);
}

}  // namespace

WaveFileWriter::~WaveFileWriter() { Finish(); }

HRESULT WaveFileWriter::Create(const std::string& path, bool replaceExisting, const AudioFormat& format) {
    if (fd_ >= 0) return SPERR_ALREADY_INITIALIZED;
    if (path.empty() || path.find('\0') != std::string::npos) return ToHresult(Status::InvalidName);
    struct stat st {};
    const bool existed = ::stat(path.c_str(), &st) == 0;
    if (existed) {
        if (!replaceExisting) return HresultFromWin32(80);  // ERROR_FILE_EXISTS
        if (S_ISDIR(st.st_mode)) return E_ACCESSDENIED;
        // A file without any write permission is read-only, also for the superuser.
        if (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) return E_ACCESSDENIED;
    }
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (replaceExisting ? O_TRUNC : O_EXCL);
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) return HresultFromErrno(errno);
    fd_ = fd;
    format_ = format;
    dataBytes_ = 0;
    error_ = S_OK;
    buffer_.clear();
    buffer_.reserve(kBufferBytes);
    std::uint8_t header[kHeaderBytes];
    BuildHeader(header, format_, 0);
    if (const HRESULT hr = WriteAll(header, sizeof header); FAILED(hr)) {
        ::close(fd_);
        fd_ = -1;
        if (!existed) ::unlink(path.c_str());
        return hr;
    }
    return S_OK;
}

HRESULT WaveFileWriter::WriteAll(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return HresultFromErrno(errno);
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return S_OK;
}

HRESULT WaveFileWriter::FlushBuffer() {
    if (buffer_.empty()) return S_OK;
    const HRESULT hr = WriteAll(buffer_.data(), buffer_.size());
    buffer_.clear();
    return hr;
}

HRESULT WaveFileWriter::Write(const std::int16_t* samples, std::size_t count) {
    if (fd_ < 0) return SPERR_UNINITIALIZED;
    if (FAILED(error_)) return error_;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(samples);
    std::size_t size = count * sizeof(std::int16_t);
    dataBytes_ += size;
    while (size > 0) {
        const std::size_t room = kBufferBytes - buffer_.size();
        const std::size_t take = size < room ? size : room;
        buffer_.insert(buffer_.end(), bytes, bytes + take);
        bytes += take;
        size -= take;
        if (buffer_.size() == kBufferBytes)
            if (const HRESULT hr = FlushBuffer(); FAILED(hr)) return error_ = hr;
    }
    return S_OK;
}

HRESULT WaveFileWriter::Finish() {
    if (fd_ < 0) return S_OK;
    HRESULT hr = FAILED(error_) ? error_ : FlushBuffer();
    if (SUCCEEDED(hr)) {
        std::uint8_t header[kHeaderBytes];
        BuildHeader(header, format_, dataBytes_);
        if (::pwrite(fd_, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header)) hr = HresultFromErrno(errno);
    }
    if (::close(fd_) != 0 && SUCCEEDED(hr)) hr = HresultFromErrno(errno);
    fd_ = -1;
    return hr;
}

}  // namespace lexavo::sp
