// The speech platform's interfaces: voice, events, streams and voice tokens.
#pragma once

#include "platform/speech/com_runtime.h"

namespace lexavo::sp {

// Class and interface ids.
inline constexpr CLSID CLSID_SpVoice{0x96749377, 0x3391, 0x11D2, {0x9E, 0xE3, 0x00, 0xC0, 0x4F, 0x79, 0x73, 0x96}};
inline constexpr CLSID CLSID_SpObjectTokenCategory{0xA910187F, 0x0C7A, 0x45AC, {0x92, 0xCC, 0x59, 0xED, 0xAF, 0xB7, 0x7B, 0x53}};
inline constexpr CLSID CLSID_SpStream{0x715D9C59, 0x4442, 0x11D2, {0x96, 0x05, 0x00, 0xC0, 0x4F, 0x8E, 0xE6, 0x28}};
inline constexpr IID IID_ISpVoice{0x6C44DF74, 0x72B9, 0x4992, {0xA1, 0xEC, 0xEF, 0x99, 0x6E, 0x04, 0x22, 0xD4}};
inline constexpr IID IID_ISpObjectTokenCategory{0x2D3D3845, 0x39AF, 0x4850, {0xBB, 0xF9, 0x40, 0xB4, 0x97, 0x80, 0x01, 0x1D}};
inline constexpr IID IID_ISpStream{0x12E3CCA9, 0x7518, 0x44C5, {0xA5, 0xE7, 0xBA, 0x5A, 0x79, 0xCB, 0x92, 0x9E}};
inline constexpr IID IID_ISpStreamFormat{0xBED530BE, 0x2606, 0x4F4D, {0xA1, 0xC0, 0x54, 0xC5, 0xCD, 0xA5, 0x56, 0x6F}};
inline constexpr IID IID_ISpNotifySource{0x5EFF4AEF, 0x8487, 0x11D2, {0x96, 0x1C, 0x00, 0xC0, 0x4F, 0x8E, 0xE6, 0x28}};
inline constexpr IID IID_ISpEventSource{0xBE7A9CCE, 0x5F9E, 0x11D2, {0x96, 0x0F, 0x00, 0xC0, 0x4F, 0x8E, 0xE6, 0x28}};
inline constexpr IID IID_ISpDataKey{0x14056581, 0xE16C, 0x11D2, {0xBB, 0x90, 0x00, 0xC0, 0x4F, 0x8E, 0xE6, 0xC0}};
inline constexpr IID IID_ISpObjectToken{0x14056589, 0xE16C, 0x11D2, {0xBB, 0x90, 0x00, 0xC0, 0x4F, 0x8E, 0xE6, 0xC0}};
inline constexpr IID IID_IEnumSpObjectTokens{0x06B64F9E, 0x7FDA, 0x11D2, {0xB4, 0xF2, 0x00, 0xC0, 0x4F, 0x79, 0x73, 0x96}};

// Stream format ids.
inline constexpr GUID SPDFID_WaveFormatEx{0xC31ADBAE, 0x527F, 0x4FF5, {0xA2, 0x30, 0xF6, 0x2B, 0xB6, 0x1F, 0xF7, 0x0C}};
inline constexpr GUID SPDFID_Text{0x7CEEF9F9, 0x3D13, 0x11D2, {0x9E, 0xE7, 0x00, 0xC0, 0x4F, 0x79, 0x73, 0x96}};

// The voice category's id; it leads to the voice token store.
inline constexpr const WCHAR* SPCAT_VOICES = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Voices";

// Speak flags.
inline constexpr DWORD SPF_DEFAULT = 0;
inline constexpr DWORD SPF_ASYNC = 1;
inline constexpr DWORD SPF_PURGEBEFORESPEAK = 2;
inline constexpr DWORD SPF_IS_FILENAME = 4;
inline constexpr DWORD SPF_IS_XML = 8;
inline constexpr DWORD SPF_IS_NOT_XML = 16;
inline constexpr DWORD SPF_PERSIST_XML = 32;
inline constexpr DWORD SPF_NLP_SPEAK_PUNC = 64;
inline constexpr DWORD SPF_VALID_FLAGS = 127;

// Events.
inline constexpr std::uint16_t SPEI_START_INPUT_STREAM = 1;
inline constexpr std::uint16_t SPEI_END_INPUT_STREAM = 2;
inline constexpr ULONGLONG SPFEI_FLAGCHECK = (1ull << 30) | (1ull << 33);
inline constexpr ULONGLONG SPFEI_ALL_EVENTS = 0xEFFFFFFFFFFFFFFFull;
constexpr ULONGLONG SPFEI(unsigned id) { return (1ull << id) | SPFEI_FLAGCHECK; }

inline constexpr std::uint16_t SPET_LPARAM_IS_UNDEFINED = 0;

struct SPEVENT {
    std::uint16_t eEventId;
    std::uint16_t elParamType;
    ULONG ulStreamNum;
    ULONGLONG ullAudioStreamOffset;
    WPARAM wParam;
    LPARAM lParam;
};

using SPNOTIFYCALLBACK = void(WPARAM wParam, LPARAM lParam);

// File modes of BindToFile.
enum SPFILEMODE : std::uint32_t {
    SPFM_OPEN_READONLY = 0,
    SPFM_OPEN_READWRITE = 1,
    SPFM_CREATE = 2,
    SPFM_CREATE_ALWAYS = 3,
};

inline constexpr WORD WAVE_FORMAT_PCM = 1;

struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};

