// eSpeak NG as a speech engine.
#pragma once

#include <mutex>
#include <set>
#include <string_view>

#include "platform/speech/engine.h"

namespace lexavo::sp {

// libespeak-ng keeps one process-wide state; this adapter owns it and serialises every use.
class EspeakAdapter {
public:
    static EspeakAdapter& Instance();

    // Starts the library once per process. Empty `dataPath` means the library's own default
    // location; a later start with another location is refused.
    HRESULT Start(const std::string& dataPath, std::string* reason);
    int SampleRate();

    // Receives audio as the library produces it; false stops synthesis.
    class Consumer {
    public:
        virtual ~Consumer() = default;
        virtual bool Consume(const std::int16_t* samples, std::size_t count) = 0;
    };

    // Whether the library has a voice by this name ("name" or "name+variant"), without
    // waiting for a render to end.
    bool KnowsVoice(std::string_view voiceName);
    // Renders `text` at `wordsPerMinute`; S_FALSE when the consumer stopped it.
    HRESULT Synthesize(const std::string& text, bool markup, const std::string& voiceName, int wordsPerMinute,
                       Consumer& consumer);

private:
    EspeakAdapter() = default;
    HRESULT SelectVoiceLocked(const std::string& voiceName);

    std::mutex mutex_;  // serialises every call into the library
    std::mutex namesMutex_;
    std::set<std::string> knownVoices_;    // lower-cased names, identifiers and languages
    std::set<std::string> knownVariants_;  // lower-cased variant file names
    bool started_ = false;
    std::string dataPath_;
    std::string currentVoice_;
    int sampleRate_ = 22050;
};

class EspeakEngine final : public TtsEngine {
public:
    // Never throws: a library that does not start leaves the engine in its error state.
    EspeakEngine();
    HRESULT Status() const override { return status_; }
    std::string Reason() const override { return reason_; }
    AudioFormat NativeFormat() const override { return format_; }
    HRESULT CheckVoice(const VoiceAttributes& voice) override;
    HRESULT Speak(const SpeakJob& job, IAudioSink& sink) override;

    static std::string VoiceName(const VoiceAttributes& voice);

private:
    HRESULT status_ = S_OK;
    std::string reason_;
    AudioFormat format_;
};

}  // namespace lexavo::sp
