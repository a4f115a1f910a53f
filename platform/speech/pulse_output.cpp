#include "platform/speech/pulse_output.h"

#include <pulse/pulseaudio.h>

#include <chrono>
#include <new>

namespace lexavo::sp {
namespace {

using Clock = std::chrono::steady_clock;

// A server that makes no progress for this long is taken as stuck (stopped, frozen, gone
// without a word): the utterance ends as an output failure instead of waiting for ever.
constexpr auto kServerTimeout = std::chrono::seconds(3);
// Stop waits this long for the server to drop what it holds, then lets the stream go.
constexpr auto kFlushTimeout = std::chrono::seconds(1);

}  // namespace

// Owns the threaded main loop, the context and the playback stream. Every pa_* call runs with
// the main loop locked; waits use the main loop's condition.
class PulseConnection {
public:
    explicit PulseConnection(const AudioFormat& format) : format_(format) {
        loop_ = pa_threaded_mainloop_new();
        if (loop_ && pa_threaded_mainloop_start(loop_) == 0) {
            pa_threaded_mainloop_lock(loop_);
            StartConnect();
            pa_threaded_mainloop_unlock(loop_);
        }
    }

    ~PulseConnection() {
        if (!loop_) return;
        pa_threaded_mainloop_stop(loop_);
        DropStream();
        DropContext();
        pa_threaded_mainloop_free(loop_);
    }

    HRESULT Begin() {
        if (!loop_) return ToHresult(Status::AudioUnavailable);
        pa_threaded_mainloop_lock(loop_);
        aborted_ = false;
        HRESULT hr = WaitReady();
        pa_threaded_mainloop_unlock(loop_);
        return hr;
    }

    HRESULT Write(const std::int16_t* samples, std::size_t count) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(samples);
        std::size_t size = count * sizeof(std::int16_t);
        pa_threaded_mainloop_lock(loop_);
        HRESULT hr = S_OK;
        auto deadline = Clock::now() + kServerTimeout;
        while (size > 0) {
            if (aborted_) { hr = S_FALSE; break; }
            if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) { hr = ToHresult(Status::AudioUnavailable); break; }
            std::size_t room = pa_stream_writable_size(stream_);
            if (room == static_cast<std::size_t>(-1)) { hr = ToHresult(Status::AudioUnavailable); break; }
            if (room == 0) {
                if (!WaitUntil(deadline)) {
                    hr = GiveUpStuckServer();
                    break;
                }
                continue;
            }
            deadline = Clock::now() + kServerTimeout;
            const std::size_t take = size < room ? size : room;
            if (pa_stream_write(stream_, bytes, take, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
                hr = ToHresult(Status::AudioUnavailable);
                break;
            }
            bytes += take;
            size -= take;
        }
        pa_threaded_mainloop_unlock(loop_);
        return hr;
    }

    HRESULT Drain() {
        pa_threaded_mainloop_lock(loop_);
        HRESULT hr = S_OK;
        if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY && !aborted_) {
            pa_operation* op = pa_stream_drain(stream_, &PulseConnection::OnSuccess, this);
            if (op) {
                // What is buffered plays out in well under a second.
                if (!FinishOperation(op, kServerTimeout, [this] { return !aborted_; })) hr = GiveUpStuckServer();
            } else {
                hr = ToHresult(Status::AudioUnavailable);
            }
        }
        pa_threaded_mainloop_unlock(loop_);
        return hr;
    }

    void Abort() {
        if (!loop_) return;
        pa_threaded_mainloop_lock(loop_);
        aborted_ = true;
        if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY) {
            // The server drops what it holds; once acknowledged the output is silent.
            if (pa_operation* op = pa_stream_flush(stream_, &PulseConnection::OnSuccess, this)) {
                if (!FinishOperation(op, kFlushTimeout, [this] { return StreamAlive(); })) GiveUpStuckServer();
            }
        }
        pa_threaded_mainloop_signal(loop_, 0);
        pa_threaded_mainloop_unlock(loop_);
    }

