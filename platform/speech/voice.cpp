#include "platform/speech/voice.h"

#include <cerrno>
#include <chrono>
#include <new>

#include "platform/speech/frontend/chinese_text.h"
#include "platform/speech/markup.h"
#include "platform/speech/pulse_output.h"
#include "platform/speech/settings.h"
#include "platform/speech/text_codec.h"
#include "platform/speech/text_file.h"
#include "platform/speech/voice_tokens.h"

namespace lexavo::sp {

struct SpVoice::Request {
    SpeakJob job;
    ComPtr<ISpStreamFormat> output;  // reset by the worker before `done`
    ULONG stream = 0;
    std::atomic<bool> cancel{false};
    bool done = false;  // guarded by the voice's mutex
    HRESULT result = S_OK;
};

struct SpVoice::NotifySlot {
    SPNOTIFYCALLBACK* callback;
    WPARAM wParam;
    LPARAM lParam;
    std::shared_ptr<ThreadPoster> poster;
    std::atomic<bool> active{true};
};

namespace {

// Numbers and marks are written out for both Chinese voices; the rest of a Chinese front end
// is per language.
TextFrontEnd FrontEndFor(const VoiceAttributes& voice) {
    if (voice.frontEnd == "mandarin" || voice.frontEnd == "cantonese") return &NormaliseChineseText;
    return nullptr;
}

}  // namespace

HRESULT CreateSpVoice(std::unique_ptr<TtsEngine> engine, REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!engine) engine = CreateEngine("");
    if (const HRESULT hr = engine->Status(); FAILED(hr)) return hr;
    auto* voice = new (std::nothrow) SpVoice(std::move(engine));
    if (!voice) return E_OUTOFMEMORY;
    HRESULT hr = voice->Init();
    if (SUCCEEDED(hr)) hr = voice->QueryInterface(iid, ppv);
    voice->Release();
    return hr;
}

HRESULT CreateSpVoice(REFIID iid, void** ppv) { return CreateSpVoice(nullptr, iid, ppv); }

SpVoice::SpVoice(std::unique_ptr<TtsEngine> engine) : engine_(std::move(engine)) {}

HRESULT SpVoice::Init() {
    auto* out = new (std::nothrow) SpAudioOut(engine_->NativeFormat());
    if (!out) return E_OUTOFMEMORY;
    output_ = ComPtr<ISpStreamFormat>::Adopt(out);
    // The default voice is the first one in the token store, or the engine's own default.
    auto tokens = LoadVoiceTokens(CurrentPlatformSettings().voicesFolder);
    if (!tokens.empty()) {
        voice_ = tokens.front().Attributes();
        CreateVoiceToken(std::move(tokens.front()), token_.Put());
    }
    worker_ = std::thread([this] { WorkerLoop(); });
    return S_OK;
}

SpVoice::~SpVoice() {
    {
        std::lock_guard lock(mutex_);
        if (notify_) notify_->active = false;
        notify_.reset();
    }
    Purge();
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
}

