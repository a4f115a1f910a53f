// The voice token store: one text file per voice in the voices folder, read in file-name order.
//
//   ; a comment
//   @ = default description          ; a comment after a blank, too
//   804 = description for language id 0x0804
//   409 = description for language id 0x0409
//   [Attributes]
//   Engine = espeak-ng
//   Voice = cmn-latn-pinyin
//   Variant = f2
//   Language = 804
//   Gender = Female
//
// Voice files are passed around between users: every value is checked, and a file with any
// fault is skipped as a whole, with one line on standard error.
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
    std::string fault;                                // why the token cannot be used; empty when it can
    VoiceAttributes Attributes() const;
};

inline constexpr std::size_t kMaxVoiceFileBytes = 64 * 1024;

// Parses one token file's text; the first fault found stops it and is kept in `fault`.
VoiceTokenData ParseVoiceToken(std::string_view fileText, std::u16string id);
// The usable tokens of a folder: files ending in ".voice", in byte order of their names.
// Files that cannot be read or hold a fault are reported and left out.
std::vector<VoiceTokenData> LoadVoiceTokens(const std::string& folder);
// One line on standard error, once per file and fault in a process.
void ReportSkippedVoiceFile(const std::string& path, const std::string& fault);

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
