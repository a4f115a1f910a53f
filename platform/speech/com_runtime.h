// The platform's object run time: per-thread initialisation, the class factory, task memory
// and wide strings.
#pragma once

#include <functional>
#include <string_view>

#include "platform/speech/unknown.h"

namespace lexavo::sp {

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_ALL_LOCAL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

// Counts initialisations per thread: S_OK for the first, S_FALSE for the others.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
// How many times the calling thread is initialised now.
int CoInitializeCount();

// Creates an object of a registered class. The calling thread must be initialised.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID iid, void** ppv);

// A factory creates a new object and answers the interface asked for.
using ClassFactory = std::function<HRESULT(REFIID iid, void** ppv)>;
// Replaces any factory registered for the class before.
void RegisterClassFactory(REFCLSID clsid, ClassFactory factory);

void* CoTaskMemAlloc(std::size_t bytes);
void CoTaskMemFree(void* p);
// A task-memory copy of a wide text, for out-parameters.
WCHAR* CoTaskMemStrDup(std::u16string_view text);

BSTR SysAllocString(const WCHAR* text);
BSTR SysAllocStringLen(const WCHAR* text, std::size_t length);
void SysFreeString(BSTR text);
std::size_t SysStringLen(BSTR text);

// Length of a zero-terminated wide text.
std::size_t WideLength(const WCHAR* text);

}  // namespace lexavo::sp
