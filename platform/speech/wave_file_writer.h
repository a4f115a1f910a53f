// Writes a RIFF/WAVE file of 16-bit PCM as samples arrive; the sizes are fixed up at Finish.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/speech/audio_sink.h"

namespace lexavo::sp {

class WaveFileWriter {
public:
    WaveFileWriter() = default;
    WaveFileWriter(const WaveFileWriter&) = delete;
    WaveFileWriter& operator=(const WaveFileWriter&) = delete;
    ~WaveFileWriter();

    // Creates or replaces `path`. A folder or a read-only file is refused; on any failure
    // no file is left behind that this call created.
    HRESULT Create(const std::string& path, bool replaceExisting, const AudioFormat& format);
    HRESULT Write(const std::int16_t* samples, std::size_t count);
    // Writes the buffered data and the final sizes and closes the file.
    HRESULT Finish();
    bool IsOpen() const { return fd_ >= 0; }
    std::uint64_t DataBytes() const { return dataBytes_; }

private:
    HRESULT FlushBuffer();
    HRESULT WriteAll(const void* data, std::size_t size);

    int fd_ = -1;
    AudioFormat format_;
    std::uint64_t dataBytes_ = 0;
    std::vector<std::uint8_t> buffer_;
    HRESULT error_ = S_OK;
};

}  // namespace lexavo::sp
