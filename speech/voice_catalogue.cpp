// Listing the installed voices by description and choosing one.
#include <cstring>

#include "platform/speech/text_codec.h"
#include "speech/host.h"
#include "speech/speech_platform.h"
#include "speech/speech_state.h"

namespace lexavo::speech {
namespace {

// Releases a counted reference at the end of a scope.
template <class T>
struct Held {
    T* p = nullptr;
    ~Held() {
        if (p) p->Release();
    }
    T** Put() { return &p; }
    T* operator->() const { return p; }
};

// A task-memory wide text freed at the end of a scope.
struct TaskText {
    sp::WCHAR* p = nullptr;
    ~TaskText() {
        if (p) Platform().CoTaskMemFree(p);
    }
};

// The enumeration of the voice category, or null.
sp::IEnumSpObjectTokens* OpenVoiceEnumeration() {
    SpeechPlatform& platform = Platform();
    Held<sp::ISpObjectTokenCategory> category;
    if (sp::FAILED(platform.CoCreateInstance(sp::CLSID_SpObjectTokenCategory, nullptr, sp::CLSCTX_ALL_LOCAL,
                                             sp::IID_ISpObjectTokenCategory, reinterpret_cast<void**>(category.Put()))))
        return nullptr;
    if (sp::FAILED(category->SetId(sp::SPCAT_VOICES, sp::FALSE))) return nullptr;
    sp::IEnumSpObjectTokens* tokens = nullptr;
    const sp::HRESULT hr = category->EnumTokens(u"", u"", &tokens);
    if (hr != sp::S_OK) {
        if (tokens) tokens->Release();
        return nullptr;
    }
    return tokens;
}

// The token's description in the user's interface language, else its default value.
sp::HRESULT VoiceDescription(sp::ISpObjectToken* token, TaskText* description) {
    const std::u16string name = LangIdHex(UserUiLanguage());
    sp::HRESULT hr = token->GetStringValue(name.c_str(), &description->p);
    if (hr == sp::SPERR_NOT_FOUND) hr = token->GetStringValue(nullptr, &description->p);
    return hr;
}

std::string ToSystemText(const sp::WCHAR* wide) { return sp::Utf16ToUtf8(std::u16string_view(wide, sp::WideLength(wide))); }

char32_t LowerCodePoint(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 32;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;  // full-width Latin
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) || (c >= 0x410 && c <= 0x42F))
        return c + 32;  // Latin-1, Greek, Cyrillic capitals
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

}  // namespace

sp::LANGID ParseHexLangId(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
    unsigned long value = 0;
    for (;; ++p) {
        int digit;
        if (*p >= '0' && *p <= '9') digit = *p - '0';
        else if (*p >= 'a' && *p <= 'f') digit = *p - 'a' + 10;
        else if (*p >= 'A' && *p <= 'F') digit = *p - 'A' + 10;
        else break;
        value = value * 16 + static_cast<unsigned long>(digit);
    }
    if (negative) value = 0ul - value;
    return static_cast<sp::LANGID>(value & 0xFFFF);
}

sp::LANGID UserUiLanguage() {
    const sp::LANGID id = Platform().GetUserDefaultUILanguage();
    return id != 0 ? id : Platform().GetUserDefaultLangID();
}

std::u16string LangIdHex(sp::LANGID id) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string out;
    do {
        out.insert(out.begin(), kDigits[id & 0xF]);
        id = static_cast<sp::LANGID>(id >> 4);
    } while (id != 0);
    return out;
}

std::string LowerMultiByte(const std::string& text) {
    std::u16string wide = sp::Utf8ToUtf16(text);
    for (char16_t& c : wide) c = static_cast<char16_t>(LowerCodePoint(c));
    return sp::Utf16ToUtf8(wide);
}

VoiceList* GetVoiceNames(ETextToSpeech* object) {
    const auto emptyList = [] {
        auto* list = static_cast<VoiceList*>(HostAllocate(VoiceList::BytesFor(0)));
        if (list) {
            list->dimensions = 1;
            list->count = 0;
        }
        return list;
    };
    if (!IsInitialized(object)) return emptyList();
    Held<sp::IEnumSpObjectTokens> tokens;
    tokens.p = OpenVoiceEnumeration();
    if (!tokens.p) return emptyList();
    sp::ULONG n = 0;
    if (sp::FAILED(tokens->GetCount(&n))) return emptyList();
    const auto count = static_cast<std::int32_t>(n);
    auto* list = static_cast<VoiceList*>(HostAllocate(VoiceList::BytesFor(count)));
    if (!list) return nullptr;
    list->dimensions = 1;
    list->count = count;
    for (std::int32_t i = 0; i < count; ++i) list->items[i] = nullptr;
    for (std::int32_t i = 0; i < count; ++i) {
        TaskText description;  // freed after the token is released
        Held<sp::ISpObjectToken> token;
        if (tokens->Next(1, token.Put(), nullptr) != sp::S_OK) break;
        if (sp::SUCCEEDED(VoiceDescription(token.p, &description)) && description.p)
            list->items[i] = HostText(ToSystemText(description.p));
    }
    return list;
}

bool SelectVoice(ETextToSpeech* object, const char* name) {
    if (!IsInitialized(object)) return false;
    return ChooseVoice(object->state->voiceHolder, name);
}

bool ChooseVoice(VoiceHolder* holder, const char* name) {
    Held<sp::IEnumSpObjectTokens> tokens;
    tokens.p = OpenVoiceEnumeration();
    if (!tokens.p) return false;
    for (;;) {
        TaskText description;  // freed after the token is released
        Held<sp::ISpObjectToken> token;
        if (tokens->Next(1, token.Put(), nullptr) != sp::S_OK) return false;
        if (sp::FAILED(VoiceDescription(token.p, &description)) || !description.p) continue;
        const std::string text = ToSystemText(description.p);
        bool match;
        if (name) {
            match = std::strcmp(text.c_str(), name) == 0;
        } else {
            // UTF-8 is self-synchronising: a match of either word starts on a character.
            const std::string lower = LowerMultiByte(text);
            match = lower.find("chinese") != std::string::npos || lower.find("中文") != std::string::npos;
        }
        if (match) return sp::SUCCEEDED(holder->voice->SetVoice(token.p));
    }
}

char* HostText(const std::string& text) {
    if (text.empty()) return nullptr;
    auto* block = static_cast<char*>(HostAllocate(text.size() + 1));
    if (block) std::memcpy(block, text.c_str(), text.size() + 1);
    return block;
}

}  // namespace lexavo::speech
