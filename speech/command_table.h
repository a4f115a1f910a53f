// The host command shape: every operation is entered with a result slot, an argument count
// and argument records. Argument 0 is the object (the address of its record).
#pragma once

#include <cstdint>

namespace lexavo::speech {

enum ArgType : std::int32_t {
    kArgOmitted = 0,  // an optional argument that was left out
    kArgInt32 = 1,
    kArgBool = 2,
    kArgText = 3,       // value: address of a zero-terminated text, or 0
    kArgObject = 4,     // value: address of an ETextToSpeech record
    kArgWindowRef = 5,  // value: window id in the low 32 bits, control id in the high 32 bits
    kArgAddress = 6,    // value: address of a host block (a list)
};

struct ArgRecord {
    std::int64_t value;
    std::int32_t type;
};

using Command = void (*)(ArgRecord* result, std::int32_t argCount, const ArgRecord* args);

// Registered in this order.
enum CommandIndex : std::int32_t {
    kSetRate = 0,
    kIsInitialized = 1,
    kGetVoiceNames = 2,
    kSpeakToFile = 3,
    kSelectVoice = 4,
    kSpeak = 5,
    kStop = 6,
    kConstruct = 7,
    kDestruct = 8,
    kCommandCount = 9,
};

struct CommandTable {
    const Command* commands;
    std::int32_t count;
};

const CommandTable& SpeechCommandTable();

inline ArgRecord IntArg(std::int32_t v) { return {v, kArgInt32}; }
inline ArgRecord TextArg(const char* text) { return {static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(text)), kArgText}; }
inline ArgRecord ObjectArg(const void* object) {
    return {static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(object)), kArgObject};
}
inline ArgRecord WindowRefArg(std::int32_t windowId, std::int32_t controlId) {
    return {static_cast<std::int64_t>(static_cast<std::uint64_t>(static_cast<std::uint32_t>(windowId)) |
                                      (static_cast<std::uint64_t>(static_cast<std::uint32_t>(controlId)) << 32)),
            kArgWindowRef};
}
inline ArgRecord OmittedArg() { return {0, kArgOmitted}; }

}  // namespace lexavo::speech
