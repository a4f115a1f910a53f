// Conversions between the system's byte texts (UTF-8) and the platform's wide texts (UTF-16).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lexavo::sp {

// Invalid byte sequences become U+FFFD, one for each maximal invalid subpart.
std::u16string Utf8ToUtf16(std::string_view bytes);
// Lone surrogates become "?".
std::string Utf16ToUtf8(std::u16string_view wide);

// Exact conversions, for names of files: nothing where a text is not well formed, instead of
// a replacement that would name another file.
std::optional<std::u16string> Utf8ToUtf16Exact(std::string_view bytes);
std::optional<std::string> Utf16ToUtf8Exact(std::u16string_view wide);

// Never splits a UTF-8 sequence: how many bytes of `bytes` start characters before `limit`.
std::size_t Utf8CharBoundary(std::string_view bytes, std::size_t limit);

}  // namespace lexavo::sp
