// The voice token store: one text file per voice in the voices folder, read in file-name order.
//
//   ; a comment
//   @ = default description
//   804 = description for language id 0x0804
//   409 = description for language id 0x0409
//   [Attributes]
//   Engine = espeak-ng
//   Voice = cmn-latn-pinyin
//   Variant = f2
//   Language = 804
//   Gender = Female
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/speech/engine.h"
#include "platform/speech/sapi.h"

namespace lexavo::sp {

struct VoiceTokenData {
    std::u16string id;
    std::map<std::u16string, std::u16string> values;  // by lower-cased name; "" is the default value
    std::map<std::string, std::string> attributes;    // by lower-cased name
    VoiceAttributes Attributes() const;
};

// Parses one token file's text. Never fails: unknown lines are skipped.
VoiceTokenData ParseVoiceToken(std::string_view fileText, std::u16string id);
// The tokens of a folder: files ending in ".voice", in byte order of their names.
std::vector<VoiceTokenData> LoadVoiceTokens(const std::string& folder);

inline constexpr IID IID_IVoiceTokenData{0x6C1E0A5C, 0x3F1D, 0x4E8B, {0x9A, 0x51, 0x4C, 0x65, 0x78, 0x61, 0x76, 0x6F}};

// The engine-private side of a token, reached through QueryInterface.
struct IVoiceTokenData : IUnknown {
    virtual const VoiceTokenData& Data() const = 0;

protected:
    ~IVoiceTokenData() = default;
};

HRESULT CreateVoiceToken(VoiceTokenData data, ISpObjectToken** token);
HRESULT CreateSpObjectTokenCategory(REFIID iid, void** ppv);

}  // namespace lexavo::sp
