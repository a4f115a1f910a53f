// Voice files come from other users: the parser takes any bytes, and what it accepts holds
// only values the engine may be given.
#include <cstdint>
#include <string_view>

#include "platform/speech/voice_tokens.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lexavo::sp;
    const VoiceTokenData token = ParseVoiceToken(std::string_view(reinterpret_cast<const char*>(data), size), u"fuzz");
    if (!token.fault.empty()) return 0;
    const VoiceAttributes a = token.Attributes();
    // Names reach the engine, which makes paths of them: no "." and no control bytes.
    for (const std::string* v : {&a.engine, &a.voice, &a.variant})
        for (char c : *v)
            if (c == '.' || static_cast<unsigned char>(c) < 0x20) __builtin_trap();
    if (a.variant.size() > 24) __builtin_trap();
    return 0;
}
