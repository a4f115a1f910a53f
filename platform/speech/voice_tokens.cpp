#include "platform/speech/voice_tokens.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <new>
#include <set>

#include "platform/speech/settings.h"
#include "platform/speech/text_codec.h"
#include "platform/speech/text_file.h"

namespace lexavo::sp {
namespace {

constexpr std::u16string_view kTokenIdPrefix = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens\\";

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

std::string LowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::u16string LowerAscii16(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return out;
}

bool SameCategoryId(const WCHAR* a, const WCHAR* b) {
    return LowerAscii16(a) == LowerAscii16(b);
}

std::string Attribute(const VoiceTokenData& d, const char* name) {
    auto it = d.attributes.find(name);
    return it == d.attributes.end() ? std::string() : it->second;
}

class SpObjectToken final : public ISpObjectToken, public IVoiceTokenData, public RefCounted<SpObjectToken> {
public:
    explicit SpObjectToken(VoiceTokenData data) : data_(std::move(data)) {}

    HRESULT QueryInterface(REFIID iid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_ISpObjectToken || iid == IID_ISpDataKey)
            *ppv = static_cast<ISpObjectToken*>(this);
        else if (iid == IID_IVoiceTokenData)
            *ppv = static_cast<IVoiceTokenData*>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    LEXAVO_IMPLEMENT_REFCOUNT

    HRESULT GetStringValue(const WCHAR* valueName, WCHAR** value) override {
        if (!value) return E_POINTER;
        *value = nullptr;
        auto it = data_.values.find(LowerAscii16(valueName ? valueName : u""));
        if (it == data_.values.end()) return SPERR_NOT_FOUND;
        *value = CoTaskMemStrDup(it->second);
        return *value ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT GetId(WCHAR** tokenId) override {
        if (!tokenId) return E_POINTER;
        *tokenId = CoTaskMemStrDup(data_.id);
        return *tokenId ? S_OK : E_OUTOFMEMORY;
    }

    const VoiceTokenData& Data() const override { return data_; }

private:
    friend class RefCounted<SpObjectToken>;
    ~SpObjectToken() = default;
    VoiceTokenData data_;
};

class TokenEnumerator final : public IEnumSpObjectTokens, public RefCounted<TokenEnumerator> {
public:
    explicit TokenEnumerator(std::vector<VoiceTokenData> tokens) : tokens_(std::move(tokens)) {}

