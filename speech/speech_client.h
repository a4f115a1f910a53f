// A typed wrapper over the speech layer's command table, for C++ callers.
#pragma once

#include <cstdint>
#include <optional>

#include "speech/command_table.h"
#include "speech/text_to_speech.h"

namespace lexavo::speech {

using HostFree = void (*)(void*);

// The voice descriptions handed back by GetVoiceNames; frees them with the host's free.
class VoiceNames {
public:
    VoiceNames(VoiceList* list, HostFree hostFree) : list_(list), free_(hostFree) {}
    VoiceNames(VoiceNames&& o) noexcept : list_(o.list_), free_(o.free_) { o.list_ = nullptr; }
    VoiceNames(const VoiceNames&) = delete;
    VoiceNames& operator=(const VoiceNames&) = delete;
    ~VoiceNames();

    // The product of the dimension sizes: with its one dimension, the element count.
    std::int32_t Count() const { return list_ ? list_->count : 0; }
    // Null for a voice without a readable description.
    const char* At(std::int32_t i) const { return list_->items[i]; }

private:
    VoiceList* list_;
    HostFree free_;
};

class SpeechClient {
public:
    SpeechClient(const CommandTable& table, HostFree hostFree) : table_(table), free_(hostFree) {}

    void Construct(ETextToSpeech* object) const;
    void Destruct(ETextToSpeech* object) const;
    bool IsInitialized(ETextToSpeech* object) const;
    VoiceNames GetVoiceNames(ETextToSpeech* object) const;
    bool SelectVoice(ETextToSpeech* object, const char* name) const;
    bool Speak(ETextToSpeech* object, std::int32_t mode, const char* text,
               std::optional<std::int32_t> waitMs = std::nullopt,
               std::optional<EventTarget> eventTarget = std::nullopt) const;
    bool Stop(ETextToSpeech* object) const;
    bool SetRate(ETextToSpeech* object, std::int32_t rate) const;
    bool SpeakToFile(ETextToSpeech* object, std::int32_t mode, const char* text, const char* filePath) const;
    // Not a host command: why the latest Speak or SpeakToFile failed (see speech::LastResult).
    sp::HRESULT LastResult(const ETextToSpeech* object) const { return speech::LastResult(object); }

private:
    ArgRecord Call(CommandIndex index, std::initializer_list<ArgRecord> args) const;

    CommandTable table_;
    HostFree free_;
};

}  // namespace lexavo::speech
