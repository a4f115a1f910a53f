#include "speech/speech_platform.h"

namespace lexavo::speech {
namespace {

class RealPlatform final : public SpeechPlatform {
public:
    sp::HRESULT CoInitialize(void* reserved) override { return sp::CoInitialize(reserved); }
    void CoUninitialize() override { sp::CoUninitialize(); }
    sp::HRESULT CoCreateInstance(sp::REFCLSID clsid, sp::IUnknown* outer, sp::DWORD context, sp::REFIID iid,
                                 void** ppv) override {
        return sp::CoCreateInstance(clsid, outer, context, iid, ppv);
    }
    void CoTaskMemFree(void* p) override { sp::CoTaskMemFree(p); }
    sp::BSTR SysAllocString(const sp::WCHAR* text) override { return sp::SysAllocString(text); }
    void SysFreeString(sp::BSTR text) override { sp::SysFreeString(text); }
    sp::LANGID GetUserDefaultUILanguage() override { return sp::GetUserDefaultUILanguage(); }
    sp::LANGID GetUserDefaultLangID() override { return sp::GetUserDefaultLangID(); }
    sp::LRESULT SendMessageA(sp::HWND window, sp::UINT message, sp::WPARAM wParam, sp::LPARAM lParam) override {
        return sp::SendMessageA(window, message, wParam, lParam);
    }
};

RealPlatform g_real;
SpeechPlatform* g_platform = &g_real;

}  // namespace

SpeechPlatform& Platform() { return *g_platform; }
void SetPlatformForTesting(SpeechPlatform* platform) { g_platform = platform ? platform : &g_real; }

}  // namespace lexavo::speech
