// The speech layer's private records and the routines its operations share.
#pragma once

#include <string>

#include "platform/speech/ui_language.h"
#include "platform/speech/window_messages.h"
#include "speech/text_to_speech.h"

namespace lexavo::speech {

// Holds the object's one counted reference to the platform voice.
struct VoiceHolder {
    sp::ISpVoice* voice;
};

struct SpeechState {
    VoiceHolder* voiceHolder;
    sp::WindowObject* eventTarget;  // not owned
    sp::HRESULT lastResult = sp::S_OK;  // of the latest Speak or SpeakToFile
    bool lastWasAsync = false;          // the latest was a Speak that rendered in the background
};

// The voice of an initialised object, else null.
sp::ISpVoice* VoiceOf(const ETextToSpeech* object);

// The platform's wide copy of a text; null for a null text. Raises SpeechError when no
// memory is left. The caller frees it with Platform().SysFreeString.
sp::BSTR WideCopy(const char* text);

// A wide copy that lives for one platform call.
class WideText {
public:
    explicit WideText(const char* text) : text_(WideCopy(text)) {}
    ~WideText();
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;
    const sp::WCHAR* Get() const { return text_; }

private:
    sp::BSTR text_;
};

// A host block holding a copy of `text`; null for an empty text.
char* HostText(const std::string& text);

// Voice catalogue routines.
bool ChooseVoice(VoiceHolder* holder, const char* name);
sp::LANGID UserUiLanguage();
std::u16string LangIdHex(sp::LANGID id);
// Reads hexadecimal text: leading blanks, an optional sign and 0x, then hex digits.
sp::LANGID ParseHexLangId(const char* text);
std::string LowerMultiByte(const std::string& text);

// The platform's notification callback.
void OnVoiceNotify(sp::WPARAM wParam, sp::LPARAM lParam);

}  // namespace lexavo::speech