    HRESULT QueryInterface(REFIID iid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IEnumSpObjectTokens) {
            *ppv = static_cast<IEnumSpObjectTokens*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    LEXAVO_IMPLEMENT_REFCOUNT

    HRESULT Next(ULONG count, ISpObjectToken** tokens, ULONG* fetched) override {
        if (!tokens || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        while (n < count && next_ < tokens_.size()) {
            if (const HRESULT hr = CreateVoiceToken(tokens_[next_], &tokens[n]); FAILED(hr)) {
                for (ULONG i = 0; i < n; ++i) tokens[i]->Release();
                return hr;
            }
            ++next_;
            ++n;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT GetCount(ULONG* count) override {
        if (!count) return E_POINTER;
        *count = static_cast<ULONG>(tokens_.size());
        return S_OK;
    }
    HRESULT Reset() override {
        next_ = 0;
        return S_OK;
    }

private:
    friend class RefCounted<TokenEnumerator>;
    ~TokenEnumerator() = default;
    std::vector<VoiceTokenData> tokens_;
    std::size_t next_ = 0;
};

// "Name=Value;Name=Value": a token matches when every pair is among its attributes.
bool MatchesAttributes(const VoiceTokenData& token, std::string_view wanted) {
    while (!wanted.empty()) {
        const auto semi = wanted.find(';');
        const std::string_view pair = Trim(wanted.substr(0, semi));
        wanted = semi == std::string_view::npos ? std::string_view() : wanted.substr(semi + 1);
        if (pair.empty()) continue;
        const auto eq = pair.find('=');
        const std::string name = LowerAscii(Trim(pair.substr(0, eq)));
        const std::string value = eq == std::string_view::npos ? std::string() : std::string(Trim(pair.substr(eq + 1)));
        auto it = token.attributes.find(name);
        if (it == token.attributes.end()) return false;
        if (eq != std::string_view::npos && LowerAscii(it->second) != LowerAscii(value)) return false;
    }
    return true;
}

class SpObjectTokenCategory final : public ISpObjectTokenCategory, public RefCounted<SpObjectTokenCategory> {
public:
    HRESULT QueryInterface(REFIID iid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_ISpObjectTokenCategory || iid == IID_ISpDataKey) {
            *ppv = static_cast<ISpObjectTokenCategory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    LEXAVO_IMPLEMENT_REFCOUNT

    HRESULT GetStringValue(const WCHAR*, WCHAR** value) override {
        if (!value) return E_POINTER;
        *value = nullptr;
        return SPERR_NOT_FOUND;
    }

    HRESULT SetId(const WCHAR* categoryId, BOOL createIfNotExist) override {
        if (!categoryId) return E_POINTER;
        if (!folder_.empty()) return SPERR_ALREADY_INITIALIZED;
        if (!SameCategoryId(categoryId, SPCAT_VOICES)) return createIfNotExist ? E_NOTIMPL : SPERR_NOT_FOUND;
        const std::string folder = CurrentPlatformSettings().voicesFolder;
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return SPERR_NOT_FOUND;
        folder_ = folder;
        return S_OK;
    }

    HRESULT EnumTokens(const WCHAR* required, const WCHAR* optional, IEnumSpObjectTokens** tokens) override {
        if (!tokens) return E_POINTER;
        *tokens = nullptr;
        if (folder_.empty()) return SPERR_UNINITIALIZED;
        std::vector<VoiceTokenData> all = LoadVoiceTokens(folder_);
        const std::string req = required ? Utf16ToUtf8(required) : std::string();
        const std::string opt = optional ? Utf16ToUtf8(optional) : std::string();
        std::erase_if(all, [&](const VoiceTokenData& t) { return !MatchesAttributes(t, req); });
        if (!opt.empty())
            std::stable_partition(all.begin(), all.end(), [&](const VoiceTokenData& t) { return MatchesAttributes(t, opt); });
        auto* e = new (std::nothrow) TokenEnumerator(std::move(all));
        if (!e) return E_OUTOFMEMORY;
        *tokens = e;
        return S_OK;
    }

private:
    friend class RefCounted<SpObjectTokenCategory>;
    ~SpObjectTokenCategory() = default;
    std::string folder_;
};

}  // namespace

VoiceAttributes VoiceTokenData::Attributes() const {
    VoiceAttributes a;
    a.engine = Attribute(*this, "engine");
    a.voice = Attribute(*this, "voice");
    a.variant = Attribute(*this, "variant");
    a.language = Attribute(*this, "language");
    a.gender = Attribute(*this, "gender");
    a.name = Attribute(*this, "name");
    a.frontEnd = LowerAscii(Attribute(*this, "frontend"));
    return a;
}

namespace {

// A ";" at the start of a line or after a blank starts a comment.
std::string_view WithoutComment(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] == ';' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) return line.substr(0, i);
    return line;
}

bool AllOf(std::string_view v, std::size_t maxBytes, bool (*allowed)(char)) {
    if (v.empty() || v.size() > maxBytes) return false;
    for (char c : v)
        if (!allowed(c)) return false;
    return true;
}
bool NameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}
bool HexChar(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
// Text shown to a person: no control characters.
bool Printable(std::string_view v, std::size_t maxBytes) {
    if (v.size() > maxBytes) return false;
    for (unsigned char c : v)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}

// Why an attribute's value cannot be used, or empty. Engine names go to the engine, which
// makes file names of them: letters, digits, "-" and "_" only (and "/" between voice parts).
std::string AttributeFault(const std::string& name, std::string_view v) {
    if (name == "engine") return AllOf(v, 32, NameChar) ? "" : "Engine must be a name such as espeak-ng";
    if (name == "voice") {
        const bool ok = AllOf(v, 40, [](char c) { return NameChar(c) || c == '/'; }) && v.front() != '/' &&
                        v.back() != '/' && v.find("//") == std::string_view::npos;
        return ok ? "" : "Voice must be an engine voice name such as cmn-latn-pinyin";
    }
    if (name == "variant") return AllOf(v, 24, NameChar) ? "" : "Variant must be an engine variant name such as f2";
    if (name == "language") return AllOf(v, 4, HexChar) ? "" : "Language must be a hexadecimal language id such as 804";
    if (name == "frontend") {
        const std::string f = LowerAscii(v);
        return f == "mandarin" || f == "cantonese" || f == "none" ? "" : "FrontEnd must be Mandarin, Cantonese or None";
    }
    if (name == "gender") {
        const std::string g = LowerAscii(v);
        return g == "male" || g == "female" || g == "neutral" ? "" : "Gender must be Male, Female or Neutral";
    }
    return Printable(v, 256) ? "" : name + " holds control characters or is too long";
}

}  // namespace

VoiceTokenData ParseVoiceToken(std::string_view text, std::u16string id) {
    VoiceTokenData data;
    data.id = std::move(id);
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    bool inAttributes = false;
    for (int lineNumber = 1; !text.empty() && data.fault.empty(); ++lineNumber) {
        const auto nl = text.find('\n');
        const std::string_view raw = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        const std::string_view trimmed = Trim(raw);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        const std::string_view line = Trim(WithoutComment(trimmed));
        if (line.empty()) continue;
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        if (line.front() == '[' && line.back() == ']') {
            inAttributes = LowerAscii(Trim(line.substr(1, line.size() - 2))) == "attributes";
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) {
            data.fault = where + "not NAME = VALUE";
            break;
        }
        const std::string_view name = Trim(line.substr(0, eq));
        const std::string_view value = Trim(line.substr(eq + 1));
        if (name.empty()) {
            data.fault = where + "no name before =";
        } else if (inAttributes) {
            const std::string key = LowerAscii(name);
            if (const std::string fault = AttributeFault(key, value); !fault.empty()) data.fault = where + fault;
            else data.attributes[key] = std::string(value);
        } else if (!(name == "@" || AllOf(name, 4, HexChar)) || !Printable(value, 256)) {
            data.fault = where + "a description is \"@ = TEXT\" or \"LANGID = TEXT\" (LANGID hexadecimal), one line of text";
        } else {
            data.values[name == "@" ? std::u16string() : Utf8ToUtf16(LowerAscii(name))] = Utf8ToUtf16(value);
        }
    }
    return data;
}

std::vector<VoiceTokenData> LoadVoiceTokens(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 6 && name.compare(name.size() - 6, 6, ".voice") == 0) names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    std::vector<VoiceTokenData> tokens;
    for (const auto& name : names) {
        const std::string path = folder + "/" + name;
        std::string text;
        VoiceTokenData token;
        if (const HRESULT hr = ReadTextFile(path, &text, kMaxVoiceFileBytes); FAILED(hr)) {
            token.fault = "cannot be read: " + StatusMessage(hr);
        } else {
            std::u16string id(kTokenIdPrefix);
            id += Utf8ToUtf16(name.substr(0, name.size() - 6));
            token = ParseVoiceToken(text, std::move(id));
        }
        if (token.fault.empty()) tokens.push_back(std::move(token));
        else ReportSkippedVoiceFile(path, token.fault);
    }
    return tokens;
}

void ReportSkippedVoiceFile(const std::string& path, const std::string& fault) {
    // The store is read again for every enumeration: each file is named once per process.
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard lock(mutex);
    if (reported.insert(path + '\n' + fault).second)
        std::fprintf(stderr, "lexavo: voice file %s skipped: %s\n", path.c_str(), fault.c_str());
}

HRESULT CreateVoiceToken(VoiceTokenData data, ISpObjectToken** token) {
    if (!token) return E_POINTER;
    auto* t = new (std::nothrow) SpObjectToken(std::move(data));
    *token = t;
    return t ? S_OK : E_OUTOFMEMORY;
}

HRESULT CreateSpObjectTokenCategory(REFIID iid, void** ppv) { return CreateObject<SpObjectTokenCategory>(iid, ppv); }

}  // namespace lexavo::sp
