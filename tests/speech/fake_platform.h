// A recording speech platform: every call the speech layer makes is written to one log, in
// order, with its values; results and voices are set by the test.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "speech/speech_platform.h"

namespace lexavo::test {

struct FakeToken {
    std::map<std::u16string, std::u16string> values;  // u"" is the default value
};

class FakePlatform final : public speech::SpeechPlatform {
public:
    FakePlatform();
    ~FakePlatform() override;

    // Configuration.
    std::vector<FakeToken> tokens;
    sp::HRESULT createVoiceResult = sp::S_OK;
    sp::HRESULT createStreamResult = sp::S_OK;
    sp::HRESULT closeResult = sp::S_OK;
    sp::HRESULT setIdResult = sp::S_OK;
    sp::HRESULT enumTokensResult = sp::S_OK;
    sp::HRESULT getCountResult = sp::S_OK;
    sp::HRESULT bindResult = sp::S_OK;
    sp::HRESULT speakResult = sp::S_OK;
    sp::HRESULT renderResult = sp::S_OK;  // what GetStatus reports of the last utterance
    std::map<int, sp::HRESULT> setVoiceResults;  // by token index; S_OK otherwise
    sp::LANGID uiLanguage = 0x0804;
    sp::LANGID defaultLangId = 0x0409;
    bool failNextAlloc = false;
    std::vector<std::uint16_t> queuedEvents;
    // Called as an object is created and as the voice is asked to speak, with the log entry.
    std::function<void(const std::string&)> onCall;

    // What happened.
    std::vector<std::string> log;
    int coInitCount = 0;
    int liveObjects = 0;
    sp::SPNOTIFYCALLBACK* callback = nullptr;
    sp::WPARAM callbackWParam = 0;
    int selectedToken = -1;
    std::vector<std::string> sentMessages;

    void Clear() { log.clear(); }
    // Entries of the log that start with `prefix`.
    std::vector<std::string> Calls(const std::string& prefix) const;
    bool Has(const std::string& entry) const;

    sp::HRESULT CoInitialize(void* reserved) override;
    void CoUninitialize() override;
    sp::HRESULT CoCreateInstance(sp::REFCLSID clsid, sp::IUnknown* outer, sp::DWORD context, sp::REFIID iid,
                                 void** ppv) override;
    void CoTaskMemFree(void* p) override;
    sp::BSTR SysAllocString(const sp::WCHAR* text) override;
    void SysFreeString(sp::BSTR text) override;
    sp::LANGID GetUserDefaultUILanguage() override;
    sp::LANGID GetUserDefaultLangID() override;
    sp::LRESULT SendMessageA(sp::HWND window, sp::UINT message, sp::WPARAM wParam, sp::LPARAM lParam) override;
};

std::string GuidText(const sp::GUID& g);

}  // namespace lexavo::test
