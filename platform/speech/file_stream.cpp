#include "platform/speech/file_stream.h"

#include <new>

#include "platform/speech/text_codec.h"

namespace lexavo::sp {

HRESULT CreateSpStream(REFIID iid, void** ppv) { return CreateObject<SpStream>(iid, ppv); }

HRESULT SpStream::QueryInterface(REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_ISpStream || iid == IID_ISpStreamFormat)
        *ppv = static_cast<ISpStream*>(this);
    else if (iid == IID_IAudioSink)
        *ppv = static_cast<IAudioSink*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT SpStream::GetFormat(GUID* formatId, WAVEFORMATEX** waveFormat) {
    if (!formatId || !waveFormat) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (!bound_) return SPERR_UNINITIALIZED;
    *formatId = SPDFID_WaveFormatEx;
    *waveFormat = NewWaveFormat(format_);
    return *waveFormat ? S_OK : E_OUTOFMEMORY;
}

HRESULT SpStream::BindToFile(const WCHAR* fileName, SPFILEMODE mode, const GUID* formatId,
                             const WAVEFORMATEX* waveFormat, ULONGLONG) {
    if (!fileName || !formatId || !waveFormat) return E_POINTER;
    if (mode != SPFM_CREATE_ALWAYS && mode != SPFM_CREATE) return E_INVALIDARG;
    AudioFormat format;
    if (const HRESULT hr = AudioFormatFromWave(formatId, waveFormat, &format); FAILED(hr)) return hr;
    // Exactly the name given: one that does not convert is refused, never written as another.
    const auto path = Utf16ToUtf8Exact(std::u16string_view(fileName, WideLength(fileName)));
    if (!path) return ToHresult(Status::InvalidName);
    std::lock_guard lock(mutex_);
    if (bound_) return SPERR_ALREADY_INITIALIZED;
    const HRESULT hr = writer_.Create(*path, mode == SPFM_CREATE_ALWAYS, format);
    if (FAILED(hr)) return hr;
    format_ = format;
    bound_ = true;
    return S_OK;
}

HRESULT SpStream::Close() {
    std::lock_guard lock(mutex_);
    if (!bound_) return SPERR_UNINITIALIZED;
    return writer_.Finish();
}

AudioFormat SpStream::SinkFormat() {
    std::lock_guard lock(mutex_);
    return format_;
}

HRESULT SpStream::BeginUtterance() {
    std::lock_guard lock(mutex_);
    return writer_.IsOpen() ? S_OK : SPERR_UNINITIALIZED;
}

HRESULT SpStream::Write(const std::int16_t* samples, std::size_t count) {
    std::lock_guard lock(mutex_);
    return writer_.Write(samples, count);
}

// What was written reaches the file now, so that a full disk fails the Speak that wrote it.
HRESULT SpStream::EndUtterance(bool) {
    std::lock_guard lock(mutex_);
    return writer_.Flush();
}

void SpStream::Abort() {}

}  // namespace lexavo::sp
