#include "speech/command_table.h"

#include "speech/text_to_speech.h"

namespace lexavo::speech {
namespace {

ETextToSpeech* ObjectOf(std::int32_t argCount, const ArgRecord* args) {
    if (argCount < 1 || !args) return nullptr;
    return reinterpret_cast<ETextToSpeech*>(static_cast<std::intptr_t>(args[0].value));
}
bool Present(std::int32_t argCount, const ArgRecord* args, int i) { return i < argCount && args[i].type != kArgOmitted; }
std::int32_t IntAt(const ArgRecord* args, int i) { return static_cast<std::int32_t>(args[i].value); }
const char* TextAt(std::int32_t argCount, const ArgRecord* args, int i) {
    return Present(argCount, args, i) ? reinterpret_cast<const char*>(static_cast<std::intptr_t>(args[i].value)) : nullptr;
}
void SetBool(ArgRecord* result, bool value) {
    if (result) *result = {value ? 1 : 0, kArgBool};
}

void CmdSetRate(ArgRecord* r, std::int32_t n, const ArgRecord* a) {
    SetBool(r, n >= 2 && SetRate(ObjectOf(n, a), IntAt(a, 1)));
}
void CmdIsInitialized(ArgRecord* r, std::int32_t n, const ArgRecord* a) { SetBool(r, IsInitialized(ObjectOf(n, a))); }
void CmdGetVoiceNames(ArgRecord* r, std::int32_t n, const ArgRecord* a) {
    VoiceList* list = GetVoiceNames(ObjectOf(n, a));
    if (r) *r = {static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(list)), kArgAddress};
}
void CmdSpeakToFile(ArgRecord* r, std::int32_t n, const ArgRecord* a) {
    SetBool(r, n >= 4 && SpeakToFile(ObjectOf(n, a), IntAt(a, 1), TextAt(n, a, 2), TextAt(n, a, 3)));
}
void CmdSelectVoice(ArgRecord* r, std::int32_t n, const ArgRecord* a) {
    SetBool(r, n >= 2 && SelectVoice(ObjectOf(n, a), TextAt(n, a, 1)));
}
void CmdSpeak(ArgRecord* r, std::int32_t n, const ArgRecord* a) {
    if (n < 3) return SetBool(r, false);
    std::optional<std::int32_t> waitMs;
    if (Present(n, a, 3)) waitMs = IntAt(a, 3);
    std::optional<EventTarget> target;
    if (Present(n, a, 4)) {
        const auto v = static_cast<std::uint64_t>(a[4].value);
        target = EventTarget{static_cast<std::int32_t>(v & 0xFFFFFFFFu), static_cast<std::int32_t>(v >> 32)};
    }
    SetBool(r, Speak(ObjectOf(n, a), IntAt(a, 1), TextAt(n, a, 2), waitMs, target));
}
void CmdStop(ArgRecord* r, std::int32_t n, const ArgRecord* a) { SetBool(r, Stop(ObjectOf(n, a))); }
void CmdConstruct(ArgRecord* r, std::int32_t n, const ArgRecord* a) {
    Construct(ObjectOf(n, a));
    if (r) *r = OmittedArg();
}
void CmdDestruct(ArgRecord* r, std::int32_t n, const ArgRecord* a) {
    Destruct(ObjectOf(n, a));
    if (r) *r = OmittedArg();
}

constexpr Command kCommands[kCommandCount] = {
    &CmdSetRate, &CmdIsInitialized, &CmdGetVoiceNames, &CmdSpeakToFile, &CmdSelectVoice,
    &CmdSpeak,   &CmdStop,          &CmdConstruct,     &CmdDestruct,
};

}  // namespace

const CommandTable& SpeechCommandTable() {
    static const CommandTable table{kCommands, kCommandCount};
    return table;
}

}  // namespace lexavo::speech
