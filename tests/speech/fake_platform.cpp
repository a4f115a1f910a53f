#include "tests/speech/fake_platform.h"

#include <cstdio>

#include "platform/speech/text_codec.h"

namespace lexavo::test {
namespace {

std::string Hex(unsigned long long v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llX", v);
    return buf;
}

std::string Text(const sp::WCHAR* w) { return w ? "\"" + sp::Utf16ToUtf8(w) + "\"" : "null"; }

// Shared shape of every fake object: logs its release under its name.
template <class Interface>
class FakeObject : public Interface {
public:
    FakeObject(FakePlatform& p, std::string name) : platform_(p), name_(std::move(name)) { ++platform_.liveObjects; }
    virtual ~FakeObject() { --platform_.liveObjects; }
    sp::ULONG AddRef() override { return ++refs_; }
    sp::ULONG Release() override {
        platform_.log.push_back(name_ + ".Release");
        const sp::ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    sp::HRESULT QueryInterface(sp::REFIID, void** ppv) override {
        *ppv = this;
        AddRef();
        return sp::S_OK;
    }

protected:
    FakePlatform& platform_;
    std::string name_;
    sp::ULONG refs_ = 1;
};

class FakeOutput final : public FakeObject<sp::ISpStreamFormat> {
public:
    using FakeObject::FakeObject;
    sp::HRESULT GetFormat(sp::GUID* id, sp::WAVEFORMATEX** wfx) override {
        platform_.log.push_back(name_ + ".GetFormat");
        *id = sp::SPDFID_WaveFormatEx;
        *wfx = static_cast<sp::WAVEFORMATEX*>(sp::CoTaskMemAlloc(sizeof(sp::WAVEFORMATEX)));
        **wfx = sp::WAVEFORMATEX{1, 1, 22050, 44100, 2, 16, 0};
        return sp::S_OK;
    }
};

class FakeStream final : public FakeObject<sp::ISpStream> {
public:
    using FakeObject::FakeObject;
    sp::HRESULT GetFormat(sp::GUID*, sp::WAVEFORMATEX**) override { return sp::E_NOTIMPL; }
    sp::HRESULT BindToFile(const sp::WCHAR* path, sp::SPFILEMODE mode, const sp::GUID* id, const sp::WAVEFORMATEX* wfx,
                           sp::ULONGLONG interest) override {
        platform_.log.push_back("Stream.BindToFile " + Text(path) + " mode=" + std::to_string(mode) +
                                " format=" + GuidText(*id) + " rate=" + std::to_string(wfx ? wfx->nSamplesPerSec : 0) +
                                " interest=" + Hex(interest));
        return platform_.bindResult;
    }
    sp::HRESULT Close() override {
        platform_.log.push_back("Stream.Close");
        return platform_.closeResult;
    }
};

class FakeTokenObject final : public FakeObject<sp::ISpObjectToken> {
public:
    FakeTokenObject(FakePlatform& p, int index)
        : FakeObject(p, "Token" + std::to_string(index)), index_(index) {}
    int Index() const { return index_; }
    sp::HRESULT GetStringValue(const sp::WCHAR* name, sp::WCHAR** value) override {
        platform_.log.push_back(name_ + ".GetStringValue " + Text(name));
        *value = nullptr;
        const auto& values = platform_.tokens[index_].values;
        auto it = values.find(name ? name : u"");
        if (it == values.end()) return sp::SPERR_NOT_FOUND;
        *value = sp::CoTaskMemStrDup(it->second);
        return sp::S_OK;
    }
    sp::HRESULT GetId(sp::WCHAR**) override { return sp::E_NOTIMPL; }

private:
    int index_;
};

class FakeEnum final : public FakeObject<sp::IEnumSpObjectTokens> {
public:
    using FakeObject::FakeObject;
    sp::HRESULT Next(sp::ULONG count, sp::ISpObjectToken** tokens, sp::ULONG* fetched) override {
        platform_.log.push_back("Enum.Next " + std::to_string(count) + (fetched ? " fetched" : " null"));
        if (next_ >= platform_.tokens.size()) return sp::S_FALSE;
        tokens[0] = new FakeTokenObject(platform_, static_cast<int>(next_++));
        return sp::S_OK;
    }
    sp::HRESULT GetCount(sp::ULONG* count) override {
        platform_.log.push_back("Enum.GetCount");
        *count = static_cast<sp::ULONG>(platform_.tokens.size());
        return platform_.getCountResult;
    }
    sp::HRESULT Reset() override { return next_ = 0, sp::S_OK; }

private:
    std::size_t next_ = 0;
};

class FakeCategory final : public FakeObject<sp::ISpObjectTokenCategory> {
public:
    using FakeObject::FakeObject;
    sp::HRESULT GetStringValue(const sp::WCHAR*, sp::WCHAR**) override { return sp::E_NOTIMPL; }
    sp::HRESULT SetId(const sp::WCHAR* id, sp::BOOL create) override {
        platform_.log.push_back("Category.SetId " + Text(id) + " " + std::to_string(create));
        return platform_.setIdResult;
    }
    sp::HRESULT EnumTokens(const sp::WCHAR* req, const sp::WCHAR* opt, sp::IEnumSpObjectTokens** tokens) override {
        platform_.log.push_back("Category.EnumTokens " + Text(req) + " " + Text(opt));
        *tokens = new FakeEnum(platform_, "Enum");
        return platform_.enumTokensResult;
    }
};

class FakeVoice final : public FakeObject<sp::ISpVoice> {
public:
    FakeVoice(FakePlatform& p) : FakeObject(p, "Voice"), output_(new FakeOutput(p, "Output")) {}
    ~FakeVoice() override {
        if (output_) output_->Release();
    }
    sp::HRESULT SetNotifyCallbackFunction(sp::SPNOTIFYCALLBACK* cb, sp::WPARAM w, sp::LPARAM l) override {
        platform_.log.push_back(std::string("Voice.SetNotifyCallbackFunction ") + (cb ? "set" : "null") +
                                " l=" + std::to_string(l));
        platform_.callback = cb;
        platform_.callbackWParam = w;
        return sp::S_OK;
    }
    sp::HRESULT SetInterest(sp::ULONGLONG a, sp::ULONGLONG b) override {
        platform_.log.push_back("Voice.SetInterest " + Hex(a) + " " + Hex(b));
        return sp::S_OK;
    }
    sp::HRESULT GetEvents(sp::ULONG count, sp::SPEVENT* events, sp::ULONG* fetched) override {
        platform_.log.push_back("Voice.GetEvents " + std::to_string(count) + (fetched ? " fetched" : " null"));
        if (platform_.queuedEvents.empty()) return sp::S_FALSE;
        events[0] = sp::SPEVENT{platform_.queuedEvents.front(), 0, 1, 0, 0, 0};
        platform_.queuedEvents.erase(platform_.queuedEvents.begin());
        return sp::S_OK;
    }
    sp::HRESULT SetOutput(sp::IUnknown* out, sp::BOOL allow) override {
        std::string what = out == nullptr ? "null" : out == static_cast<sp::IUnknown*>(output_) ? "previous" : "stream";
        platform_.log.push_back("Voice.SetOutput " + what + " " + std::to_string(allow));
        return sp::S_OK;
    }
    sp::HRESULT GetOutputStream(sp::ISpStreamFormat** stream) override {
        platform_.log.push_back("Voice.GetOutputStream");
        output_->AddRef();
        *stream = output_;
        return sp::S_OK;
    }
    sp::HRESULT SetVoice(sp::ISpObjectToken* token) override {
        const int index = static_cast<FakeTokenObject*>(token)->Index();
        platform_.log.push_back("Voice.SetVoice Token" + std::to_string(index));
        auto it = platform_.setVoiceResults.find(index);
        const sp::HRESULT hr = it == platform_.setVoiceResults.end() ? sp::S_OK : it->second;
        if (sp::SUCCEEDED(hr)) platform_.selectedToken = index;
        return hr;
    }
    sp::HRESULT GetVoice(sp::ISpObjectToken**) override { return sp::E_NOTIMPL; }
    sp::HRESULT Speak(const sp::WCHAR* text, sp::DWORD flags, sp::ULONG* stream) override {
        platform_.log.push_back("Voice.Speak " + Text(text) + " flags=" + std::to_string(flags) +
                                (stream ? " stream" : " null"));
        if (platform_.onCall) platform_.onCall(platform_.log.back());
        return platform_.speakResult;
    }
    sp::HRESULT SetRate(sp::LONG rate) override {
        platform_.log.push_back("Voice.SetRate " + std::to_string(rate));
        return sp::S_OK;
    }
    sp::HRESULT GetRate(sp::LONG*) override { return sp::E_NOTIMPL; }
    sp::HRESULT WaitUntilDone(sp::ULONG ms) override {
        platform_.log.push_back("Voice.WaitUntilDone " + Hex(ms));
        return sp::S_OK;
    }
    sp::HRESULT GetStatus(sp::SPVOICESTATUS* status, sp::WCHAR**) override {
        platform_.log.push_back("Voice.GetStatus");
        *status = sp::SPVOICESTATUS{0, 0, platform_.renderResult, sp::SPRS_DONE};
        return sp::S_OK;
    }

private:
    FakeOutput* output_;
};

}  // namespace

std::string GuidText(const sp::GUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

FakePlatform::FakePlatform() { speech::SetPlatformForTesting(this); }
FakePlatform::~FakePlatform() { speech::SetPlatformForTesting(nullptr); }

std::vector<std::string> FakePlatform::Calls(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& e : log)
        if (e.rfind(prefix, 0) == 0) out.push_back(e);
    return out;
}

bool FakePlatform::Has(const std::string& entry) const {
    for (const auto& e : log)
        if (e == entry) return true;
    return false;
}

sp::HRESULT FakePlatform::CoInitialize(void* reserved) {
    log.push_back(reserved ? "CoInitialize non-null" : "CoInitialize");
    return coInitCount++ == 0 ? sp::S_OK : sp::S_FALSE;
}

void FakePlatform::CoUninitialize() {
    log.push_back("CoUninitialize");
    --coInitCount;
}

sp::HRESULT FakePlatform::CoCreateInstance(sp::REFCLSID clsid, sp::IUnknown* outer, sp::DWORD context, sp::REFIID iid,
                                           void** ppv) {
    log.push_back("CoCreateInstance " + GuidText(clsid) + " outer=" + (outer ? "set" : "null") +
                  " ctx=" + std::to_string(context) + " iid=" + GuidText(iid));
    if (onCall) onCall(log.back());
    *ppv = nullptr;
    if (clsid == sp::CLSID_SpVoice) {
        if (sp::FAILED(createVoiceResult)) return createVoiceResult;
        *ppv = static_cast<sp::ISpVoice*>(new FakeVoice(*this));
    } else if (clsid == sp::CLSID_SpObjectTokenCategory) {
        *ppv = static_cast<sp::ISpObjectTokenCategory*>(new FakeCategory(*this, "Category"));
    } else if (clsid == sp::CLSID_SpStream) {
        if (sp::FAILED(createStreamResult)) return createStreamResult;
        *ppv = static_cast<sp::ISpStream*>(new FakeStream(*this, "Stream"));
    } else {
        return sp::REGDB_E_CLASSNOTREG;
    }
    return sp::S_OK;
}

void FakePlatform::CoTaskMemFree(void* p) {
    log.push_back(p ? "CoTaskMemFree" : "CoTaskMemFree null");
    sp::CoTaskMemFree(p);
}

sp::BSTR FakePlatform::SysAllocString(const sp::WCHAR* text) {
    if (failNextAlloc) {
        failNextAlloc = false;
        log.push_back("SysAllocString failed");
        return nullptr;
    }
    return sp::SysAllocString(text);
}

void FakePlatform::SysFreeString(sp::BSTR text) { sp::SysFreeString(text); }
sp::LANGID FakePlatform::GetUserDefaultUILanguage() { return uiLanguage; }
sp::LANGID FakePlatform::GetUserDefaultLangID() { return defaultLangId; }

sp::LRESULT FakePlatform::SendMessageA(sp::HWND window, sp::UINT message, sp::WPARAM wParam, sp::LPARAM lParam) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%p 0x%X %lld %lld", window, message, static_cast<long long>(wParam),
                  static_cast<long long>(lParam));
    sentMessages.push_back(buf);
    return 0;
}

}  // namespace lexavo::test
