// Speaking, stopping and the rate.
#include <new>

#include "platform/speech/text_codec.h"
#include "speech/host.h"
#include "speech/speech_platform.h"
#include "speech/speech_state.h"

namespace lexavo::speech {

sp::BSTR WideCopy(const char* text) {
    if (!text) return nullptr;
    std::u16string wide;
    try {
        wide = sp::Utf8ToUtf16(text);
    } catch (const std::bad_alloc&) {
        throw SpeechError(sp::E_OUTOFMEMORY);
    }
    sp::BSTR copy = Platform().SysAllocString(wide.c_str());
    if (!copy) throw SpeechError(sp::E_OUTOFMEMORY);
    return copy;
}

WideText::~WideText() { Platform().SysFreeString(text_); }

bool Speak(ETextToSpeech* object, std::int32_t mode, const char* text, std::optional<std::int32_t> waitMs,
           std::optional<EventTarget> eventTarget) {
    sp::ISpVoice* voice = VoiceOf(object);
    if (!voice) return false;
    if (mode < kModePlainText || mode > kModeNothing) return false;
    if (eventTarget) {
        // Before the text goes out, so that this utterance's events reach the new target.
        if (const HostFunction host = CurrentHost()) {
            const auto found = host(kHostFindWindow, eventTarget->windowId, eventTarget->controlId);
            if (found) object->state->eventTarget = reinterpret_cast<sp::WindowObject*>(found);
        }
    }
    sp::HRESULT& hr = object->state->lastResult;
    hr = sp::S_OK;
    object->state->lastWasAsync = mode != kModeNothing;
    if (mode != kModeNothing) {
        static constexpr sp::DWORD kFlags[] = {sp::SPF_ASYNC, sp::SPF_ASYNC | sp::SPF_IS_FILENAME,
                                               sp::SPF_ASYNC | sp::SPF_IS_XML};
        const WideText wide(text);
        hr = voice->Speak(wide.Get(), kFlags[mode], nullptr);
    }
    if (waitMs && *waitMs != 0) voice->WaitUntilDone(*waitMs < 0 ? sp::INFINITE : static_cast<sp::ULONG>(*waitMs));
    return sp::SUCCEEDED(hr);
}

sp::HRESULT LastResult(const ETextToSpeech* object) {
    sp::ISpVoice* voice = VoiceOf(object);
    if (!voice) return sp::S_OK;
    const SpeechState& state = *object->state;
    if (sp::FAILED(state.lastResult) || !state.lastWasAsync) return state.lastResult;
    // Queued without fault; how the rendering in the background ended, once it has.
    sp::SPVOICESTATUS status{};
    if (sp::FAILED(voice->GetStatus(&status, nullptr)) || status.dwRunningState != sp::SPRS_DONE) return sp::S_OK;
    return status.hrLastResult;
}

bool Stop(ETextToSpeech* object) {
    sp::ISpVoice* voice = VoiceOf(object);
    if (!voice) return false;
    return sp::SUCCEEDED(voice->Speak(nullptr, sp::SPF_PURGEBEFORESPEAK, nullptr));
}

bool SetRate(ETextToSpeech* object, std::int32_t rate) {
    sp::ISpVoice* voice = VoiceOf(object);
    if (!voice) return false;
    if (rate < -10 || rate > 10) return false;
    return sp::SUCCEEDED(voice->SetRate(rate));
}

}  // namespace lexavo::speech