HRESULT SpVoice::QueryInterface(REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_ISpVoice || iid == IID_ISpEventSource || iid == IID_ISpNotifySource) {
        *ppv = static_cast<ISpVoice*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT SpVoice::SetNotifyCallbackFunction(SPNOTIFYCALLBACK* callback, WPARAM wParam, LPARAM lParam) {
    std::lock_guard lock(mutex_);
    if (notify_) notify_->active = false;
    notify_.reset();
    if (!callback) return S_OK;
    auto slot = std::make_shared<NotifySlot>();
    slot->callback = callback;
    slot->wParam = wParam;
    slot->lParam = lParam;
    slot->poster = CurrentThreadPoster();
    notify_ = std::move(slot);
    return S_OK;
}

HRESULT SpVoice::SetInterest(ULONGLONG eventInterest, ULONGLONG queuedInterest) {
    const auto checked = [](ULONGLONG mask) { return mask == 0 || (mask & SPFEI_FLAGCHECK) == SPFEI_FLAGCHECK; };
    if (!checked(eventInterest) || !checked(queuedInterest)) return E_INVALIDARG;
    if ((queuedInterest & ~eventInterest) != 0) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    eventInterest_ = eventInterest;
    queuedInterest_ = queuedInterest;
    return S_OK;
}

HRESULT SpVoice::GetEvents(ULONG count, SPEVENT* events, ULONG* fetched) {
    if (!events) return E_POINTER;
    std::lock_guard lock(mutex_);
    ULONG n = 0;
    while (n < count && !events_.empty()) {
        events[n++] = events_.front();
        events_.pop_front();
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

void SpVoice::QueueEvent(std::uint16_t id, ULONG streamNumber, ULONGLONG audioOffset) {
    std::shared_ptr<NotifySlot> slot;
    {
        std::lock_guard lock(mutex_);
        const ULONGLONG bit = 1ull << id;
        if (queuedInterest_ & bit) events_.push_back(SPEVENT{id, SPET_LPARAM_IS_UNDEFINED, streamNumber, audioOffset, 0, 0});
        if (eventInterest_ & bit) slot = notify_;
    }
    if (slot && slot->poster)
        slot->poster->Post([slot] {
            if (slot->active) slot->callback(slot->wParam, slot->lParam);
        });
}

HRESULT SpVoice::SetOutput(IUnknown* output, BOOL) {
    ComPtr<ISpStreamFormat> format;
    if (!output) {
        auto* out = new (std::nothrow) SpAudioOut(engine_->NativeFormat());
        if (!out) return E_OUTOFMEMORY;
        format = ComPtr<ISpStreamFormat>::Adopt(out);
    } else {
        if (FAILED(output->QueryInterface(IID_ISpStreamFormat, reinterpret_cast<void**>(format.Put())))) return E_INVALIDARG;
        ComPtr<IAudioSink> sink = format.As<IAudioSink>(IID_IAudioSink);
        if (!sink) return E_INVALIDARG;
        // Audio is written in the engine's format; other formats are not converted.
        if (!(sink->SinkFormat() == engine_->NativeFormat())) return SPERR_UNSUPPORTED_FORMAT;
    }
    std::lock_guard lock(mutex_);
    output_ = std::move(format);
    return S_OK;
}

HRESULT SpVoice::GetOutputStream(ISpStreamFormat** stream) {
    if (!stream) return E_POINTER;
    std::lock_guard lock(mutex_);
    *stream = ComPtr<ISpStreamFormat>(output_).Detach();
    return *stream ? S_OK : SPERR_UNINITIALIZED;
}

HRESULT SpVoice::SetVoice(ISpObjectToken* token) {
    VoiceAttributes attributes;
    ComPtr<ISpObjectToken> held;
    if (token) {
        ComPtr<IVoiceTokenData> data;
        if (FAILED(token->QueryInterface(IID_IVoiceTokenData, reinterpret_cast<void**>(data.Put())))) return E_INVALIDARG;
        attributes = data->Data().Attributes();
        held = ComPtr<ISpObjectToken>::Share(token);
    } else {
        auto tokens = LoadVoiceTokens(CurrentPlatformSettings().voicesFolder);
        if (!tokens.empty()) {
            attributes = tokens.front().Attributes();
            CreateVoiceToken(std::move(tokens.front()), held.Put());
        }
    }
    if (const HRESULT hr = engine_->CheckVoice(attributes); FAILED(hr)) return hr;
    std::lock_guard lock(mutex_);
    voice_ = std::move(attributes);
    token_ = std::move(held);
    return S_OK;
}

HRESULT SpVoice::GetVoice(ISpObjectToken** token) {
    if (!token) return E_POINTER;
    std::lock_guard lock(mutex_);
    *token = ComPtr<ISpObjectToken>(token_).Detach();
    return *token ? S_OK : SPERR_NOT_FOUND;
}

HRESULT SpVoice::SetRate(LONG rate) {
    if (rate < -10 || rate > 10) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    rate_ = rate;
    return S_OK;
}

HRESULT SpVoice::GetRate(LONG* rate) {
    if (!rate) return E_POINTER;
    std::lock_guard lock(mutex_);
    *rate = rate_;
    return S_OK;
}

HRESULT SpVoice::TextForRequest(const WCHAR* text, DWORD flags, std::string* utf8) {
    if (flags & SPF_IS_FILENAME) {
        const auto path = Utf16ToUtf8Exact(std::u16string_view(text, WideLength(text)));
        if (!path) return ToHresult(Status::InvalidName);  // never another file's name
        if (const HRESULT hr = ReadTextFile(*path, utf8); FAILED(hr)) return hr;
    } else {
        *utf8 = Utf16ToUtf8(std::u16string_view(text, WideLength(text)));
    }
    if (flags & SPF_IS_XML) {
        return ValidateMarkup(*utf8, [this](std::string_view name) {
            VoiceAttributes voice;
            const auto plus = name.find('+');
            voice.voice = std::string(name.substr(0, plus));
            if (plus != std::string_view::npos) voice.variant = std::string(name.substr(plus + 1));
            return !voice.voice.empty() && SUCCEEDED(engine_->CheckVoice(voice));
        });
    }
    return S_OK;
}

HRESULT SpVoice::Speak(const WCHAR* text, DWORD flags, ULONG* streamNumber) {
    if (streamNumber) *streamNumber = 0;
    if ((flags & ~SPF_VALID_FLAGS) != 0) return SPERR_INVALID_FLAGS;
    if ((flags & SPF_IS_XML) && (flags & SPF_IS_NOT_XML)) return SPERR_INVALID_FLAGS;
    if (flags & SPF_PURGEBEFORESPEAK) Purge();
    if (!text) return (flags & SPF_PURGEBEFORESPEAK) ? S_OK : E_POINTER;

    auto request = std::make_shared<Request>();
    if (const HRESULT hr = TextForRequest(text, flags, &request->job.text); FAILED(hr)) return hr;
    request->job.markup = (flags & SPF_IS_XML) != 0;
    request->job.cancel = &request->cancel;
    bool renderHere = false;
    {
        std::lock_guard lock(mutex_);
        request->job.voice = voice_;
        request->job.rate = rate_;
        request->job.frontEnd = FrontEndFor(voice_);
        request->output = output_;
        request->stream = nextStream_++;
        // A synchronous request to an output that nothing queued uses (a file while a
        // reading plays) neither stops nor waits for that reading: it is rendered here, and
        // the engine lets it in between the reading's pieces. When the voice is idle it
        // takes the queue like any other, where a purge reaches it.
        renderHere = !(flags & SPF_ASYNC) && (current_ || !queue_.empty()) && !OutputInUseLocked(request->output.Get());
        if (!renderHere) queue_.push_back(request);
    }
    if (streamNumber) *streamNumber = request->stream;
    if (renderHere) {
        Render(*request);
        request->output.Reset();
        std::lock_guard lock(mutex_);
        lastResult_ = request->result;
        return request->result;
    }
    changed_.notify_all();
    if (flags & SPF_ASYNC) return S_OK;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return request->done; });
    return request->result;
}

bool SpVoice::OutputInUseLocked(ISpStreamFormat* output) const {
    if (current_ && current_->output.Get() == output) return true;
    for (const auto& queued : queue_)
        if (queued->output.Get() == output) return true;
    return false;
}

HRESULT SpVoice::WaitUntilDone(ULONG timeoutMs) {
    std::unique_lock lock(mutex_);
    const auto idle = [&] { return queue_.empty() && !current_; };
    if (timeoutMs == INFINITE) {
        changed_.wait(lock, idle);
        return S_OK;
    }
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), idle) ? S_OK : S_FALSE;
}

