#include "platform/speech/text_codec.h"

namespace lexavo::sp {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view in) {
    std::u16string out;
    out.reserve(in.size());
    const auto* s = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        int need;
        char32_t cp;
        unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte
        if (b >= 0xC2 && b <= 0xDF) { need = 1; cp = b & 0x1F; }
        else if (b >= 0xE0 && b <= 0xEF) {
            need = 2; cp = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;  // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3; cp = b & 0x07;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < need; ++k, ++j) {
            const unsigned char lower = k == 0 ? lo : 0x80, upper = k == 0 ? hi : 0xBF;
            if (j >= n || s[j] < lower || s[j] > upper) { ok = false; break; }
            cp = (cp << 6) | (s[j] & 0x3F);
        }
        if (!ok) {
            out.push_back(kReplacement);
            i = j;  // the maximal invalid subpart is dropped as one
            continue;
        }
        AppendUtf16(out, cp);
        i = j;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view in) {
    std::string out;
    out.reserve(in.size() * 3);
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char16_t c = in[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (in[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out.push_back('?');
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

// Ill-formed input never converts back to itself: each fault became U+FFFD or "?".
std::optional<std::u16string> Utf8ToUtf16Exact(std::string_view bytes) {
    std::u16string wide = Utf8ToUtf16(bytes);
    if (Utf16ToUtf8(wide) != bytes) return std::nullopt;
    return wide;
}

std::optional<std::string> Utf16ToUtf8Exact(std::u16string_view wide) {
    std::string bytes = Utf16ToUtf8(wide);
    if (Utf8ToUtf16(bytes) != wide) return std::nullopt;
    return bytes;
}

std::size_t Utf8CharBoundary(std::string_view bytes, std::size_t limit) {
    if (limit >= bytes.size()) return bytes.size();
    while (limit > 0 && (static_cast<unsigned char>(bytes[limit]) & 0xC0) == 0x80) --limit;
    return limit;
}

}  // namespace lexavo::sp
