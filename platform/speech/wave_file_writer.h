// Writes a RIFF/WAVE file of 16-bit PCM as samples arrive, beside its target; Finish fixes
// up the sizes and puts the complete file in the target's place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/speech/audio_sink.h"
#include "platform/speech/replacing_file.h"

namespace lexavo::sp {

// The most audio a RIFF file can count: its 32-bit size covers the 36 header bytes after it.
inline constexpr std::uint64_t kWaveMaxDataBytes = 0xFFFFFFFFull - 36;

class WaveFileWriter {
public:
    explicit WaveFileWriter(std::uint64_t maxDataBytes = kWaveMaxDataBytes) : maxDataBytes_(maxDataBytes) {}
    WaveFileWriter(const WaveFileWriter&) = delete;
    WaveFileWriter& operator=(const WaveFileWriter&) = delete;
    ~WaveFileWriter() = default;  // an unfinished file is discarded; the target stays as it was

    // Starts the file that will create or replace `path` (see ReplacingFile for what is refused).
    HRESULT Create(const std::string& path, bool replaceExisting, const AudioFormat& format);
    // Audio past the size a wave file can count fails the file with Status::WaveTooLong.
    HRESULT Write(const std::int16_t* samples, std::size_t count);
    // Hands what is buffered to the file; the first failure sticks to the file.
    HRESULT Flush();
    // Writes the final sizes and puts the file in the target's place. On any failure,
    // earlier ones included, the target is untouched and nothing is left behind.
    HRESULT Finish();
    // Drops the file; the target is untouched.
    void Discard();
    bool IsOpen() const { return file_.IsOpen(); }
    std::uint64_t DataBytes() const { return dataBytes_; }

private:
    HRESULT WriteAll(const void* data, std::size_t size);

    std::uint64_t maxDataBytes_;
    ReplacingFile file_;
    AudioFormat format_;
    std::uint64_t dataBytes_ = 0;
    std::vector<std::uint8_t> buffer_;
    HRESULT error_ = S_OK;
};

}  // namespace lexavo::sp