private:
    // Waits for the next signal from the main loop, or until `deadline`; false once it has
    // passed. A timer on the main loop makes sure the wait ends.
    bool WaitUntil(Clock::time_point deadline) {
        const auto now = Clock::now();
        if (now >= deadline) return false;
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
        timeval when;
        pa_gettimeofday(&when);
        pa_timeval_add(&when, static_cast<pa_usec_t>(std::chrono::duration_cast<std::chrono::microseconds>(deadline - now).count()));
        pa_time_event* timer = api->time_new(
            api, &when, [](pa_mainloop_api*, pa_time_event*, const timeval*, void* self) { static_cast<PulseConnection*>(self)->Signal(); },
            this);
        pa_threaded_mainloop_wait(loop_);
        if (timer) api->time_free(timer);
        return Clock::now() < deadline;
    }

    // Waits while `op` runs and `keepWaiting()` holds, for at most `timeout`, then cancels
    // what still runs and lets `op` go. False when the time ran out first.
    template <class KeepWaiting>
    bool FinishOperation(pa_operation* op, Clock::duration timeout, KeepWaiting keepWaiting) {
        const auto deadline = Clock::now() + timeout;
        bool inTime = true;
        while (pa_operation_get_state(op) == PA_OPERATION_RUNNING && keepWaiting() && (inTime = WaitUntil(deadline))) {
        }
        if (pa_operation_get_state(op) == PA_OPERATION_RUNNING) pa_operation_cancel(op);
        pa_operation_unref(op);
        return inTime;
    }

    // A stuck server's stream and connection are dropped without waiting for it; the next
    // utterance connects afresh.
    HRESULT GiveUpStuckServer() {
        DropStream();
        DropContext();
        return ToHresult(Status::AudioTimedOut);
    }

    bool StreamAlive() const {
        if (!stream_) return false;
        const auto s = pa_stream_get_state(stream_);
        return s == PA_STREAM_READY || s == PA_STREAM_CREATING;
    }

    void StartConnect() {
        DropStream();
        DropContext();
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Lexavo");
        if (!context_) return;
        pa_context_set_state_callback(context_, &PulseConnection::OnContextState, this);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) DropContext();
    }

    void StartStream() {
        pa_sample_spec sampleSpec{PA_SAMPLE_S16LE, format_.sampleRate, static_cast<std::uint8_t>(format_.channels)};
        stream_ = pa_stream_new(context_, "Speech", &sampleSpec, nullptr);
        if (!stream_) return;
        pa_stream_set_state_callback(stream_, &PulseConnection::OnStreamState, this);
        pa_stream_set_write_callback(stream_, &PulseConnection::OnWritable, this);
        const std::uint32_t bytesPerMs = format_.sampleRate * format_.channels * 2 / 1000;
        pa_buffer_attr attr;
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = 100 * bytesPerMs;  // enough to ride over scheduling hiccups
        attr.prebuf = 10 * bytesPerMs;    // start playing almost at once
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE);
        if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0) DropStream();
    }

    // Waits for a ready stream, reconnecting once when the server went away.
    HRESULT WaitReady() {
        const auto deadline = Clock::now() + kServerTimeout;
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (!context_ || pa_context_get_state(context_) == PA_CONTEXT_FAILED ||
                pa_context_get_state(context_) == PA_CONTEXT_TERMINATED)
                StartConnect();
            for (;;) {
                if (!context_) break;
                const auto cs = pa_context_get_state(context_);
                if (cs == PA_CONTEXT_FAILED || cs == PA_CONTEXT_TERMINATED) break;
                if (cs == PA_CONTEXT_READY) {
                    if (stream_) {
                        const auto ss = pa_stream_get_state(stream_);
                        if (ss == PA_STREAM_READY) return S_OK;
                        if (ss == PA_STREAM_FAILED || ss == PA_STREAM_TERMINATED) {
                            DropStream();
                            break;
                        }
                    } else {
                        StartStream();
                        if (!stream_) break;
                        continue;
                    }
                }
                if (aborted_) return S_FALSE;
                if (!WaitUntil(deadline)) return GiveUpStuckServer();
            }
            DropStream();
            DropContext();
        }
        return ToHresult(Status::AudioUnavailable);
    }

    void DropStream() {
        if (!stream_) return;
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }

    void DropContext() {
        if (!context_) return;
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }

    static void OnContextState(pa_context*, void* self) { static_cast<PulseConnection*>(self)->Signal(); }
    static void OnStreamState(pa_stream*, void* self) { static_cast<PulseConnection*>(self)->Signal(); }
    static void OnWritable(pa_stream*, std::size_t, void* self) { static_cast<PulseConnection*>(self)->Signal(); }
    static void OnSuccess(pa_stream*, int, void* self) { static_cast<PulseConnection*>(self)->Signal(); }
    void Signal() { pa_threaded_mainloop_signal(loop_, 0); }

    const AudioFormat format_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool aborted_ = false;  // guarded by the main loop lock
};

SpAudioOut::SpAudioOut(const AudioFormat& format)
    : format_(format), connection_(std::make_unique<PulseConnection>(format)) {}

SpAudioOut::~SpAudioOut() = default;

HRESULT SpAudioOut::QueryInterface(REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_ISpStreamFormat)
        *ppv = static_cast<ISpStreamFormat*>(this);
    else if (iid == IID_IAudioSink)
        *ppv = static_cast<IAudioSink*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT SpAudioOut::GetFormat(GUID* formatId, WAVEFORMATEX** waveFormat) {
    if (!formatId || !waveFormat) return E_POINTER;
    *formatId = SPDFID_WaveFormatEx;
    *waveFormat = NewWaveFormat(format_);
    return *waveFormat ? S_OK : E_OUTOFMEMORY;
}

HRESULT SpAudioOut::BeginUtterance() { return connection_->Begin(); }
HRESULT SpAudioOut::Write(const std::int16_t* samples, std::size_t count) { return connection_->Write(samples, count); }
HRESULT SpAudioOut::EndUtterance(bool cancelled) { return cancelled ? S_OK : connection_->Drain(); }
void SpAudioOut::Abort() { connection_->Abort(); }

}  // namespace lexavo::sp
