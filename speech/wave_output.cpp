// Speaking into a wave file.

#include "platform/speech/text_codec.h"
#include "speech/speech_platform.h"
#include "speech/speech_state.h"

namespace lexavo::speech {
namespace {

// What one call holds, given back in the stated order however the call ends: the wave
// format, then the previous output, then the file stream.
struct HeldForFile {
    sp::ISpVoice* voice;
    sp::ISpStreamFormat* previous = nullptr;
    sp::WAVEFORMATEX* waveFormat = nullptr;
    sp::ISpStream* stream = nullptr;
    bool redirected = false;

    void RestoreOutput() {
        if (!redirected) return;
        voice->SetOutput(previous, sp::TRUE);
        redirected = false;
    }
    ~HeldForFile() {
        RestoreOutput();
        if (waveFormat) Platform().CoTaskMemFree(waveFormat);
        if (previous) previous->Release();
        if (stream) stream->Release();
    }
};

}  // namespace

bool SpeakToFile(ETextToSpeech* object, std::int32_t mode, const char* text, const char* filePath) {
    sp::ISpVoice* voice = VoiceOf(object);
    if (!voice) return false;
    if (mode < kModePlainText || mode > kModeNothing) return false;
    SpeechPlatform& platform = Platform();
    sp::HRESULT& result = object->state->lastResult;
    result = sp::S_OK;
    object->state->lastWasAsync = false;
    {
        HeldForFile held{voice};
        voice->GetOutputStream(&held.previous);
        sp::GUID formatId = sp::GUID_NULL;
        if (held.previous) held.previous->GetFormat(&formatId, &held.waveFormat);

        // Exactly the caller's bytes: a path that is not UTF-8 would be bound under another name.
        const auto widePath = sp::Utf8ToUtf16Exact(filePath ? filePath : "");
        if (!widePath) {
            result = sp::ToHresult(sp::Status::InvalidName);
            return false;
        }
        result = platform.CoCreateInstance(sp::CLSID_SpStream, nullptr, sp::CLSCTX_ALL_LOCAL, sp::IID_ISpStream,
                                           reinterpret_cast<void**>(&held.stream));
        if (sp::FAILED(result)) return false;
        result = held.stream->BindToFile(widePath->c_str(), sp::SPFM_CREATE_ALWAYS, &formatId, held.waveFormat,
                                         sp::SPFEI_ALL_EVENTS);
        if (sp::FAILED(result)) {
            held.stream->Release();
            held.stream = nullptr;
            return false;
        }
        voice->SetOutput(held.stream, sp::TRUE);
        held.redirected = true;
        if (mode != kModeNothing) {
            static constexpr sp::DWORD kFlags[] = {0, sp::SPF_IS_FILENAME, sp::SPF_IS_XML};
            // A raised error leaves through `held`, which gives the output back first; the
            // stream, never closed, then leaves the path as it was.
            const WideText wide(text);
            result = voice->Speak(wide.Get(), kFlags[mode], nullptr);
        }
        held.RestoreOutput();
        // Only a complete file takes the path's place; one without the speech asked for is
        // dropped at the release, and an existing file stays as it was.
        if (sp::SUCCEEDED(result)) result = held.stream->Close();
    }
    return sp::SUCCEEDED(result);
}

}  // namespace lexavo::speech
