#include "platform/speech/com_runtime.h"

#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/speech/register_classes.h"

namespace lexavo::sp {
namespace {

thread_local int t_initCount = 0;

struct ClassTable {
    std::mutex mutex;
    std::map<CLSID, ClassFactory> factories;
};

ClassTable& Classes() {
    static ClassTable table;
    return table;
}

}  // namespace

HRESULT CoInitialize(void*) {
    return t_initCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (t_initCount > 0) --t_initCount;
}

int CoInitializeCount() { return t_initCount; }

void RegisterClassFactory(REFCLSID clsid, ClassFactory factory) {
    auto& table = Classes();
    std::lock_guard lock(table.mutex);
    table.factories[clsid] = std::move(factory);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (t_initCount == 0) return CO_E_NOTINITIALIZED;
    if (outer) return CLASS_E_NOAGGREGATION;
    if ((clsContext & CLSCTX_ALL_LOCAL) == 0) return E_INVALIDARG;
    RegisterPlatformClasses();
    ClassFactory factory;
    {
        auto& table = Classes();
        std::lock_guard lock(table.mutex);
        auto it = table.factories.find(clsid);
        if (it == table.factories.end()) return REGDB_E_CLASSNOTREG;
        factory = it->second;
    }
    return factory(iid, ppv);
}

void* CoTaskMemAlloc(std::size_t bytes) { return std::malloc(bytes ? bytes : 1); }
void CoTaskMemFree(void* p) { std::free(p); }

std::size_t WideLength(const WCHAR* text) {
    std::size_t n = 0;
    if (text)
        while (text[n]) ++n;
    return n;
}

WCHAR* CoTaskMemStrDup(std::u16string_view text) {
    auto* out = static_cast<WCHAR*>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
    if (!out) return nullptr;
    std::memcpy(out, text.data(), text.size() * sizeof(WCHAR));
    out[text.size()] = 0;
    return out;
}

// A wide string keeps its length in the word before the text, as the platform's strings do.
BSTR SysAllocStringLen(const WCHAR* text, std::size_t length) {
    auto* block = static_cast<std::uint8_t*>(std::malloc(sizeof(std::size_t) + (length + 1) * sizeof(WCHAR)));
    if (!block) return nullptr;
    std::memcpy(block, &length, sizeof length);
    auto* out = reinterpret_cast<WCHAR*>(block + sizeof(std::size_t));
    if (text) std::memcpy(out, text, length * sizeof(WCHAR));
    else std::memset(out, 0, length * sizeof(WCHAR));
    out[length] = 0;
    return out;
}

BSTR SysAllocString(const WCHAR* text) {
    if (!text) return nullptr;
    return SysAllocStringLen(text, WideLength(text));
}

void SysFreeString(BSTR text) {
    if (text) std::free(reinterpret_cast<std::uint8_t*>(text) - sizeof(std::size_t));
}

std::size_t SysStringLen(BSTR text) {
    if (!text) return 0;
    std::size_t n;
    std::memcpy(&n, reinterpret_cast<std::uint8_t*>(text) - sizeof(std::size_t), sizeof n);
    return n;
}

}  // namespace lexavo::sp