HRESULT SpVoice::GetStatus(SPVOICESTATUS* status, WCHAR** lastBookmark) {
    if (!status) return E_POINTER;
    if (lastBookmark) *lastBookmark = nullptr;
    std::lock_guard lock(mutex_);
    const bool idle = queue_.empty() && !current_;
    *status = SPVOICESTATUS{current_ ? current_->stream : 0, nextStream_ - 1, lastResult_,
                            static_cast<DWORD>(idle ? SPRS_DONE : SPRS_IS_SPEAKING)};
    return S_OK;
}

void SpVoice::Purge() {
    std::shared_ptr<Request> current;
    ComPtr<IAudioSink> sink;
    {
        std::lock_guard lock(mutex_);
        for (auto& dropped : queue_) {
            dropped->cancel = true;
            dropped->output.Reset();
            dropped->done = true;
        }
        queue_.clear();
        current = current_;
        if (current) {
            current->cancel = true;
            if (current->output) sink = current->output.As<IAudioSink>(IID_IAudioSink);
        }
    }
    changed_.notify_all();
    if (!current) return;
    if (sink) sink->Abort();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return current->done; });
}

void SpVoice::WorkerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return quit_ || !queue_.empty(); });
        if (quit_) return;
        current_ = queue_.front();
        queue_.pop_front();
        std::shared_ptr<Request> request = current_;
        lock.unlock();
        Render(*request);
        lock.lock();
        request->output.Reset();
        request->done = true;
        if (!request->cancel) lastResult_ = request->result;
        current_.reset();
        changed_.notify_all();
    }
}

void SpVoice::Render(Request& request) {
    if (request.cancel) return;
    QueueEvent(SPEI_START_INPUT_STREAM, request.stream, 0);
    ComPtr<IAudioSink> sink = request.output.As<IAudioSink>(IID_IAudioSink);
    HRESULT hr = sink ? sink->BeginUtterance() : E_INVALIDARG;
    if (SUCCEEDED(hr)) {
        hr = engine_->Speak(request.job, *sink.Get());
        const HRESULT end = sink->EndUtterance(request.cancel || FAILED(hr));
        if (SUCCEEDED(hr) && FAILED(end)) hr = end;
    }
    request.result = FAILED(hr) ? hr : S_OK;
    QueueEvent(SPEI_END_INPUT_STREAM, request.stream, 0);
}

}  // namespace lexavo::sp
