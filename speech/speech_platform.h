// The platform calls the speech layer makes, behind one seam so that a test can record them.
#pragma once

#include "platform/speech/sapi.h"
#include "platform/speech/ui_language.h"
#include "platform/speech/window_messages.h"

namespace lexavo::speech {

class SpeechPlatform {
public:
    virtual ~SpeechPlatform() = default;
    virtual sp::HRESULT CoInitialize(void* reserved) = 0;
    virtual void CoUninitialize() = 0;
    virtual sp::HRESULT CoCreateInstance(sp::REFCLSID clsid, sp::IUnknown* outer, sp::DWORD context, sp::REFIID iid,
                                         void** ppv) = 0;
    virtual void CoTaskMemFree(void* p) = 0;
    virtual sp::BSTR SysAllocString(const sp::WCHAR* text) = 0;
    virtual void SysFreeString(sp::BSTR text) = 0;
    virtual sp::LANGID GetUserDefaultUILanguage() = 0;
    virtual sp::LANGID GetUserDefaultLangID() = 0;
    virtual sp::LRESULT SendMessageA(sp::HWND window, sp::UINT message, sp::WPARAM wParam, sp::LPARAM lParam) = 0;
};

// The real platform unless a test has put another in its place.
SpeechPlatform& Platform();
// Null restores the real platform.
void SetPlatformForTesting(SpeechPlatform* platform);

}  // namespace lexavo::speech
