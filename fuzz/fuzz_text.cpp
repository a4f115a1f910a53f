// Text conversion and the cutting of text into pieces: any bytes in, the documented
// invariants out.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/speech/text_codec.h"
#include "platform/speech/text_pieces.h"

namespace {
bool IsCharStart(std::string_view s, std::size_t i) {
    return i == 0 || i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lexavo::sp;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Bytes to UTF-16 and back give well-formed UTF-8 that converts back to itself.
    const std::string clean = Utf16ToUtf8(Utf8ToUtf16(bytes));
    if (Utf16ToUtf8(Utf8ToUtf16(clean)) != clean) __builtin_trap();
    // Well-formed input is kept byte for byte.
    if (Utf16ToUtf8(Utf8ToUtf16(bytes)) == bytes && clean != bytes) __builtin_trap();
    // Any 16-bit units, lone surrogates too, give well-formed UTF-8.
    const std::u16string units(reinterpret_cast<const char16_t*>(data), size / 2);
    const std::string narrowed = Utf16ToUtf8(units);
    if (Utf16ToUtf8(Utf8ToUtf16(narrowed)) != narrowed) __builtin_trap();
    // Boundaries never split a character.
    for (std::size_t limit = 0; limit <= clean.size(); limit += 1 + limit / 3) {
        const std::size_t b = Utf8CharBoundary(clean, limit);
        if (b > limit || !IsCharStart(clean, b)) __builtin_trap();
    }
    // Pieces join to the text, each within its bound unless one character is larger.
    std::string joined;
    bool first = true;
    for (std::string_view piece : CutIntoPieces(clean, 9, 30)) {
        if (piece.empty()) __builtin_trap();
        if (piece.size() > (first ? 9u : 30u) && piece.size() > 4) __builtin_trap();
        if (!IsCharStart(clean, joined.size())) __builtin_trap();
        joined += piece;
        first = false;
    }
    if (joined != clean) __builtin_trap();
    return 0;
}
