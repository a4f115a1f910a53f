// The platform's stream object: a RIFF/WAVE file bound by path. The file takes the path's
// place only at Close, once complete; a stream released without Close leaves the path as it was.
#pragma once

#include <mutex>

#include "platform/speech/audio_sink.h"
#include "platform/speech/wave_file_writer.h"

namespace lexavo::sp {

HRESULT CreateSpStream(REFIID iid, void** ppv);

class SpStream final : public ISpStream, public IAudioSink, public RefCounted<SpStream> {
public:
    // ISpStream
    HRESULT QueryInterface(REFIID iid, void** ppv) override;
    LEXAVO_IMPLEMENT_REFCOUNT
    HRESULT GetFormat(GUID* formatId, WAVEFORMATEX** waveFormat) override;
    HRESULT BindToFile(const WCHAR* fileName, SPFILEMODE mode, const GUID* formatId,
                       const WAVEFORMATEX* waveFormat, ULONGLONG eventInterest) override;
    HRESULT Close() override;

    // IAudioSink
    AudioFormat SinkFormat() override;
    HRESULT BeginUtterance() override;
    HRESULT Write(const std::int16_t* samples, std::size_t count) override;
    HRESULT EndUtterance(bool cancelled) override;
    void Abort() override;

private:
    friend class RefCounted<SpStream>;
    ~SpStream() = default;  // an unclosed file is discarded with the writer

    std::mutex mutex_;
    WaveFileWriter writer_;
    AudioFormat format_;
    bool bound_ = false;
};

}  // namespace lexavo::sp