struct ISpNotifySource : IUnknown {
    // A null function withdraws the callback.
    virtual HRESULT SetNotifyCallbackFunction(SPNOTIFYCALLBACK* callback, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~ISpNotifySource() = default;
};

struct ISpEventSource : ISpNotifySource {
    virtual HRESULT SetInterest(ULONGLONG eventInterest, ULONGLONG queuedInterest) = 0;
    // S_OK when `count` events were fetched, S_FALSE when fewer were queued.
    virtual HRESULT GetEvents(ULONG count, SPEVENT* events, ULONG* fetched) = 0;

protected:
    ~ISpEventSource() = default;
};

struct ISpStreamFormat : IUnknown {
    // *waveFormat is task memory; the caller frees it with CoTaskMemFree.
    virtual HRESULT GetFormat(GUID* formatId, WAVEFORMATEX** waveFormat) = 0;

protected:
    ~ISpStreamFormat() = default;
};

struct ISpStream : ISpStreamFormat {
    virtual HRESULT BindToFile(const WCHAR* fileName, SPFILEMODE mode, const GUID* formatId,
                               const WAVEFORMATEX* waveFormat, ULONGLONG eventInterest) = 0;
    virtual HRESULT Close() = 0;

protected:
    ~ISpStream() = default;
};

struct ISpDataKey : IUnknown {
    // A null name asks for the default value. *value is task memory.
    virtual HRESULT GetStringValue(const WCHAR* valueName, WCHAR** value) = 0;

protected:
    ~ISpDataKey() = default;
};

struct ISpObjectToken : ISpDataKey {
    virtual HRESULT GetId(WCHAR** tokenId) = 0;

protected:
    ~ISpObjectToken() = default;
};

struct IEnumSpObjectTokens : IUnknown {
    virtual HRESULT Next(ULONG count, ISpObjectToken** tokens, ULONG* fetched) = 0;
    virtual HRESULT GetCount(ULONG* count) = 0;
    virtual HRESULT Reset() = 0;

protected:
    ~IEnumSpObjectTokens() = default;
};

struct ISpObjectTokenCategory : ISpDataKey {
    virtual HRESULT SetId(const WCHAR* categoryId, BOOL createIfNotExist) = 0;
    virtual HRESULT EnumTokens(const WCHAR* requiredAttributes, const WCHAR* optionalAttributes,
                               IEnumSpObjectTokens** tokens) = 0;

protected:
    ~ISpObjectTokenCategory() = default;
};

enum SPRUNSTATE : DWORD { SPRS_DONE = 1, SPRS_IS_SPEAKING = 2 };

// The leading members of the platform's voice status.
struct SPVOICESTATUS {
    ULONG ulCurrentStream;     // the stream being spoken, 0 when none
    ULONG ulLastStreamQueued;
    HRESULT hrLastResult;      // the result of the last utterance rendered, asynchronous ones too
    DWORD dwRunningState;      // SPRS_DONE when nothing is queued or being spoken
};

struct ISpVoice : ISpEventSource {
    // A null output selects the default audio output.
    virtual HRESULT SetOutput(IUnknown* output, BOOL allowFormatChanges) = 0;
    virtual HRESULT GetOutputStream(ISpStreamFormat** stream) = 0;
    virtual HRESULT SetVoice(ISpObjectToken* token) = 0;
    virtual HRESULT GetVoice(ISpObjectToken** token) = 0;
    virtual HRESULT Speak(const WCHAR* text, DWORD flags, ULONG* streamNumber) = 0;
    virtual HRESULT SetRate(LONG rate) = 0;
    virtual HRESULT GetRate(LONG* rate) = 0;
    // S_OK once everything queued is spoken, S_FALSE when the time-out came first.
    virtual HRESULT WaitUntilDone(ULONG timeoutMs) = 0;
    // `lastBookmark` may be null; bookmarks are not kept.
    virtual HRESULT GetStatus(SPVOICESTATUS* status, WCHAR** lastBookmark) = 0;

protected:
    ~ISpVoice() = default;
};

}  // namespace lexavo::sp
