// A speech engine renders text into an audio sink. The voice talks to engines only through
// this interface, so another engine can stand beside eSpeak NG.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>

#include "platform/speech/audio_sink.h"

namespace lexavo::sp {

// What a voice token tells its engine.
struct VoiceAttributes {
    std::string engine;    // "espeak-ng"
    std::string voice;     // the engine's own voice name, such as "cmn-latn-pinyin"
    std::string variant;   // the engine's variant, such as "f2"; may be empty
    std::string language;  // language id in hexadecimal, such as "804"
    std::string gender;
    std::string name;
    std::string frontEnd;  // "mandarin" or "cantonese": the text front end this voice's text goes through
};

// Turns plain text into what the engine reads (see frontend/); applied piece by piece as the
// engine renders, so the first audio does not wait for the whole text.
using TextFrontEnd = std::string (*)(std::string_view utf8);

struct SpeakJob {
    std::string text;  // UTF-8
    bool markup = false;
    TextFrontEnd frontEnd = nullptr;  // for plain text; markup is read as written
    VoiceAttributes voice;
    long rate = 0;  // -10..10
    const std::atomic<bool>* cancel = nullptr;
};

class TtsEngine {
public:
    virtual ~TtsEngine() = default;
    // S_OK when the engine can speak; otherwise the reason says why not.
    virtual HRESULT Status() const = 0;
    virtual std::string Reason() const = 0;
    virtual AudioFormat NativeFormat() const = 0;
    // Checks that the engine has this voice.
    virtual HRESULT CheckVoice(const VoiceAttributes& voice) = 0;
    // Renders the job into the sink; returns when done or when the job's cancel flag rises
    // (S_FALSE then). The sink's Begin/End are the caller's.
    virtual HRESULT Speak(const SpeakJob& job, IAudioSink& sink) = 0;
};

// The engine named by a voice token's "Engine" attribute; eSpeak NG for an empty name.
// Never null: an unknown engine comes back in its error state.
std::unique_ptr<TtsEngine> CreateEngine(const std::string& engineName);

// Speed factor of a rate: 3^(rate/10).
double RateSpeedFactor(long rate);

}  // namespace lexavo::sp
