// Construct, Destruct, the library entry point and the event relay.
#include <atomic>
#include <memory>
#include <new>

#include "speech/host.h"
#include "speech/speech_platform.h"
#include "speech/speech_state.h"

namespace lexavo::speech {
namespace {

std::atomic<HostFunction> g_host{nullptr};

// Frees the holder and its voice reference, if any.
void ReleaseHolder(VoiceHolder* holder) {
    if (!holder) return;
    std::unique_ptr<VoiceHolder> owned(holder);
    if (sp::ISpVoice* voice = owned->voice) {
        owned->voice = nullptr;
        voice->Release();
    }
}

}  // namespace

std::intptr_t SpeechLibraryNotify(std::int32_t code, std::intptr_t p1, std::intptr_t) {
    if (code != kLibraryStart) return -1;
    g_host = reinterpret_cast<HostFunction>(p1);
    return 0;
}

HostFunction CurrentHost() { return g_host.load(); }

void* HostAllocate(std::size_t bytes) {
    const HostFunction host = g_host.load();
    return host ? reinterpret_cast<void*>(host(kHostAllocate, static_cast<std::intptr_t>(bytes), 0)) : nullptr;
}

SpeechError::SpeechError(sp::HRESULT hr) : std::runtime_error(sp::StatusMessage(hr)), hr_(hr) {}

sp::ISpVoice* VoiceOf(const ETextToSpeech* object) {
    if (!object || !object->state || !object->state->voiceHolder) return nullptr;
    return object->state->voiceHolder->voice;
}

bool IsInitialized(const ETextToSpeech* object) {
    return object && object->state && object->state->voiceHolder;
}

void Construct(ETextToSpeech* object) {
    if (!object || object->state) return;
    std::unique_ptr<SpeechState> state(new (std::nothrow) SpeechState{nullptr, nullptr});
    if (!state) return;
    object->state = state.get();
    SpeechPlatform& platform = Platform();
    platform.CoInitialize(nullptr);
    std::unique_ptr<VoiceHolder> holder(new (std::nothrow) VoiceHolder{nullptr});
    sp::HRESULT hr = sp::E_OUTOFMEMORY;
    if (holder)
        hr = platform.CoCreateInstance(sp::CLSID_SpVoice, nullptr, sp::CLSCTX_ALL_LOCAL, sp::IID_ISpVoice,
                                       reinterpret_cast<void**>(&holder->voice));
    if (sp::FAILED(hr) || !holder) {
        // COM stays initialised on the thread; Destruct of the empty object will not undo it.
        ReleaseHolder(holder.release());
        object->state = nullptr;
        return;
    }
    state->voiceHolder = holder.release();
    state->eventTarget = nullptr;
    sp::ISpVoice* voice = state->voiceHolder->voice;
    voice->SetInterest(kEventInterest, kEventInterest);
    voice->SetNotifyCallbackFunction(&OnVoiceNotify, reinterpret_cast<sp::WPARAM>(state.get()), 0);
    object->state = state.release();
    ChooseVoice(object->state->voiceHolder, nullptr);
}

void Destruct(ETextToSpeech* object) {
    if (!object || !object->state) return;
    std::unique_ptr<SpeechState> state(object->state);
    if (VoiceHolder* holder = state->voiceHolder) {
        // No notification may reach the state once it is freed.
        if (holder->voice) holder->voice->SetNotifyCallbackFunction(nullptr, 0, 0);
        state->voiceHolder = nullptr;
        ReleaseHolder(holder);
    }
    Platform().CoUninitialize();
    object->state = nullptr;
}

void OnVoiceNotify(sp::WPARAM wParam, sp::LPARAM) {
    auto* state = reinterpret_cast<SpeechState*>(wParam);
    if (!state || !state->voiceHolder) return;
    sp::WindowObject* target = state->eventTarget;
    if (!target || !target->Handle()) return;
    sp::ISpVoice* voice = state->voiceHolder->voice;
    for (;;) {
        sp::SPEVENT event{};
        if (voice->GetEvents(1, &event, nullptr) != sp::S_OK) return;
        const auto id = static_cast<sp::WPARAM>(static_cast<std::intptr_t>(static_cast<std::int16_t>(event.eEventId)));
        Platform().SendMessageA(target->Handle(), kSpeechEventMessage, id, 0);
    }
}

}  // namespace lexavo::speech
