// What a voice renders into: the default audio output or a file stream. Internal to the
// platform; reached from an output object through QueryInterface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/speech/sapi.h"

namespace lexavo::sp {

struct AudioFormat {
    std::uint32_t sampleRate = 22050;
    std::uint16_t channels = 1;
    std::uint16_t bitsPerSample = 16;
    friend bool operator==(const AudioFormat&, const AudioFormat&) = default;
};

// A task-memory WAVEFORMATEX describing `format` (PCM).
WAVEFORMATEX* NewWaveFormat(const AudioFormat& format);
// S_OK and the format when `formatId`/`wfx` describe 16-bit PCM the platform can write.
HRESULT AudioFormatFromWave(const GUID* formatId, const WAVEFORMATEX* wfx, AudioFormat* format);

inline constexpr IID IID_IAudioSink{0x6C1E0A5B, 0x3F1D, 0x4E8B, {0x9A, 0x51, 0x4C, 0x65, 0x78, 0x61, 0x76, 0x6F}};

// Calls come from the voice's worker thread, except Abort, which may come from any thread.
struct IAudioSink : IUnknown {
    virtual AudioFormat SinkFormat() = 0;
    // Readies the sink for an utterance; clears an earlier Abort.
    virtual HRESULT BeginUtterance() = 0;
    // Blocks while the sink cannot take more; S_FALSE once aborted.
    virtual HRESULT Write(const std::int16_t* samples, std::size_t count) = 0;
    // Plays out (or stores) what was written; skips playing out when `cancelled`.
    virtual HRESULT EndUtterance(bool cancelled) = 0;
    // Drops what is buffered and wakes a blocked Write; returns once the output is silent.
    virtual void Abort() = 0;

protected:
    ~IAudioSink() = default;
};

}  // namespace lexavo::sp
