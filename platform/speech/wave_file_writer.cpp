#include "platform/speech/wave_file_writer.h"

#include <fcntl.h>
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
    const auto data = static_cast<std::uint32_t>(dataBytes);  // at most kWaveMaxDataBytes
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

HRESULT WaveFileWriter::Create(const std::string& path, bool replaceExisting, const AudioFormat& format) {
    if (file_.IsOpen()) return SPERR_ALREADY_INITIALIZED;
    if (const HRESULT hr = file_.Open(path, replaceExisting); FAILED(hr)) return hr;
    format_ = format;
    dataBytes_ = 0;
    error_ = S_OK;
    buffer_.clear();
    buffer_.reserve(kBufferBytes);
    std::uint8_t header[kHeaderBytes];
    BuildHeader(header, format_, 0);
    if (const HRESULT hr = WriteAll(header, sizeof header); FAILED(hr)) {
        file_.Discard();
        return hr;
    }
    return S_OK;
}

HRESULT WaveFileWriter::WriteAll(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(file_.Fd(), p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return HresultFromErrno(errno);
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return S_OK;
}

HRESULT WaveFileWriter::Flush() {
    if (!file_.IsOpen()) return SPERR_UNINITIALIZED;
    if (FAILED(error_) || buffer_.empty()) return error_;
    const HRESULT hr = WriteAll(buffer_.data(), buffer_.size());
    buffer_.clear();
    return error_ = hr;
}

HRESULT WaveFileWriter::Write(const std::int16_t* samples, std::size_t count) {
    if (!file_.IsOpen()) return SPERR_UNINITIALIZED;
    if (FAILED(error_)) return error_;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(samples);
    std::size_t size = count * sizeof(std::int16_t);
    if (size > maxDataBytes_ - dataBytes_) return error_ = ToHresult(Status::WaveTooLong);
    dataBytes_ += size;
    while (size > 0) {
        const std::size_t room = kBufferBytes - buffer_.size();
        const std::size_t take = size < room ? size : room;
        buffer_.insert(buffer_.end(), bytes, bytes + take);
        bytes += take;
        size -= take;
        if (buffer_.size() == kBufferBytes)
            if (const HRESULT hr = Flush(); FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT WaveFileWriter::Finish() {
    if (!file_.IsOpen()) return SPERR_UNINITIALIZED;
    HRESULT hr = Flush();
    if (SUCCEEDED(hr)) {
        std::uint8_t header[kHeaderBytes];
        BuildHeader(header, format_, dataBytes_);
        const ssize_t n = ::pwrite(file_.Fd(), header, sizeof header, 0);
        if (n != static_cast<ssize_t>(sizeof header)) hr = n < 0 ? HresultFromErrno(errno) : ToHresult(Status::DiskFull);
    }
    if (FAILED(hr)) {
        file_.Discard();
        return hr;
    }
    return file_.Commit();
}

void WaveFileWriter::Discard() { file_.Discard(); }

}  // namespace lexavo::sp
