// The ETextToSpeech object: one platform voice, its voices by description, speaking,
// stopping, rate, and speaking into a wave file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/speech/sapi.h"
#include "platform/speech/window_messages.h"

namespace lexavo::speech {

struct SpeechState;

// The record the application owns and zeroes before Construct.
struct ETextToSpeech {
    SpeechState* state;       // set by Construct, emptied by Destruct
    std::uint32_t reserved;   // never touched by the speech layer
};

// [1][n][n texts]: what GetVoiceNames hands back, in host memory. Each text is a host block
// or null; the caller frees the texts, then the list.
struct VoiceList {
    std::int32_t dimensions;
    std::int32_t count;
    char* items[1];  // `count` entries
    static std::size_t BytesFor(std::int32_t n) { return offsetof(VoiceList, items) + sizeof(char*) * (n > 0 ? n : 0); }
};

// Speech modes.
inline constexpr std::int32_t kModePlainText = 0;
inline constexpr std::int32_t kModeFileName = 1;
inline constexpr std::int32_t kModeMarkup = 2;
inline constexpr std::int32_t kModeNothing = 3;

inline constexpr sp::UINT kSpeechEventMessage = 0x8075;  // WM_APP + 0x75
inline constexpr sp::ULONGLONG kEventInterest = 0x0000000240000006ull;

// Raised, never caught here, when a text cannot be copied for the platform.
class SpeechError : public std::runtime_error {
public:
    explicit SpeechError(sp::HRESULT hr);
    sp::HRESULT Result() const { return hr_; }

private:
    sp::HRESULT hr_;
};

struct EventTarget {
    std::int32_t windowId;
    std::int32_t controlId;
};

void Construct(ETextToSpeech* object);
void Destruct(ETextToSpeech* object);
bool IsInitialized(const ETextToSpeech* object);

VoiceList* GetVoiceNames(ETextToSpeech* object);
bool SelectVoice(ETextToSpeech* object, const char* name);

bool Speak(ETextToSpeech* object, std::int32_t mode, const char* text, std::optional<std::int32_t> waitMs = std::nullopt,
           std::optional<EventTarget> eventTarget = std::nullopt);
bool Stop(ETextToSpeech* object);
bool SetRate(ETextToSpeech* object, std::int32_t rate);

bool SpeakToFile(ETextToSpeech* object, std::int32_t mode, const char* text, const char* filePath);

// Why the object's latest Speak or SpeakToFile failed: its platform result, S_OK when it
// succeeded or the object is not initialised. For a Speak, once the voice is done, that
// includes how its rendering in the background ended (a sound server gone, say). For
// messages to a person (sp::StatusMessage).
sp::HRESULT LastResult(const ETextToSpeech* object);

}  // namespace lexavo::speech
