#include "platform/speech/frontend/chinese_text.h"

#include <array>
#include <cstdint>

namespace lexavo::sp {
namespace {

constexpr std::array<const char*, 10> kDigits = {"零", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
// Amounts longer than this are read digit by digit (telephone numbers, codes).
constexpr std::size_t kMaxAmountDigits = 8;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The code point at `i` and its length in bytes (1 for an invalid byte).
char32_t CodePointAt(std::string_view s, std::size_t i, std::size_t* length) {
    const auto b = static_cast<unsigned char>(s[i]);
    int n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (i + n > s.size()) n = 1;
    char32_t cp = n == 1 ? b : (b & (0x7F >> n));
    for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    *length = static_cast<std::size_t>(n);
    return cp;
}

bool IsHan(char32_t c) {
    return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0x20000 && c <= 0x3FFFF);
}
// Chinese text and its own punctuation.
bool IsChinese(char32_t c) { return IsHan(c) || (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF00 && c <= 0xFFEF); }

// The code point before byte `i`, skipping spaces; 0 at the start.
char32_t PreviousChar(std::string_view s, std::size_t i) {
    while (i > 0 && (s[i - 1] == ' ' || s[i - 1] == '\t')) --i;
    if (i == 0) return 0;
    std::size_t start = i - 1;
    while (start > 0 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80) --start;
    std::size_t length;
    return CodePointAt(s, start, &length);
}
// The code point at or after byte `i`, skipping spaces; 0 at the end.
char32_t NextChar(std::string_view s, std::size_t i) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i >= s.size()) return 0;
    std::size_t length;
    return CodePointAt(s, i, &length);
}

std::string DigitByDigit(std::string_view digits) {
    std::string out;
    for (char c : digits)
        if (IsDigit(c)) out += kDigits[c - '0'];
    return out;
}

// Below 10,000: 千, 百, 十 with one 零 for each run of zeros inside.
std::string Section(unsigned n, bool leading) {
    static constexpr std::array<const char*, 4> kUnits = {"千", "百", "十", ""};
    std::string out;
    bool zero = false;
    for (int k = 0, div = 1000; k < 4; ++k, div /= 10) {
        const unsigned d = (n / div) % 10;
        if (d == 0) {
            zero = !out.empty() || !leading;
            continue;
        }
        if (zero && (!out.empty() || !leading)) out += "零";
        zero = false;
        // 10-19 at the head of a number: 十, 十五, not 一十五.
        if (!(leading && out.empty() && k == 2 && d == 1)) out += kDigits[d];
        out += kUnits[k];
    }
    return out;
}

// Digits with ASCII thousands separators ("1,000,000"); the digits only, or empty when the
// separators are not every three digits.
std::string WithoutSeparators(std::string_view s) {
    std::string digits;
    std::size_t group = 0;
    bool separated = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == ',') {
            if ((separated && group != 3) || (!separated && (group == 0 || group > 3))) return {};
            separated = true;
            group = 0;
        } else {
            digits += s[i];
            ++group;
        }
    }
    if (separated && group != 3) return {};
    return digits;
}

bool StartsWithAny(std::string_view s, std::initializer_list<std::string_view> words) {
    for (auto w : words)
        if (s.starts_with(w)) return true;
    return false;
}

// Words that count things: "2" before them is 两.
bool StartsWithMeasureWord(std::string_view rest) {
    return StartsWithAny(rest, {"个", "位", "只", "本", "张", "条", "件", "次", "天", "周", "岁", "元", "块", "角",
                                "种", "台", "辆", "座", "所", "家", "名", "人", "倍", "份", "杯", "碗", "瓶", "双",
                                "对", "层", "点", "段", "句", "首", "页", "米", "斤", "克", "公", "千", "小时", "分钟",
                                "秒", "遍", "场", "把", "口", "棵", "匹", "头", "门", "节", "架", "支", "辈", "下"});
}

struct Number {
    std::size_t end = 0;        // byte after the number
    std::string integer;        // its digits, separators removed
    std::string fraction;       // digits after the point
    bool separated = false;     // written with thousands separators
    bool valid = false;
};

Number ParseNumber(std::string_view s, std::size_t i) {
    Number n;
    std::size_t j = i;
    while (j < s.size() && (IsDigit(s[j]) || (s[j] == ',' && j + 1 < s.size() && IsDigit(s[j + 1])))) ++j;
    const std::string_view raw = s.substr(i, j - i);
    n.separated = raw.find(',') != std::string_view::npos;
    n.integer = n.separated ? WithoutSeparators(raw) : std::string(raw);
    if (n.integer.empty()) {  // commas that are not separators: the digits before the first
        j = i;
        while (j < s.size() && IsDigit(s[j])) ++j;
        n.integer = std::string(s.substr(i, j - i));
        n.separated = false;
    }
    if (j + 1 < s.size() && s[j] == '.' && IsDigit(s[j + 1])) {
        std::size_t k = j + 1;
        while (k < s.size() && IsDigit(s[k])) ++k;
        n.fraction = std::string(s.substr(j + 1, k - j - 1));
        j = k;
    }
    n.end = j;
    n.valid = true;
    return n;
}

