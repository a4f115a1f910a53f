// The default audio output: a PulseAudio playback stream, connected in the background as soon
// as the output exists so that the first utterance does not wait for the server.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/speech/audio_sink.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace lexavo::sp {

class PulseConnection;

class SpAudioOut final : public ISpStreamFormat, public IAudioSink, public RefCounted<SpAudioOut> {
public:
    explicit SpAudioOut(const AudioFormat& format);

    HRESULT QueryInterface(REFIID iid, void** ppv) override;
    LEXAVO_IMPLEMENT_REFCOUNT
    HRESULT GetFormat(GUID* formatId, WAVEFORMATEX** waveFormat) override;

    AudioFormat SinkFormat() override { return format_; }
    HRESULT BeginUtterance() override;
    HRESULT Write(const std::int16_t* samples, std::size_t count) override;
    HRESULT EndUtterance(bool cancelled) override;
    void Abort() override;

private:
    friend class RefCounted<SpAudioOut>;
    ~SpAudioOut();

    const AudioFormat format_;
    std::unique_ptr<PulseConnection> connection_;
};

}  // namespace lexavo::sp
