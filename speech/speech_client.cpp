#include "speech/speech_client.h"

#include <vector>

namespace lexavo::speech {

VoiceNames::~VoiceNames() {
    if (!list_ || !free_) return;
    for (std::int32_t i = 0; i < list_->count; ++i)
        if (list_->items[i]) free_(list_->items[i]);
    free_(list_);
}

ArgRecord SpeechClient::Call(CommandIndex index, std::initializer_list<ArgRecord> args) const {
    ArgRecord result{0, kArgOmitted};
    const std::vector<ArgRecord> records(args);
    table_.commands[index](&result, static_cast<std::int32_t>(records.size()), records.data());
    return result;
}

void SpeechClient::Construct(ETextToSpeech* o) const { Call(kConstruct, {ObjectArg(o)}); }
void SpeechClient::Destruct(ETextToSpeech* o) const { Call(kDestruct, {ObjectArg(o)}); }
bool SpeechClient::IsInitialized(ETextToSpeech* o) const { return Call(kIsInitialized, {ObjectArg(o)}).value != 0; }

VoiceNames SpeechClient::GetVoiceNames(ETextToSpeech* o) const {
    const ArgRecord r = Call(kGetVoiceNames, {ObjectArg(o)});
    return VoiceNames(reinterpret_cast<VoiceList*>(static_cast<std::intptr_t>(r.value)), free_);
}

bool SpeechClient::SelectVoice(ETextToSpeech* o, const char* name) const {
    return Call(kSelectVoice, {ObjectArg(o), TextArg(name)}).value != 0;
}

bool SpeechClient::Speak(ETextToSpeech* o, std::int32_t mode, const char* text, std::optional<std::int32_t> waitMs,
                         std::optional<EventTarget> target) const {
    return Call(kSpeak, {ObjectArg(o), IntArg(mode), TextArg(text), waitMs ? IntArg(*waitMs) : OmittedArg(),
                         target ? WindowRefArg(target->windowId, target->controlId) : OmittedArg()})
               .value != 0;
}

bool SpeechClient::Stop(ETextToSpeech* o) const { return Call(kStop, {ObjectArg(o)}).value != 0; }
bool SpeechClient::SetRate(ETextToSpeech* o, std::int32_t rate) const {
    return Call(kSetRate, {ObjectArg(o), IntArg(rate)}).value != 0;
}
bool SpeechClient::SpeakToFile(ETextToSpeech* o, std::int32_t mode, const char* text, const char* path) const {
    return Call(kSpeakToFile, {ObjectArg(o), IntArg(mode), TextArg(text), TextArg(path)}).value != 0;
}

}  // namespace lexavo::speech