// An amount: the whole number read as a number (or digit by digit when it is long or starts
// with 0), then the decimals digit by digit.
std::string ReadAmount(const Number& n) {
    std::string out;
    const std::string& d = n.integer;
    if ((d.size() > kMaxAmountDigits && !n.separated) || d.size() > 16 || (d.size() > 1 && d[0] == '0' && n.fraction.empty()))
        out = DigitByDigit(d);
    else
        out = ChineseNumber(std::stoull(d));
    if (!n.fraction.empty()) out += "点" + DigitByDigit(n.fraction);
    return out;
}

unsigned SmallNumber(std::string_view digits) {
    unsigned v = 0;
    for (char c : digits.substr(0, 6)) v = v * 10 + static_cast<unsigned>(c - '0');
    return v;
}

// Replaces the ASCII clause marks next to Chinese text by Chinese ones, and ends every line
// that does not end in a mark, so that the engine pauses there.
std::string ChineseMarks(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 16);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        const char* wide = nullptr;
        switch (c) {
            case ',': wide = "，"; break;
            case '.': wide = "。"; break;
            case '!': wide = "！"; break;
            case '?': wide = "？"; break;
            case ';': wide = "；"; break;
            case ':': wide = "："; break;
            default: break;
        }
        const char32_t before = wide ? PreviousChar(s, i) : 0;
        const bool afterLatin = (before >= 'a' && before <= 'z') || (before >= 'A' && before <= 'Z') || (before >= '0' && before <= '9');
        if (wide && (IsChinese(before) || (!afterLatin && IsChinese(NextChar(s, i + 1))))) {
            out += wide;
            continue;
        }
        if (c == '\n') {
            const char32_t before = PreviousChar(out, out.size());
            const bool marked = before == 0 || before == '\n' || before == '\r' ||
                                std::u32string_view(U"。！？，；：、…,.!?;:").find(before) != std::u32string_view::npos;
            if (!marked) out += IsChinese(before) ? "。" : ".";
        }
        out += c;
    }
    return out;
}

}  // namespace

std::string ChineseNumber(unsigned long long n) {
    if (n == 0) return "零";
    static constexpr std::array<const char*, 4> kGroups = {"", "万", "亿", "万亿"};
    unsigned sections[4] = {};
    int top = 0;
    for (int k = 0; k < 4 && n > 0; ++k, n /= 10000) {
        sections[k] = static_cast<unsigned>(n % 10000);
        if (sections[k]) top = k;
    }
    std::string out;
    bool zeroPending = false;
    for (int k = top; k >= 0; --k) {
        if (sections[k] == 0) {
            zeroPending = true;
            continue;
        }
        const bool leading = out.empty();
        // A section below 1,000 brings its own 零 (Section); a skipped one needs it here.
        if (!leading && zeroPending && sections[k] >= 1000) out += "零";
        zeroPending = false;
        out += Section(sections[k], leading) + kGroups[k];
    }
    // 两千, 两万, 两亿 at the head of a number.
    if (out.starts_with("二") && StartsWithAny(std::string_view(out).substr(3), {"千", "万", "亿"})) out.replace(0, 3, "两");
    return out;
}

