// The user's interface language, taken from the locale as a Windows language id.
#pragma once

#include <cstdint>
#include <string_view>

namespace lexavo::sp {

using LANGID = std::uint16_t;

inline constexpr LANGID kLangEnglishUs = 0x0409;

// Maps a locale name such as "zh_CN.UTF-8" or "en_GB@euro" to its language id; C, POSIX
// and unknown locales give US English.
LANGID LangIdFromLocaleName(std::string_view locale);

// The first non-empty of LC_ALL, LC_MESSAGES and LANG, mapped as above.
LANGID GetUserDefaultLangID();
LANGID GetUserDefaultUILanguage();

}  // namespace lexavo::sp
