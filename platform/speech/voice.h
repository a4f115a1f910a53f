// The voice: a speak queue served by a worker thread that streams the engine's audio to the
// current output, with events announced on the thread that registered for them.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/speech/engine.h"
#include "platform/speech/sapi.h"
#include "platform/speech/thread_poster.h"

namespace lexavo::sp {

// Creates a voice on the given engine (the default engine when null). Fails with the
// engine's status when the engine cannot speak.
HRESULT CreateSpVoice(std::unique_ptr<TtsEngine> engine, REFIID iid, void** ppv);
HRESULT CreateSpVoice(REFIID iid, void** ppv);

class SpVoice final : public ISpVoice, public RefCounted<SpVoice> {
public:
    explicit SpVoice(std::unique_ptr<TtsEngine> engine);

    HRESULT QueryInterface(REFIID iid, void** ppv) override;
    LEXAVO_IMPLEMENT_REFCOUNT

    HRESULT SetNotifyCallbackFunction(SPNOTIFYCALLBACK* callback, WPARAM wParam, LPARAM lParam) override;
    HRESULT SetInterest(ULONGLONG eventInterest, ULONGLONG queuedInterest) override;
    HRESULT GetEvents(ULONG count, SPEVENT* events, ULONG* fetched) override;

    HRESULT SetOutput(IUnknown* output, BOOL allowFormatChanges) override;
    HRESULT GetOutputStream(ISpStreamFormat** stream) override;
    HRESULT SetVoice(ISpObjectToken* token) override;
    HRESULT GetVoice(ISpObjectToken** token) override;
    HRESULT Speak(const WCHAR* text, DWORD flags, ULONG* streamNumber) override;
    HRESULT SetRate(LONG rate) override;
    HRESULT GetRate(LONG* rate) override;
    HRESULT WaitUntilDone(ULONG timeoutMs) override;
    HRESULT GetStatus(SPVOICESTATUS* status, WCHAR** lastBookmark) override;

    HRESULT Init();

private:
    friend class RefCounted<SpVoice>;
    ~SpVoice();

    struct Request;
    struct NotifySlot;

    void WorkerLoop();
    void Render(Request& request);
    void Purge();
    void QueueEvent(std::uint16_t id, ULONG streamNumber, ULONGLONG audioOffset);
    HRESULT TextForRequest(const WCHAR* text, DWORD flags, std::string* utf8);
    // Whether the utterance in progress or a queued one speaks into `output`.
    bool OutputInUseLocked(ISpStreamFormat* output) const;

    std::unique_ptr<TtsEngine> engine_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Request>> queue_;
    std::shared_ptr<Request> current_;
    bool quit_ = false;
    ULONG nextStream_ = 1;
    HRESULT lastResult_ = S_OK;  // of the last utterance rendered to its end

    ComPtr<ISpStreamFormat> output_;
    ComPtr<ISpObjectToken> token_;
    VoiceAttributes voice_;
    LONG rate_ = 0;

    ULONGLONG eventInterest_ = 0;
    ULONGLONG queuedInterest_ = 0;
    std::deque<SPEVENT> events_;
    std::shared_ptr<NotifySlot> notify_;

    std::thread worker_;  // last: starts after every member it uses exists
};

}  // namespace lexavo::sp