std::string NormaliseChineseText(std::string_view in) {
    // Full-width digits and signs are read like ASCII ones.
    std::string s;
    s.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        std::size_t length;
        const char32_t c = CodePointAt(in, i, &length);
        // Characters beyond the engine's table (Extension B on) it would spell out as the
        // digits of their code point: they are left out, silently.
        if (c >= 0x20000 && c <= 0x3FFFF) {
            i += length;
            continue;
        }
        if (c >= U'０' && c <= U'９') s += static_cast<char>('0' + (c - U'０'));
        else if (c == U'％') s += '%';
        else if (c == U'－' || c == U'−') s += '-';
        else s.append(in.substr(i, length));
        i += length;
    }

    std::string out;
    out.reserve(s.size() + s.size() / 2);
    for (std::size_t i = 0; i < s.size();) {
        const bool digitStart = IsDigit(s[i]) && (i == 0 || !IsDigit(s[i - 1]));
        const bool signed_ = s[i] == '-' && i + 1 < s.size() && IsDigit(s[i + 1]) &&
                             (i == 0 || !(IsDigit(s[i - 1]) || (s[i - 1] >= 'A' && s[i - 1] <= 'z')));
        if (!digitStart && !signed_) {
            out += s[i++];
            continue;
        }
        const std::size_t start = signed_ ? i + 1 : i;
        const Number n = ParseNumber(s, start);
        const std::string_view rest = std::string_view(s).substr(n.end);
        const std::string_view integer = n.integer;

        // Clock times: 10:30, 8:05:09.
        if (!signed_ && n.fraction.empty() && !n.separated && integer.size() <= 2 && rest.size() >= 3 && rest[0] == ':' &&
            IsDigit(rest[1]) && IsDigit(rest[2]) && (rest.size() == 3 || !IsDigit(rest[3])) && SmallNumber(integer) < 24) {
            out += ChineseNumber(SmallNumber(integer)) + "点";
            const unsigned minutes = SmallNumber(rest.substr(1, 2));
            std::size_t end = n.end + 3;
            if (minutes > 0) out += (minutes < 10 ? "零" : "") + ChineseNumber(minutes) + "分";
            if (end + 2 < s.size() && s[end] == ':' && IsDigit(s[end + 1]) && IsDigit(s[end + 2])) {
                const unsigned seconds = SmallNumber(std::string_view(s).substr(end + 1, 2));
                if (minutes == 0) out += "零分";
                out += ChineseNumber(seconds) + "秒";
                end += 3;
            } else if (minutes == 0) {
                out += "整";
            }
            i = end;
            continue;
        }
        // Dates: 2024-05-01, 2024/5/1.
        if (!signed_ && n.fraction.empty() && integer.size() == 4 && rest.size() >= 4 && (rest[0] == '-' || rest[0] == '/') &&
            IsDigit(rest[1])) {
            const char sep = rest[0];
            std::size_t j = 1;
            while (j < rest.size() && IsDigit(rest[j])) ++j;
            const std::string_view month = rest.substr(1, j - 1);
            if (j + 1 < rest.size() && rest[j] == sep && IsDigit(rest[j + 1]) && month.size() <= 2) {
                std::size_t k = j + 1;
                while (k < rest.size() && IsDigit(rest[k])) ++k;
                const std::string_view day = rest.substr(j + 1, k - j - 1);
                const unsigned m = SmallNumber(month), d = SmallNumber(day);
                if (m >= 1 && m <= 12 && d >= 1 && d <= 31 && day.size() <= 2) {
                    out += DigitByDigit(integer) + "年" + ChineseNumber(m) + "月" + ChineseNumber(d) + "日";
                    i = n.end + k;
                    continue;
                }
            }
        }
        // Years: 2024年 (a shorter number before 年 counts years: 10年 is 十年).
        if (!signed_ && n.fraction.empty() && !n.separated && integer.size() == 4 && rest.starts_with("年")) {
            out += DigitByDigit(integer);
            i = n.end;
            continue;
        }
        // Fractions: 3/4.
        if (!signed_ && n.fraction.empty() && !n.separated && rest.size() >= 2 && rest[0] == '/' && IsDigit(rest[1])) {
            std::size_t j = 1;
            while (j < rest.size() && IsDigit(rest[j])) ++j;
            const std::string_view below = rest.substr(1, j - 1);
            if (below.size() <= kMaxAmountDigits && integer.size() <= kMaxAmountDigits && SmallNumber(below) != 0 &&
                !(j < rest.size() && rest[j] == '/')) {
                out += ReadAmount(Number{0, std::string(below), {}, false, true}) + "分之" + ReadAmount(n);
                i = n.end + j;
                continue;
            }
        }
        std::string amount = ReadAmount(n);
        std::size_t end = n.end;
        // Percentages and temperatures.
        if (rest.starts_with("%")) {
            out += (signed_ ? "负" : "") + std::string("百分之") + amount;
            i = end + 1;
            continue;
        }
        const bool celsius = StartsWithAny(rest, {"℃", "°C", "°c"});
        const bool fahrenheit = StartsWithAny(rest, {"℉", "°F", "°f"});
        if (celsius || fahrenheit) {
            out += (signed_ ? "零下" : "") + amount + (celsius ? "摄氏度" : "华氏度");
            i = end + 3;  // ℃ and °C are both three bytes
            continue;
        }
        // 2 before a measure word is 两.
        if (!signed_ && integer == "2" && n.fraction.empty() && StartsWithMeasureWord(rest)) amount = "两";
        out += (signed_ ? "负" : "") + amount;
        i = end;
    }
    return ChineseMarks(out);
}

}  // namespace lexavo::sp
